// A file written in large blocks to a unique temporary name beside the target
// and renamed over it only when complete and on the device, so that an
// interrupted run never leaves a half-written file under the real name nor
// damages an existing one. Files that belong together join one
// FileSetReplacement and are put in place all or none.
//
// A long recording is better written around the page cache: copying gigabytes
// into the cache and writing them back from there costs the machine about a
// processor's worth of work at disk speed, while the device itself takes them
// directly at a fraction of that cost. With Cache::Bypass the blocks go to the
// device directly (O_DIRECT) from a thread of their own while the next block
// fills; where the file system refuses that, they go through the cache as usual.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

namespace vibrolan {
class FileSetReplacement;
}

namespace vibrolan::sim {

namespace testing {
// The write call of every OutputFile, for injecting failures in tests.
using WriteCall = ssize_t (*)(int fd, const void *data, std::size_t n);
void setWriteCall(WriteCall call); // nullptr: ::write again
} // namespace testing

class OutputFile {
public:
    enum class Cache { Use, Bypass };
    // With a `set`, commit() hands the finished file to it instead of
    // renaming it; the set's commit puts it in place with the others.
    explicit OutputFile(std::filesystem::path target, std::size_t bufferBytes = 8u << 20,
                        Cache cache = Cache::Use, FileSetReplacement *set = nullptr);
    ~OutputFile(); // removes the temporary file unless commit() ran
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    void write(const void *data, std::size_t n)
    {
        if (n <= size_ - used_) {
            std::memcpy(fill_ + used_, data, n);
            used_ += n;
            return;
        }
        writeOverflowing(static_cast<const char *>(data), n);
    }
    void write(std::string_view s) { write(s.data(), s.size()); }
    // Flushes, syncs to the device, closes and renames over the target (or
    // hands the file to the set). Throws FileError.
    void commit();
    std::uint64_t bytesWritten() const { return handedOver_ + used_; }

private:
    struct Buffer {
        void operator()(char *p) const;
    };
    using Block = std::unique_ptr<char, Buffer>;
    static Block allocate(std::size_t bytes);

    void writeOverflowing(const char *data, std::size_t n);
    void handOver(); // the full buffer goes out
    void writeAll(const char *p, std::size_t n);
    void useCache(); // the rest of the file through the page cache
    void writerLoop();
    void stopWriter();
    void waitForWriter(); // rethrows the writer's error
    [[noreturn]] void fail(const std::string &what, int error);

    std::filesystem::path target_, temp_;
    FileSetReplacement *set_ = nullptr;
    int fd_ = -1;
    std::atomic<bool> direct_{false}; // the writer thread may turn it off
    std::size_t size_;
    Block blocks_[2];
    char *fill_ = nullptr; // the buffer being filled (blocks_[filling_])
    int filling_ = 0;
    std::size_t used_ = 0;
    std::uint64_t handedOver_ = 0;
    // The writer thread of Cache::Bypass and the block it writes.
    std::thread writer_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    const char *pending_ = nullptr;
    std::size_t pendingBytes_ = 0;
    bool stop_ = false;
    std::exception_ptr error_;
};

} // namespace vibrolan::sim
