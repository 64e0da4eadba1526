#include "cfg_general/recording_channels.hpp"

#include "cfg_general/cfg_picture.hpp"
#include "recording/recording_image.hpp"

#include <algorithm>

namespace vibrolan::app {

std::vector<int> RecordingChannels(const std::filesystem::path &file)
{
    const RecordingImage image = RecordingImage::mapFile(file);
    std::vector<int> out;
    auto add = [&out](int ch) {
        if (std::find(out.begin(), out.end(), ch) == out.end())
            out.push_back(ch);
    };
    const RecordingHeader &h = image.header();
    if (h.hasSignature) {
        for (const ChannelDescriptor &d : h.channels)
            add(d.ChanNo & 0xFF);
        return out;
    }
    const std::uint64_t n = std::min<std::uint64_t>(image.slotCount(), kChannelScanRecords);
    for (std::uint64_t k = 0; k < n; ++k)
        add(image.recordUnchecked(k).RCh() + 1);
    return out;
}

bool AppendMissingChannels(QStringList &channels, const std::vector<int> &numbers)
{
    bool appended = false;
    for (const int ch : numbers) {
        const QString text = ChannelText(ch);
        if (!channels.contains(text)) {
            channels << text;
            appended = true;
        }
    }
    return appended;
}

} // namespace vibrolan::app
