// Unpacking of compressed recordings (.bldx): the header verbatim, then
// blocks of four length-prefixed lanes (low ticks plain, markers run-length,
// channels dictionary-coded, high ticks run-length). The result is one image
// with exactly the layout of the uncompressed recording.
#pragma once

#include "base/message_sink.hpp"
#include "base/progress.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace vibrolan {

// Caption and text of the damaged-block message.
inline constexpr const char *kDamagedCaption = "файл поврежден";
inline constexpr const char *kDamagedText = "распаковка не состоялась";

// The four lanes of one block as they lie in the file.
struct BldxBlockView {
    std::span<const std::uint8_t> low, marker, channel, high;
    std::size_t byteSize = 0; // of the whole block, length fields included
    std::size_t records() const { return low.size() / 2; }
};

// Splits the block at the start of `data`; nullopt when a lane's byte count
// runs past the end of `data`.
std::optional<BldxBlockView> parseBldxBlock(std::span<const std::uint8_t> data);

// Decodes one block into `out` (6 * records() bytes). False when the lanes
// disagree: the channel lane does not give exactly N bytes (fewer than 12
// records, codes producing too many or too few) or a run-length lane does not
// add up to N. Shows nothing.
bool decodeBldxBlock(const BldxBlockView &block, std::uint8_t *out);

// The block-level operation of the original unit: decodes the block held in
// Block and replaces it by its 6N record bytes, returning 6N. A damaged block
// shows the damaged-block message once and returns -1, leaving Block as it was.
std::int64_t DecodeBlock(std::vector<std::uint8_t> &Block, MessageSink &sink);

struct BldxBlockSummary {
    std::uint64_t records = 0;
    bool ok = false;
};

struct UnpackResult {
    std::vector<std::uint8_t> image; // header + records of the good blocks
    std::uint32_t headLength = 0;
    std::vector<BldxBlockSummary> blocks; // in file order, the damaged ones included
    bool truncated = false;               // the file ended inside a block
    std::size_t failedBlocks() const;
    std::uint64_t decodedRecords() const;
};

// Unpacks a compressed recording held in memory. A damaged block shows the
// message and is skipped so that the records of the other blocks stay in
// order; a truncated last block is reported the same way and ends the
// unpacking. Progress gets (read position, file size) after every block.
// Throws FormatError when the file is too short for a header or the header
// length exceeds the file.
UnpackResult unpackRecordingImage(std::span<const std::uint8_t> file, MessageSink &sink,
                                  const ProgressFn &progress = {}, const std::filesystem::path &name = {});

// Reads and unpacks a .bldx file; throws FileError when it cannot be read.
UnpackResult UnpackRecording(const std::filesystem::path &FileName, MessageSink &sink,
                             const ProgressFn &Progress = {});

} // namespace vibrolan
