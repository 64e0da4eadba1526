// A readable summary of a recording (.bld or .bldx): header, channels,
// records, pulses per channel, first/last tick and duration, and for a
// compressed recording what the unpacking found.
#pragma once

#include "base/message_sink.hpp"
#include "recording/recording_header.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace vibrolan {

struct BldxUnpackSummary {
    std::uint64_t fileBytes = 0;
    std::size_t blocks = 0;       // complete blocks found
    std::size_t failedBlocks = 0; // damaged ones (a truncated tail counts as one)
    bool truncated = false;
    std::uint64_t decodedRecords = 0;
    std::uint64_t minBlockRecords = 0, maxBlockRecords = 0;
};

struct RecordingInfo {
    std::filesystem::path file;
    bool compressed = false;
    std::uint64_t imageBytes = 0;
    RecordingHeader header;
    std::uint64_t firstRecord = 0;
    std::uint64_t records = 0;
    std::array<std::uint64_t, 64> pulsesPerChannel{};
    std::uint32_t firstTick = 0, lastTick = 0;
    std::int64_t spanTicks = 0; // sum of the tick differences of consecutive records
    double durationSeconds = 0;
    std::optional<BldxUnpackSummary> unpacking;
};

// Reads a recording; `compressed` selects the .bldx unpacking. Damaged
// blocks are reported through `sink`. Throws FileError / FormatError.
RecordingInfo inspectRecording(const std::filesystem::path &file, bool compressed, MessageSink &sink);

// The summary as text lines (UTF-8).
std::string formatRecordingInfo(const RecordingInfo &info);

} // namespace vibrolan
