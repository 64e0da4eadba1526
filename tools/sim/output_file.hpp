// A file written in large blocks to a temporary name beside the target and
// renamed over it only when complete, so that an interrupted run never leaves
// a half-written file under the real name nor damages an existing one.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

namespace vibrolan::sim {

class OutputFile {
public:
    explicit OutputFile(std::filesystem::path target, std::size_t bufferBytes = 8u << 20);
    ~OutputFile(); // removes the temporary file unless commit() ran
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    void write(const void *data, std::size_t n)
    {
        if (n > buf_.size() - used_) {
            flush();
            if (n > buf_.size()) {
                writeRaw(data, n);
                return;
            }
        }
        std::memcpy(buf_.data() + used_, data, n);
        used_ += n;
    }
    void write(std::string_view s) { write(s.data(), s.size()); }
    void flush();
    // Flushes, closes and renames over the target. Throws FileError.
    void commit();
    std::uint64_t bytesWritten() const { return written_ + used_; }

private:
    void writeRaw(const void *data, std::size_t n);
    std::filesystem::path target_, temp_;
    int fd_ = -1;
    std::vector<char> buf_;
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
};

} // namespace vibrolan::sim
