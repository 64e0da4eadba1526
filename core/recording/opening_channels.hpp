// The channels a recording offers when it is opened for configuration: the
// descriptors of its header, or, for a bare pulse stream, the channels of
// its first records. Both give the same label for the same channel.
#pragma once

#include "recording/recording_header.hpp"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace vibrolan {

// "Канал - " and the 1-based channel number (UTF-8).
std::string ChannelLabel(unsigned channelNumber);

struct OpeningChannels {
    bool fromHeader = false;
    std::uint32_t firstRecord = 0; // HeadLength div 6, or 0 without header
    // Header path: the first (ChannelCount and 255) descriptors, in order.
    std::vector<ChannelDescriptor> descriptors;
    // Header path: one label per descriptor ("Канал - " + (ChanNo and 255)).
    // Scan path: the label of record 0's channel, then every new channel of
    // records 1, 2, ... until a record carries record 0's channel again.
    std::vector<std::string> labels;
};

// Reads the channels of a whole-file image. Throws FormatError (naming
// `file`) for a header that runs past the image.
OpeningChannels ChannelsForOpening(std::span<const std::uint8_t> image,
                                   const std::filesystem::path &file = {});

} // namespace vibrolan
