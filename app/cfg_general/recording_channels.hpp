// The channels a recording uses, for the dialog's channel check: the header's
// channel list when the file carries the header signature, otherwise the
// channel fields (plus one) of its first thousand pulse records.
#pragma once

#include <QStringList>

#include <filesystem>
#include <vector>

namespace vibrolan::app {

inline constexpr std::size_t kChannelScanRecords = 1000;

// One-based channel numbers in the order first met, without repeats. Throws
// FileError / FormatError (from the recording reader) for a file that cannot
// be read or has a malformed header.
std::vector<int> RecordingChannels(const std::filesystem::path &file);

// Appends "Канал - N" for every channel missing from `channels`; true when any was.
bool AppendMissingChannels(QStringList &channels, const std::vector<int> &numbers);

} // namespace vibrolan::app
