#include "recording/recording_header.hpp"

#include "base/code_pages.hpp"
#include "base/errors.hpp"
#include "recording/headel.hpp"

namespace vibrolan {

std::string ChannelDescriptor::nameUtf8() const
{
    return ChanName.empty() ? "no_name" : cp1251ToUtf8(ChanName);
}

double TickPeriodForRecorder(std::uint16_t recorderCode) { return recorderCode == 1280 ? 1.25e-8 : 2.5e-8; }

RecordingHeader readRecordingHeader(std::span<const std::uint8_t> image, const std::filesystem::path &file)
{
    RecordingHeader h;
    if (!HasHeadSignature(image))
        return h;
    h.hasSignature = true;
    try {
        THeadel reader;
        reader.SetHead(static_cast<const void *>(image.data()), image.size());
        char c = 0;
        for (int i = 0; i < 6; ++i)
            reader.PeekChar(c);
        reader.PeekLongWord(h.HeadLength);
        reader.PeekWord(h.RecorderCode);
        reader.PeekWord(h.ChannelCount);
        // Each descriptor takes at least 6 bytes, so the image bounds the count.
        h.channels.reserve(std::min<std::size_t>(h.ChannelCount, image.size() / 6));
        for (unsigned i = 0; i < h.ChannelCount; ++i) {
            ChannelDescriptor d;
            reader.PeekWord(d.ChanNo);
            reader.PeekByte(d.ChanAttr);
            reader.PeekString(d.ChanName);
            reader.PeekWord(d.ChanSensorType);
            h.channels.push_back(std::move(d));
        }
        reader.PeekDouble(h.RecordDate);
        reader.PeekWord(h.HeadTail);
        h.fieldsEnd = reader.Cur();
    } catch (const FormatError &e) {
        throw FormatError(file, e.what());
    }
    if (h.HeadLength > image.size())
        throw FormatError(file, "the header length " + std::to_string(h.HeadLength) +
                                    " exceeds the file size " + std::to_string(image.size()));
    return h;
}

std::vector<std::uint8_t> buildRecordingHeader(const RecordingHeader &header)
{
    if (header.channels.size() > 65535)
        throw ValueError("a recording header holds at most 65535 channels");
    std::size_t fields = 6 + 4 + 2 + 2 + 8 + 2;
    for (const auto &d : header.channels)
        fields += 2 + 1 + 1 + d.ChanName.size() + 2;
    const std::size_t padded = (fields + 5) / 6 * 6;
    if (padded > UINT32_MAX)
        throw ValueError("recording header too large");
    THeadel writer(static_cast<std::uint32_t>(padded));
    for (char c : kHeadSignature)
        writer.PokeChar(c);
    writer.PokeLongWord(static_cast<std::uint32_t>(padded));
    writer.PokeWord(header.RecorderCode);
    writer.PokeWord(static_cast<std::uint16_t>(header.channels.size()));
    for (const auto &d : header.channels) {
        writer.PokeWord(d.ChanNo);
        writer.PokeByte(d.ChanAttr);
        writer.PokeString(d.ChanName);
        writer.PokeWord(d.ChanSensorType);
    }
    writer.PokeDouble(header.RecordDate);
    writer.PokeWord(header.HeadTail);
    const auto b = writer.bytes();
    return {b.begin(), b.end()};
}

} // namespace vibrolan
