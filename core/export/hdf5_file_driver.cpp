#include "export/hdf5_file_driver.hpp"

#include <H5FDpublic.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <unistd.h>

namespace vibrolan::hdf5 {

namespace {

// What the property list carries to the open file.
struct DriverInfo {
    IoLatch *latch;
};

struct LatchedFile {
    H5FD_t pub; // first: the library sees the file as this
    int fd = -1;
    haddr_t eoa = 0;
    haddr_t eof = 0;
    DriverInfo info{};

    void fail(int error)
    {
        if (info.latch && info.latch->error == 0)
            info.latch->error = error != 0 ? error : EIO;
    }
    bool failed() const { return info.latch && info.latch->error != 0; }
};

LatchedFile *self(H5FD_t *f) { return reinterpret_cast<LatchedFile *>(f); }
const LatchedFile *self(const H5FD_t *f) { return reinterpret_cast<const LatchedFile *>(f); }

constexpr haddr_t kMaxAddress = (haddr_t{1} << 62) - 1;

void *infoGet(H5FD_t *file)
{
    auto *copy = static_cast<DriverInfo *>(std::malloc(sizeof(DriverInfo)));
    if (copy)
        *copy = self(file)->info;
    return copy;
}

void *infoCopy(const void *info)
{
    auto *copy = static_cast<DriverInfo *>(std::malloc(sizeof(DriverInfo)));
    if (copy)
        std::memcpy(copy, info, sizeof(DriverInfo));
    return copy;
}

herr_t infoFree(void *info)
{
    std::free(info);
    return 0;
}

H5FD_t *openFile(const char *name, unsigned /*flags*/, hid_t fapl, haddr_t maxaddr)
{
    if (!name || maxaddr == 0 || maxaddr > kMaxAddress)
        return nullptr;
    const auto *info = static_cast<const DriverInfo *>(H5Pget_driver_info(fapl));
    // Only new files are written: the writer creates the temporary file first.
    const int fd = ::open(name, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    auto *f = new (std::nothrow) LatchedFile{};
    if (!f) {
        ::close(fd);
        return nullptr;
    }
    f->fd = fd;
    if (info)
        f->info = *info;
    return &f->pub;
}

herr_t closeFile(H5FD_t *file)
{
    LatchedFile *f = self(file);
    if (f->fd >= 0 && ::close(f->fd) != 0)
        f->fail(errno);
    delete f;
    return 0;
}

herr_t query(const H5FD_t *, unsigned long *flags)
{
    if (flags)
        *flags = H5FD_FEAT_AGGREGATE_METADATA | H5FD_FEAT_ACCUMULATE_METADATA | H5FD_FEAT_DATA_SIEVE |
                 H5FD_FEAT_AGGREGATE_SMALLDATA;
    return 0;
}

haddr_t getEoa(const H5FD_t *file, H5FD_mem_t) { return self(file)->eoa; }

herr_t setEoa(H5FD_t *file, H5FD_mem_t, haddr_t addr)
{
    if (addr > kMaxAddress)
        return -1;
    self(file)->eoa = addr;
    return 0;
}

haddr_t getEof(const H5FD_t *file, H5FD_mem_t) { return self(file)->eof; }

herr_t getHandle(H5FD_t *file, hid_t, void **handle)
{
    if (!handle)
        return -1;
    *handle = &self(file)->fd;
    return 0;
}

// A failed read gives zeros: the file is dropped anyway once anything failed.
herr_t readAt(H5FD_t *file, H5FD_mem_t, hid_t, haddr_t addr, size_t size, void *buffer)
{
    LatchedFile *f = self(file);
    auto *p = static_cast<unsigned char *>(buffer);
    while (size > 0) {
        const ssize_t n = addr < f->eof && !f->failed()
                              ? ::pread(f->fd, p, std::min<std::size_t>(size, std::size_t{1} << 30),
                                        static_cast<off_t>(addr))
                              : 0;
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n < 0)
                f->fail(errno);
            std::memset(p, 0, size);
            return 0;
        }
        p += n;
        addr += static_cast<haddr_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

// After the first failure nothing more is written; the library is told all went well.
herr_t writeAt(H5FD_t *file, H5FD_mem_t, hid_t, haddr_t addr, size_t size, const void *buffer)
{
    LatchedFile *f = self(file);
    if (addr > kMaxAddress || size > kMaxAddress - addr)
        return -1;
    const auto *p = static_cast<const unsigned char *>(buffer);
    haddr_t at = addr;
    std::size_t left = size;
    while (left > 0 && !f->failed()) {
        const ssize_t n =
            ::pwrite(f->fd, p, std::min<std::size_t>(left, std::size_t{1} << 30), static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            f->fail(n < 0 ? errno : EIO);
            break;
        }
        p += n;
        at += static_cast<haddr_t>(n);
        left -= static_cast<std::size_t>(n);
    }
    f->eof = std::max(f->eof, addr + size);
    return 0;
}

// The file ends where the library's last allocation does.
herr_t truncateFile(H5FD_t *file, hid_t, hbool_t)
{
    LatchedFile *f = self(file);
    if (f->eoa != f->eof && !f->failed()) {
        if (::ftruncate(f->fd, static_cast<off_t>(f->eoa)) != 0)
            f->fail(errno);
        f->eof = f->eoa;
    }
    return 0;
}

H5FD_class_t driverClass()
{
    H5FD_class_t c{};
    c.name = "vibrolan-latching";
    c.maxaddr = kMaxAddress;
    c.fc_degree = H5F_CLOSE_WEAK;
    c.fapl_size = sizeof(DriverInfo);
    c.fapl_get = infoGet;
    c.fapl_copy = infoCopy;
    c.fapl_free = infoFree;
    c.open = openFile;
    c.close = closeFile;
    c.query = query;
    c.get_eoa = getEoa;
    c.set_eoa = setEoa;
    c.get_eof = getEof;
    c.get_handle = getHandle;
    c.read = readAt;
    c.write = writeAt;
    c.truncate = truncateFile;
    const H5FD_mem_t map[] = H5FD_FLMAP_DICHOTOMY;
    std::copy(std::begin(map), std::end(map), std::begin(c.fl_map));
    return c;
}

hid_t driverId()
{
    static const H5FD_class_t cls = driverClass();
    static std::mutex mutex;
    static hid_t id = H5I_INVALID_HID;
    const std::lock_guard lock(mutex);
    // The library forgets its drivers when it shuts down and starts again.
    if (id < 0 || H5Iis_valid(id) <= 0)
        id = H5FDregister(&cls);
    return id;
}

} // namespace

hid_t LatchingFileAccess(IoLatch &latch)
{
    const hid_t driver = driverId();
    if (driver < 0)
        return H5I_INVALID_HID;
    const hid_t fapl = H5Pcreate(H5P_FILE_ACCESS);
    const DriverInfo info{&latch};
    if (fapl < 0 || H5Pset_driver(fapl, driver, &info) < 0) {
        if (fapl >= 0)
            H5Pclose(fapl);
        return H5I_INVALID_HID;
    }
    return fapl;
}

} // namespace vibrolan::hdf5
