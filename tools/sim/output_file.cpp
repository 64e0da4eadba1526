#include "sim/output_file.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "base/file_set_replacement.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vibrolan::sim {

namespace {
// Direct transfers need addresses, lengths and file offsets in whole blocks
// of the device; a page is a whole number of them on every device in use.
constexpr std::size_t kAlign = 4096;

std::atomic<testing::WriteCall> gWriteCall{nullptr};

ssize_t writeCall(int fd, const void *data, std::size_t n)
{
    const testing::WriteCall call = gWriteCall.load(std::memory_order_relaxed);
    return call ? call(fd, data, n) : ::write(fd, data, n);
}

// A fresh "<target>.XXXXXX.part", opened for writing; -1 with errno on failure.
int createTemporary(const std::filesystem::path &target, int flags, std::filesystem::path &temp)
{
    constexpr int kSuffix = 5; // ".part"
    std::string tmpl = target.string() + ".XXXXXX.part";
    const int fd = ::mkostemps(tmpl.data(), kSuffix, flags);
    if (fd >= 0)
        temp = tmpl;
    return fd;
}
} // namespace

void testing::setWriteCall(WriteCall call) { gWriteCall.store(call); }

void OutputFile::Buffer::operator()(char *p) const { std::free(p); }

OutputFile::Block OutputFile::allocate(std::size_t bytes)
{
    // Large blocks in huge pages where the system grants them: a block goes
    // to the device and is filled again hundreds of times, and every page of
    // it costs the kernel (and a virtual machine's host) work on each round.
    constexpr std::size_t kHuge = 2u << 20;
    const std::size_t align = bytes >= kHuge ? kHuge : kAlign;
    void *p = nullptr;
    if (::posix_memalign(&p, align, bytes) != 0)
        throw std::bad_alloc();
    if (align == kHuge)
        ::madvise(p, bytes, MADV_HUGEPAGE); // advice only: without it the block works the same
    return Block(static_cast<char *>(p));
}

OutputFile::OutputFile(std::filesystem::path target, std::size_t bufferBytes, Cache cache,
                       FileSetReplacement *set)
    : target_(std::move(target)), set_(set),
      size_((std::max<std::size_t>(bufferBytes, 1) + kAlign - 1) / kAlign * kAlign)
{
    if (isReadOnlyFile(target_))
        throw FileError(target_, "the file is read-only; it is left as it is");
    if (cache == Cache::Bypass) {
        fd_ = createTemporary(target_, O_CLOEXEC | O_DIRECT, temp_);
        direct_ = fd_ >= 0;
    }
    if (fd_ < 0) // not asked for, or refused by the file system (EINVAL)
        fd_ = createTemporary(target_, O_CLOEXEC, temp_);
    if (fd_ < 0)
        throw FileError(target_, "cannot create a temporary file beside it: " + systemErrorText(errno));
    ::fchmod(fd_, 0644); // mkostemps creates 0600
    blocks_[0] = allocate(size_);
    fill_ = blocks_[0].get();
}

OutputFile::~OutputFile()
{
    stopWriter();
    if (fd_ >= 0) {
        ::close(fd_);
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
    }
}

void OutputFile::fail(const std::string &what, int error)
{
    throw FileError(target_, what + systemErrorText(error));
}

void OutputFile::useCache()
{
    const int fl = ::fcntl(fd_, F_GETFL);
    if (fl < 0 || ::fcntl(fd_, F_SETFL, fl & ~O_DIRECT) < 0)
        fail("cannot write: ", errno);
    direct_ = false;
}

void OutputFile::writeAll(const char *p, std::size_t n)
{
    while (n > 0) {
        const ssize_t w = writeCall(fd_, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            // A file system may open a file for direct transfers and then
            // refuse them (or a short write left the offset out of step):
            // the rest goes through the cache.
            if (errno == EINVAL && direct_) {
                useCache();
                continue;
            }
            fail("cannot write: ", errno);
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
}

void OutputFile::writeOverflowing(const char *data, std::size_t n)
{
    while (n > 0) {
        const std::size_t k = std::min(n, size_ - used_);
        std::memcpy(fill_ + used_, data, k);
        used_ += k;
        data += k;
        n -= k;
        if (used_ == size_)
            handOver();
    }
}

void OutputFile::handOver()
{
    // The writer may have turned direct transfers off while it wrote the last
    // block: it must be done before this thread writes to the same descriptor.
    if (writer_.joinable())
        waitForWriter();
    if (!direct_) {
        writeAll(fill_, used_);
        handedOver_ += used_;
        used_ = 0;
        return;
    }
    waitForWriter();
    {
        std::lock_guard lock(mutex_);
        pending_ = fill_;
        pendingBytes_ = used_;
    }
    if (!writer_.joinable())
        writer_ = std::thread([this] { writerLoop(); });
    wake_.notify_one();
    handedOver_ += used_;
    used_ = 0;
    filling_ ^= 1;
    if (!blocks_[filling_])
        blocks_[filling_] = allocate(size_);
    fill_ = blocks_[filling_].get();
}

void OutputFile::writerLoop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || pending_ != nullptr; });
        if (pending_ == nullptr) // stopped with nothing to write
            return;
        const char *p = pending_;
        const std::size_t n = pendingBytes_;
        lock.unlock();
        std::exception_ptr error;
        try {
            writeAll(p, n);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        if (error && !error_)
            error_ = error;
        pending_ = nullptr;
        done_.notify_all();
    }
}

void OutputFile::waitForWriter()
{
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return pending_ == nullptr; });
    if (error_)
        std::rethrow_exception(std::exchange(error_, nullptr));
}

void OutputFile::stopWriter()
{
    if (!writer_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    writer_.join();
}

void OutputFile::commit()
{
    try {
        waitForWriter();
        stopWriter();
        // The last, partial block: its whole pages directly, the rest through the cache.
        std::size_t n = used_;
        if (direct_) {
            const std::size_t whole = n / kAlign * kAlign;
            writeAll(fill_, whole);
            if (direct_ && whole < n)
                useCache();
            writeAll(fill_ + whole, n - whole);
        } else {
            writeAll(fill_, n);
        }
        handedOver_ += n;
        used_ = 0;
    } catch (...) {
        stopWriter();
        ::close(fd_);
        fd_ = -1;
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
        throw;
    }
    const int fd = fd_;
    fd_ = -1;
    const bool synced = ::fsync(fd) == 0;
    const int syncError = errno;
    if (::close(fd) != 0 || !synced) {
        const int e = synced ? errno : syncError;
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
        fail("cannot write: ", e);
    }
    if (set_ != nullptr) {
        set_->add(temp_, target_);
        return;
    }
    std::error_code ec;
    std::filesystem::rename(temp_, target_, ec);
    if (ec) {
        std::filesystem::remove(temp_, ec);
        throw FileError(target_, "cannot replace: " + ec.message());
    }
}

} // namespace vibrolan::sim
