// Writing a chunked float32 dataset whose filters are shuffle + deflate by
// compressing its chunks ourselves, on several threads, with libdeflate
// (Debian's libdeflate-dev: the same zlib streams as the library's deflate
// filter, several times faster), and handing them to the library as they are
// (H5Dwrite_chunk). Any HDF5 reader decodes them with its own filters. The
// bytes do not depend on the number of threads.
//
// Measured by bench_run_hdf5 on the run of the `large` preset (7.7 GB of
// series, 2 cores): the save at 413 MB/s of payload, 0.48 of a raw write of
// the same bytes into a fast page cache (861 MB/s), about 1.0 of one bound by
// the disk (310 MB/s, a quarter of the run); the file 52 % of the payload.
#pragma once

#include <hdf5.h>

#include <cstddef>
#include <functional>
#include <span>
#include <string>

namespace vibrolan::hdf5 {

struct ChunkLayout {
    std::size_t rows = 1;         // 1 for a 1-D dataset
    std::size_t columns = 0;      // values per row
    std::size_t chunkColumns = 0; // values per chunk (a chunk is one row's stretch)
    int rank = 2;                 // 1: offsets name the column only
};

// Writes every chunk of the row-major values `data` into the open dataset
// `dset` (created with that layout and the filters shuffle, deflate).
// `fail` is called (and must throw) when the library refuses a chunk.
void WriteDeflatedChunks(hid_t dset, const float *data, const ChunkLayout &layout, int level,
                         const std::function<void()> &fail);
// The same with each row's values where they are (`rows[r]`, `columns` values
// each): the series of a run need no copy into one block.
void WriteDeflatedChunks(hid_t dset, std::span<const float *const> rows, const ChunkLayout &layout, int level,
                         const std::function<void()> &fail);

} // namespace vibrolan::hdf5
