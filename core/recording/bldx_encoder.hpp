// Writing compressed recordings (.bldx), the exact inverse of the unpacking:
// the decoder turns the output back into the very same bytes.
#pragma once

#include "recording/tindex.hpp"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace vibrolan {

struct BldxEncodeOptions {
    // Records per block (at least 24). Every block restarts the dictionary, and
    // a block ends early where a channel byte cannot be coded with the current
    // dictionary (a byte of 128 or more seen for the first time): it then
    // becomes one of the 12 literal bytes of the next block.
    std::size_t blockRecords = 16384;
};

// Compresses an uncompressed recording image: its first HeadLength bytes are
// stored verbatim, the rest must be whole 6-byte records. Throws ValueError
// when that does not hold (no "RecBld" header, a partial record at the end),
// or when the records cannot be cut into blocks of at least 12 records
// (1 ... 11 records, or an uncodable channel byte among the last 24).
std::vector<std::uint8_t> compressRecording(std::span<const std::uint8_t> image,
                                            const BldxEncodeOptions &options = {});

// The same from a header (as built by buildRecordingHeader) and records.
std::vector<std::uint8_t> compressRecords(std::span<const std::uint8_t> header,
                                          std::span<const TIndex> records,
                                          const BldxEncodeOptions &options = {});

} // namespace vibrolan
