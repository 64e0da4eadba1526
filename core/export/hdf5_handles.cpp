#include "export/hdf5_handles.hpp"

#include "base/errors.hpp"
#include "export/hdf5_chunks.hpp"

#include <algorithm>
#include <array>

namespace vibrolan::hdf5 {

namespace {

// Rows of up to 64 Ki values per chunk: a blade's series reads in a few
// chunks, and a chunk (256 KiB) stays within the library's default cache.
constexpr hsize_t kChunkColumns = 65536;
constexpr int kDeflateLevel = 1;

} // namespace

Handle Utf8StringType()
{
    Handle t(H5Tcopy(H5T_C_S1), H5Tclose);
    if (t.get() < 0 || H5Tset_size(t.get(), H5T_VARIABLE) < 0 || H5Tset_cset(t.get(), H5T_CSET_UTF8) < 0)
        return {};
    return t;
}

QuietErrors::QuietErrors()
{
    H5Eget_auto2(H5E_DEFAULT, &func_, &data_);
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
}

QuietErrors::~QuietErrors() { H5Eset_auto2(H5E_DEFAULT, func_, data_); }

Writer::Writer(hid_t fileId, std::filesystem::path file)
    : file_(fileId), path_(std::move(file)), lcpl_(H5Pcreate(H5P_LINK_CREATE), H5Pclose)
{
    // Member names are UTF-8 (stage and pair names are Cyrillic as a rule).
    if (lcpl_.get() < 0 || H5Pset_char_encoding(lcpl_.get(), H5T_CSET_UTF8) < 0 ||
        H5Pset_create_intermediate_group(lcpl_.get(), 0) < 0)
        fail("cannot set up the HDF5 library");
}

void Writer::fail(const std::string &what) const { throw FileError(path_, what); }

Handle Writer::group(hid_t parent, const std::string &name) const
{
    Handle g(H5Gcreate2(parent, name.c_str(), lcpl_.get(), H5P_DEFAULT, H5P_DEFAULT), H5Gclose);
    if (g.get() < 0)
        fail("cannot create the group \"" + name + "\"");
    return g;
}

void Writer::attribute(hid_t obj, const char *name, double v) const
{
    Handle space(H5Screate(H5S_SCALAR), H5Sclose);
    Handle a(H5Acreate2(obj, name, H5T_IEEE_F64LE, space.get(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    if (a.get() < 0 || H5Awrite(a.get(), H5T_NATIVE_DOUBLE, &v) < 0)
        fail(std::string("cannot write the attribute \"") + name + "\"");
}

void Writer::attribute(hid_t obj, const char *name, std::int64_t v) const
{
    Handle space(H5Screate(H5S_SCALAR), H5Sclose);
    Handle a(H5Acreate2(obj, name, H5T_STD_I64LE, space.get(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    if (a.get() < 0 || H5Awrite(a.get(), H5T_NATIVE_INT64, &v) < 0)
        fail(std::string("cannot write the attribute \"") + name + "\"");
}

void Writer::attribute(hid_t obj, const char *name, std::string_view v) const
{
    const std::string text(v);
    const char *p = text.c_str();
    Handle type = Utf8StringType();
    Handle space(H5Screate(H5S_SCALAR), H5Sclose);
    Handle a(type.get() < 0 ? H5I_INVALID_HID
                            : H5Acreate2(obj, name, type.get(), space.get(), H5P_DEFAULT, H5P_DEFAULT),
             H5Aclose);
    if (a.get() < 0 || H5Awrite(a.get(), type.get(), &p) < 0)
        fail(std::string("cannot write the attribute \"") + name + "\"");
}

void Writer::dataset(hid_t parent, const char *name, hid_t type, const void *data, int rank,
                     const hsize_t *dims, std::string_view units, bool compress,
                     std::span<const float *const> rows) const
{
    Handle space(H5Screate_simple(rank, dims, nullptr), H5Sclose);
    Handle dcpl(H5Pcreate(H5P_DATASET_CREATE), H5Pclose);
    if (space.get() < 0 || dcpl.get() < 0)
        fail(std::string("cannot lay out the dataset \"") + name + "\"");
    const bool empty = std::any_of(dims, dims + rank, [](hsize_t d) { return d == 0; });
    if (compress && !empty) {
        std::array<hsize_t, 2> chunk{};
        for (int i = 0; i < rank; ++i)
            chunk[static_cast<std::size_t>(i)] = i + 1 < rank ? 1 : std::min(dims[i], kChunkColumns);
        if (H5Pset_chunk(dcpl.get(), rank, chunk.data()) < 0 || H5Pset_shuffle(dcpl.get()) < 0 ||
            H5Pset_deflate(dcpl.get(), kDeflateLevel) < 0)
            fail(std::string("cannot set the compression of \"") + name + "\"");
    }
    // The file stores little-endian IEEE values whatever the machine.
    const hid_t fileType = H5Tequal(type, H5T_NATIVE_FLOAT) > 0 ? H5T_IEEE_F32LE : H5T_IEEE_F64LE;
    Handle d(H5Dcreate2(parent, name, fileType, space.get(), lcpl_.get(), dcpl.get(), H5P_DEFAULT), H5Dclose);
    if (d.get() < 0)
        fail(std::string("cannot create the dataset \"") + name + "\"");
    const auto refused = [&] { fail(std::string("cannot write the dataset \"") + name + "\""); };
    if (compress && !empty && fileType == H5T_IEEE_F32LE) {
        ChunkLayout layout;
        layout.rank = rank;
        layout.rows = rank == 2 ? dims[0] : 1;
        layout.columns = dims[rank - 1];
        layout.chunkColumns = std::min(dims[rank - 1], kChunkColumns);
        if (!rows.empty())
            WriteDeflatedChunks(d.get(), rows, layout, kDeflateLevel, refused);
        else
            WriteDeflatedChunks(d.get(), static_cast<const float *>(data), layout, kDeflateLevel, refused);
    } else if (!empty && H5Dwrite(d.get(), type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data) < 0) {
        refused();
    }
    attribute(d.get(), "units", units);
    if (d.close() < 0)
        fail(std::string("cannot write the dataset \"") + name + "\"");
}

void Writer::records(hid_t parent, const char *name, hid_t memoryType, hid_t fileType, const void *data,
                     std::size_t rows, std::string_view units) const
{
    const hsize_t n = rows;
    Handle space(H5Screate_simple(1, &n, nullptr), H5Sclose);
    if (space.get() < 0)
        fail(std::string("cannot lay out the dataset \"") + name + "\"");
    Handle d(H5Dcreate2(parent, name, fileType, space.get(), lcpl_.get(), H5P_DEFAULT, H5P_DEFAULT),
             H5Dclose);
    if (d.get() < 0)
        fail(std::string("cannot create the dataset \"") + name + "\"");
    if (rows > 0 && H5Dwrite(d.get(), memoryType, H5S_ALL, H5S_ALL, H5P_DEFAULT, data) < 0)
        fail(std::string("cannot write the dataset \"") + name + "\"");
    attribute(d.get(), "units", units);
    if (d.close() < 0)
        fail(std::string("cannot write the dataset \"") + name + "\"");
}

void Writer::series(hid_t parent, const char *name, std::span<const float> v, std::string_view units) const
{
    const hsize_t n = v.size();
    dataset(parent, name, H5T_NATIVE_FLOAT, v.data(), 1, &n, units, n > kChunkColumns);
}

void Writer::series(hid_t parent, const char *name, std::span<const double> v, std::string_view units) const
{
    const hsize_t n = v.size();
    dataset(parent, name, H5T_NATIVE_DOUBLE, v.data(), 1, &n, units, n > kChunkColumns);
}

void Writer::matrix(hid_t parent, const char *name, std::span<const float> v, std::size_t rows,
                    std::size_t columns, std::string_view units) const
{
    if (v.size() != rows * columns)
        fail(std::string("internal error: the dataset \"") + name + "\" has the wrong size");
    const std::array<hsize_t, 2> dims{rows, columns};
    dataset(parent, name, H5T_NATIVE_FLOAT, v.data(), 2, dims.data(), units, true);
}

void Writer::matrixRows(hid_t parent, const char *name, std::span<const float *const> rows,
                        std::size_t columns, std::string_view units) const
{
    const std::array<hsize_t, 2> dims{rows.size(), columns};
    if (rows.empty() || columns == 0) {
        dataset(parent, name, H5T_NATIVE_FLOAT, nullptr, 2, dims.data(), units, true);
        return;
    }
    dataset(parent, name, H5T_NATIVE_FLOAT, rows[0], 2, dims.data(), units, true, rows);
}

} // namespace vibrolan::hdf5
