// File access of the data-file formats: an owned descriptor, positioned
// reads that fail loudly, and replacement of a file through a temporary file
// in the same folder, so a failed write never damages the file a user has.
#pragma once

#include "base/unique_fd.hpp"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace vibrolan::datafiles {

using vibrolan::UniqueFd;

// Size of an open file. Throws FileError.
std::uint64_t fileSize(int fd, const std::filesystem::path &file);

// Reads exactly `n` bytes at `offset`. A file that ends too early is a
// FormatError (truncated), a failing read a FileError.
void readExactlyAt(int fd, std::uint64_t offset, void *buffer, std::size_t n,
                   const std::filesystem::path &file);

// Builds the new content of `target` in a temporary file beside it; commit()
// puts it in place, destruction without commit removes the temporary file.
class FileReplacement {
public:
    // Throws FileError when the target is read-only or the folder is not writable.
    explicit FileReplacement(std::filesystem::path target);
    FileReplacement(const FileReplacement &) = delete;
    FileReplacement &operator=(const FileReplacement &) = delete;
    ~FileReplacement();

    void write(const void *data, std::size_t n);
    void write(std::string_view bytes) { write(bytes.data(), bytes.size()); }
    // Copies `length` bytes of an open file from `offset` (see readExactlyAt for errors).
    void copyFrom(int fd, std::uint64_t offset, std::uint64_t length, const std::filesystem::path &source);
    void commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    UniqueFd fd_;
    bool committed_ = false;
};

// Appends bytes to a file, creating it when missing; a failed append cuts the
// file back to its former length. Throws FileError.
void appendToFile(const std::filesystem::path &file, std::string_view bytes);

} // namespace vibrolan::datafiles
