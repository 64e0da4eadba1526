#include "sim/output_file.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vibrolan::sim {

OutputFile::OutputFile(std::filesystem::path target, std::size_t bufferBytes)
    : target_(std::move(target)), buf_(bufferBytes)
{
    if (isReadOnlyFile(target_))
        throw FileError(target_, "the file is read-only; it is left as it is");
    temp_ = target_;
    temp_ += ".part";
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0)
        throw FileError(temp_, "cannot create: " + systemErrorText(errno));
}

OutputFile::~OutputFile()
{
    if (fd_ >= 0) {
        ::close(fd_);
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
    }
}

void OutputFile::writeRaw(const void *data, std::size_t n)
{
    const char *p = static_cast<const char *>(data);
    while (n > 0) {
        const ssize_t w = ::write(fd_, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            throw FileError(target_, "cannot write: " + systemErrorText(errno));
        }
        p += w;
        n -= static_cast<std::size_t>(w);
        written_ += static_cast<std::uint64_t>(w);
    }
}

void OutputFile::flush()
{
    if (used_ > 0) {
        const std::size_t n = used_;
        used_ = 0;
        writeRaw(buf_.data(), n);
    }
}

void OutputFile::commit()
{
    flush();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
        throw FileError(target_, "cannot write: " + systemErrorText(errno));
    }
    std::error_code ec;
    std::filesystem::rename(temp_, target_, ec);
    if (ec) {
        std::filesystem::remove(temp_, ec);
        throw FileError(target_, "cannot replace: " + ec.message());
    }
}

} // namespace vibrolan::sim
