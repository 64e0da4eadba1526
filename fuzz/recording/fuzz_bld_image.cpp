// A .bld image: header reading, record walking, and the info summary text.
#include "base/errors.hpp"
#include "recording/recording_image.hpp"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        auto image = vibrolan::RecordingImage::fromBytes(std::vector<std::uint8_t>(data, data + size));
        std::uint64_t sum = 0;
        for (std::uint64_t k = image.firstRecord(); k < image.slotCount(); ++k)
            sum += image.record(k).Ticks;
        sum += image.passEnd(3);
        for (const auto &d : image.header().channels)
            sum += d.nameUtf8().size();
        volatile std::uint64_t keep = sum;
        (void)keep;
    } catch (const vibrolan::Error &) {
    }
    return 0;
}
