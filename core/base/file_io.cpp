#include "base/file_io.hpp"

#include "base/errors.hpp"
#include "base/unique_fd.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vibrolan {

namespace {

std::string kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

[[noreturn]] void refuse(const std::filesystem::path &file, const std::string &kind)
{
    throw FileError(file, "is " + kind + ", not a regular file: name the file itself");
}

} // namespace

std::string nonRegularKind(const std::filesystem::path &file)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return {};
    return kindOf(st.st_mode);
}

void requireRegularFile(int fd, const std::filesystem::path &file)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw FileError(file, "cannot read: " + systemErrorText(errno));
    const std::string kind = kindOf(st.st_mode);
    if (!kind.empty())
        refuse(file, kind);
}

UniqueFd openRegularFileForReading(const std::filesystem::path &file)
{
    // O_NONBLOCK: opening a FIFO for reading would wait for a writer.
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        const int e = errno;
        const std::string kind = nonRegularKind(file);
        if (!kind.empty())
            refuse(file, kind);
        throw FileError(file, "cannot open: " + systemErrorText(e));
    }
    requireRegularFile(fd.get(), file);
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0)
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

std::vector<std::uint8_t> readWholeFile(const std::filesystem::path &file, std::uint64_t maxBytes)
{
    UniqueFd fd = openRegularFileForReading(file);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        throw FileError(file, "cannot read: " + systemErrorText(errno));
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
        throw FileError(file, "file is too large (" + std::to_string(st.st_size) + " bytes)");
    std::vector<std::uint8_t> data(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < data.size()) {
        ssize_t r = ::read(fd.get(), data.data() + got, data.size() - got);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw FileError(file, "cannot read: " + systemErrorText(errno));
        }
        if (r == 0)
            break; // file shrank while reading
        got += static_cast<std::size_t>(r);
    }
    data.resize(got);
    return data;
}

void writeFileAtomically(const std::filesystem::path &file, std::string_view bytes)
{
    if (isReadOnlyFile(file))
        throw FileError(file, "cannot write: the file is read-only");
    std::filesystem::path dir = file.parent_path();
    if (dir.empty())
        dir = ".";
    std::string tmpl = (dir / ("." + file.filename().string() + ".XXXXXX")).string();
    int raw = ::mkstemp(tmpl.data());
    if (raw < 0)
        throw FileError(file, "cannot create: " + systemErrorText(errno));
    UniqueFd fd(raw);
    auto fail = [&](const std::string &what) {
        int e = errno;
        ::unlink(tmpl.c_str());
        throw FileError(file, what + ": " + systemErrorText(e));
    };
    std::size_t put = 0;
    while (put < bytes.size()) {
        ssize_t w = ::write(fd.get(), bytes.data() + put, bytes.size() - put);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            fail("cannot write");
        }
        put += static_cast<std::size_t>(w);
    }
    // Keep the permissions of a file being replaced; new files get the usual 0666 & ~umask.
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) {
        ::fchmod(fd.get(), st.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd.get(), 0666 & ~mask);
    }
    if (::fsync(fd.get()) != 0)
        fail("cannot write");
    if (::close(fd.release()) != 0)
        fail("cannot write");
    if (::rename(tmpl.c_str(), file.c_str()) != 0)
        fail("cannot replace");
}

void writeFileAtomically(const std::filesystem::path &file, const std::vector<std::uint8_t> &bytes)
{
    writeFileAtomically(file, std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
}

bool isReadOnlyFile(const std::filesystem::path &file)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return false;
    // The owner's write bit is the read-only attribute's counterpart; it also
    // holds for root, whom access(W_OK) would always let through.
    return (st.st_mode & S_IWUSR) == 0 || ::access(file.c_str(), W_OK) != 0;
}

} // namespace vibrolan
