#include "output/safe_file.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vibrolan::datafiles {

std::uint64_t fileSize(int fd, const std::filesystem::path &file)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw FileError(file, "cannot read: " + systemErrorText(errno));
    return static_cast<std::uint64_t>(st.st_size);
}

void readExactlyAt(int fd, std::uint64_t offset, void *buffer, std::size_t n,
                   const std::filesystem::path &file)
{
    auto *out = static_cast<char *>(buffer);
    std::size_t got = 0;
    while (got < n) {
        ssize_t r = ::pread(fd, out + got, n - got, static_cast<off_t>(offset + got));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw FileError(file, "cannot read: " + systemErrorText(errno));
        }
        if (r == 0)
            throw FormatError(file, "the file is truncated");
        got += static_cast<std::size_t>(r);
    }
}

namespace {

void writeAll(int fd, const void *data, std::size_t n, const std::filesystem::path &file)
{
    const auto *in = static_cast<const char *>(data);
    std::size_t put = 0;
    while (put < n) {
        ssize_t w = ::write(fd, in + put, n - put);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            throw FileError(file, "cannot write: " + systemErrorText(errno));
        }
        put += static_cast<std::size_t>(w);
    }
}

} // namespace

FileReplacement::FileReplacement(std::filesystem::path target) : target_(std::move(target))
{
    if (isReadOnlyFile(target_))
        throw FileError(target_, "the file is read-only");
    std::filesystem::path dir = target_.parent_path();
    if (dir.empty())
        dir = ".";
    std::string tmpl = (dir / ("." + target_.filename().string() + ".XXXXXX")).string();
    int raw = ::mkstemp(tmpl.data());
    if (raw < 0)
        throw FileError(target_, "cannot create: " + systemErrorText(errno));
    fd_ = UniqueFd(raw);
    temp_ = tmpl;
}

FileReplacement::~FileReplacement()
{
    if (!committed_ && !temp_.empty()) {
        fd_.reset();
        ::unlink(temp_.c_str());
    }
}

void FileReplacement::write(const void *data, std::size_t n) { writeAll(fd_.get(), data, n, target_); }

void FileReplacement::copyFrom(int fd, std::uint64_t offset, std::uint64_t length,
                               const std::filesystem::path &source)
{
    std::vector<char> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(length, 1u << 20)));
    while (length > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(length, chunk.size()));
        readExactlyAt(fd, offset, chunk.data(), n, source);
        write(chunk.data(), n);
        offset += n;
        length -= n;
    }
}

void FileReplacement::commit()
{
    // Keep the permissions of a file being replaced; a new one gets 0666 & ~umask.
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0) {
        ::fchmod(fd_.get(), st.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd_.get(), 0666 & ~mask);
    }
    if (::fsync(fd_.get()) != 0)
        throw FileError(target_, "cannot write: " + systemErrorText(errno));
    if (::close(fd_.release()) != 0)
        throw FileError(target_, "cannot write: " + systemErrorText(errno));
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        throw FileError(target_, "cannot replace: " + systemErrorText(errno));
    committed_ = true;
}

void appendToFile(const std::filesystem::path &file, std::string_view bytes)
{
    if (isReadOnlyFile(file))
        throw FileError(file, "the file is read-only");
    UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!fd.valid())
        throw FileError(file, "cannot open: " + systemErrorText(errno));
    const std::uint64_t before = fileSize(fd.get(), file);
    if (::lseek(fd.get(), static_cast<off_t>(before), SEEK_SET) < 0)
        throw FileError(file, "cannot write: " + systemErrorText(errno));
    try {
        writeAll(fd.get(), bytes.data(), bytes.size(), file);
    } catch (...) {
        [[maybe_unused]] int ignored = ::ftruncate(fd.get(), static_cast<off_t>(before));
        throw;
    }
}

} // namespace vibrolan::datafiles
