#include "recording/opening_channels.hpp"

#include "recording/headel.hpp"
#include "recording/tindex.hpp"

#include <algorithm>

namespace vibrolan {

std::string ChannelLabel(unsigned channelNumber) { return "Канал - " + std::to_string(channelNumber); }

OpeningChannels ChannelsForOpening(std::span<const std::uint8_t> image, const std::filesystem::path &file)
{
    OpeningChannels out;
    if (HasHeadSignature(image)) {
        RecordingHeader header = readRecordingHeader(image, file);
        out.fromHeader = true;
        out.firstRecord = header.firstRecord();
        const std::size_t count = std::min<std::size_t>(header.ChannelCount & 255u, header.channels.size());
        for (std::size_t i = 0; i < count; ++i) {
            out.labels.push_back(ChannelLabel(header.channels[i].ChanNo & 255u));
            out.descriptors.push_back(std::move(header.channels[i]));
        }
        return out;
    }
    const std::size_t records = image.size() / sizeof(TIndex);
    if (records == 0)
        return out;
    const std::uint8_t first = loadRecord(image.data()).RCh();
    out.labels.push_back(ChannelLabel(first + 1u));
    for (std::size_t i = 1; i < records; ++i) {
        const std::uint8_t ch = loadRecord(image.data() + i * sizeof(TIndex)).RCh();
        if (ch == first)
            break;
        std::string label = ChannelLabel(ch + 1u);
        if (std::find(out.labels.begin(), out.labels.end(), label) == out.labels.end())
            out.labels.push_back(std::move(label));
    }
    return out;
}

} // namespace vibrolan
