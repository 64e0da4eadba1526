// Owned HDF5 identifiers and the few writing steps the run file needs, over
// Debian's HDF5 C library. Every failing call throws FileError naming the
// file being written; the library's own error printing is off meanwhile.
#pragma once

#include <hdf5.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace vibrolan::hdf5 {

class Handle {
public:
    using Closer = herr_t (*)(hid_t);
    Handle() = default;
    Handle(hid_t id, Closer close) : id_(id), close_(close) {}
    Handle(Handle &&o) noexcept : id_(o.id_), close_(o.close_) { o.id_ = H5I_INVALID_HID; }
    Handle &operator=(Handle &&o) noexcept
    {
        if (this != &o) {
            reset();
            id_ = o.id_;
            close_ = o.close_;
            o.id_ = H5I_INVALID_HID;
        }
        return *this;
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle() { reset(); }

    hid_t get() const { return id_; }
    // Closes now; a file's close is where its data reach the disk, so it is checked.
    herr_t close()
    {
        const herr_t r = id_ >= 0 && close_ ? close_(id_) : 0;
        id_ = H5I_INVALID_HID;
        return r;
    }

private:
    void reset()
    {
        if (id_ >= 0 && close_)
            close_(id_);
        id_ = H5I_INVALID_HID;
    }
    hid_t id_ = H5I_INVALID_HID;
    Closer close_ = nullptr;
};

// A variable-length UTF-8 string type (invalid handle when the library refuses).
Handle Utf8StringType();

// Turns the library's automatic error printing off for the writer's lifetime.
class QuietErrors {
public:
    QuietErrors();
    ~QuietErrors();
    QuietErrors(const QuietErrors &) = delete;
    QuietErrors &operator=(const QuietErrors &) = delete;

private:
    H5E_auto2_t func_ = nullptr;
    void *data_ = nullptr;
};

// Writing into one open file; `file` names it in errors.
class Writer {
public:
    Writer(hid_t fileId, std::filesystem::path file);

    Handle group(hid_t parent, const std::string &name) const;

    void attribute(hid_t obj, const char *name, double v) const;
    void attribute(hid_t obj, const char *name, std::int64_t v) const;
    void attribute(hid_t obj, const char *name, std::string_view v) const;

    // 1-D dataset of n values (float32 or float64) with a "units" attribute.
    void series(hid_t parent, const char *name, std::span<const float> v, std::string_view units) const;
    void series(hid_t parent, const char *name, std::span<const double> v, std::string_view units) const;
    // 2-D float32 dataset rows x columns (row-major), chunked by rows and
    // compressed (shuffle + deflate), with a "units" attribute.
    void matrix(hid_t parent, const char *name, std::span<const float> v, std::size_t rows,
                std::size_t columns, std::string_view units) const;

    // 1-D dataset of `rows` records of a compound type: `memoryType` describes
    // `data`, `fileType` the (packed, little-endian) records in the file.
    void records(hid_t parent, const char *name, hid_t memoryType, hid_t fileType, const void *data,
                 std::size_t rows, std::string_view units) const;

    // The same, each row's values where they are (`rows[r]`, `columns` values each).
    void matrixRows(hid_t parent, const char *name, std::span<const float *const> rows, std::size_t columns,
                    std::string_view units) const;

    [[noreturn]] void fail(const std::string &what) const;

private:
    void dataset(hid_t parent, const char *name, hid_t type, const void *data, int rank, const hsize_t *dims,
                 std::string_view units, bool compress, std::span<const float *const> rows = {}) const;

    hid_t file_;
    std::filesystem::path path_;
    Handle lcpl_;
};

} // namespace vibrolan::hdf5
