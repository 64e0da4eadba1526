// Whole-file reading and safe writing. Writing goes to a temporary file in
// the same folder that replaces the target only when complete, so a failed
// save never damages the file the user already has.
#pragma once

#include "base/unique_fd.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vibrolan {

// Opens a file for reading. Anything but a regular file (a FIFO, a device, a
// folder, a socket) is refused with a FileError that says what it is, before
// a read could block on it; the open itself never waits for a writer.
UniqueFd openRegularFileForReading(const std::filesystem::path &file);

// The same refusal for a file opened otherwise (without blocking): FileError
// unless `fd` is a regular file.
void requireRegularFile(int fd, const std::filesystem::path &file);

// What a path names when it is not a regular file ("a FIFO", "a folder", ...);
// empty for a regular file or a path that names nothing.
std::string nonRegularKind(const std::filesystem::path &file);

// Reads a whole file. Throws FileError when it cannot be opened or read, and
// when it is larger than `maxBytes` (a guard against absurd inputs).
std::vector<std::uint8_t> readWholeFile(const std::filesystem::path &file,
                                        std::uint64_t maxBytes = UINT64_C(1) << 32);

// Writes `bytes` to `file` atomically (temporary file + rename). A read-only
// file is refused (the rename would pass over its attribute, which a plain
// overwrite respects) and left as it is. Throws FileError.
void writeFileAtomically(const std::filesystem::path &file, std::string_view bytes);
void writeFileAtomically(const std::filesystem::path &file, const std::vector<std::uint8_t> &bytes);

// True when the file exists and the user may not write it.
bool isReadOnlyFile(const std::filesystem::path &file);

} // namespace vibrolan
