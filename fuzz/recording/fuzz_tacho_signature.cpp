// A tacho signature file (any content, any length) driving the detector.
#include "recording/tacho_detector.hpp"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const int n = size > 0 ? 1 + data[0] % 64 : 8;
    vibrolan::TTachoDetector d(n, vibrolan::parseSignature({data, size}, n));
    double threshold = 0;
    std::uint32_t t = 4294960000u;
    for (std::size_t i = 0; i < 4 * static_cast<std::size_t>(n) + 8; ++i) {
        t += 1000 + static_cast<std::uint32_t>(size > 0 ? data[i % size] : 0) * 37;
        d.NewStick(t);
        d.IsTacho(threshold);
    }
    return 0;
}
