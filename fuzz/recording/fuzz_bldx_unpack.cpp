// A .bldx file: block parsing, lane decoding and the unpacked image's header.
#include "base/errors.hpp"
#include "recording/bldx_decoder.hpp"
#include "recording/recording_image.hpp"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    vibrolan::RecordingMessageSink sink;
    try {
        auto r = vibrolan::unpackRecordingImage({data, size}, sink);
        if (r.image.size() > r.headLength + 3 * size)
            __builtin_trap(); // never more than the file can justify
        auto image = vibrolan::RecordingImage::fromBytes(std::move(r.image));
        volatile auto n = image.recordCount();
        (void)n;
    } catch (const vibrolan::Error &) {
    }
    std::vector<std::uint8_t> block(data, data + size);
    vibrolan::DecodeBlock(block, sink);
    return 0;
}
