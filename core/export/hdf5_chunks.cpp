#include "export/hdf5_chunks.hpp"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace vibrolan::hdf5 {

namespace {

struct CompressorDeleter {
    void operator()(libdeflate_compressor *c) const { libdeflate_free_compressor(c); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorDeleter>;

Compressor makeCompressor(int level)
{
    Compressor c(libdeflate_alloc_compressor(level));
    if (!c)
        throw std::bad_alloc();
    return c;
}

// Whether a byte plane looks like noise (the low bytes of measured values
// as a rule), judged by the entropy of a sample of its bytes: above 7 bits
// per byte deflate saves at most an eighth of the plane, at the full cost of
// compressing it, which on the run's series is most of the save's time (the
// file grows by about 6 %, the save takes a fifth less). With 4096 samples a
// plane of independent uniform bytes measures about 7.95.
bool looksRandom(const unsigned char *plane, std::size_t n)
{
    constexpr std::size_t kStep = 16;
    std::array<std::uint32_t, 256> count{};
    std::size_t samples = 0;
    for (std::size_t i = 0; i < n; i += kStep, ++samples)
        ++count[plane[i]];
    if (samples < 1024)
        return false;
    double bits = 0;
    for (const std::uint32_t c : count)
        if (c != 0) {
            const double p = static_cast<double>(c) / static_cast<double>(samples);
            bits -= p * std::log2(p);
        }
    return bits > 7.0;
}

void putBigEndian32(unsigned char *at, std::uint32_t v)
{
    at[0] = static_cast<unsigned char>(v >> 24);
    at[1] = static_cast<unsigned char>(v >> 16);
    at[2] = static_cast<unsigned char>(v >> 8);
    at[3] = static_cast<unsigned char>(v);
}

// Shuffles (4 byte planes) and deflates `chunk` values into `out` as one
// zlib stream, as the library's shuffle + deflate filters store a chunk; a
// chunk shorter than `padded` values is completed with zeros, as the library
// stores edge chunks whole. Leading planes that look like noise (the low
// mantissa bytes come first) go into the stream as stored blocks, which every
// inflater reads like any other; the rest is deflated. `planes` is the
// caller's buffer, kept between chunks: a fresh one per chunk would cost the
// kernel a page fault and a page of zeros for every 4 KiB.
void compressChunk(const float *data, std::size_t chunk, std::size_t padded,
                   std::vector<unsigned char> &planes, std::string &out, libdeflate_compressor *c)
{
    // The shuffle filter's layout: byte j of every value in plane j.
    planes.resize(padded * 4);
    unsigned char *p0 = planes.data(), *p1 = p0 + padded, *p2 = p1 + padded, *p3 = p2 + padded;
    const auto *bytes = reinterpret_cast<const unsigned char *>(data);
    for (std::size_t i = 0; i < chunk; ++i) {
        const unsigned char *v = bytes + 4 * i;
        p0[i] = v[0];
        p1[i] = v[1];
        p2[i] = v[2];
        p3[i] = v[3];
    }
    if (chunk < padded)
        for (unsigned char *plane : {p0, p1, p2, p3})
            std::fill(plane + chunk, plane + padded, static_cast<unsigned char>(0));

    std::size_t storedPlanes = 0;
    while (storedPlanes < 3 && looksRandom(planes.data() + storedPlanes * padded, padded))
        ++storedPlanes;
    const std::size_t stored = storedPlanes * padded, rest = planes.size() - stored;
    constexpr std::size_t kStoredBlock = 65535;
    const std::size_t storedBytes = stored + 5 * ((stored + kStoredBlock - 1) / kStoredBlock);
    out.resize(2 + storedBytes + libdeflate_deflate_compress_bound(c, rest) + 4);
    auto *o = reinterpret_cast<unsigned char *>(out.data());
    std::size_t at = 0;
    // zlib header: deflate with a 32 KiB window, no dictionary (0x7801 is a multiple of 31).
    o[at++] = 0x78;
    o[at++] = 0x01;
    // Stored blocks: a byte-aligned header (not final, type 00), LEN, ~LEN, the bytes.
    for (std::size_t done = 0; done < stored;) {
        const std::size_t len = std::min(kStoredBlock, stored - done);
        o[at++] = 0x00;
        o[at++] = static_cast<unsigned char>(len);
        o[at++] = static_cast<unsigned char>(len >> 8);
        o[at++] = static_cast<unsigned char>(~len);
        o[at++] = static_cast<unsigned char>(~len >> 8);
        std::memcpy(o + at, planes.data() + done, len);
        at += len;
        done += len;
    }
    // The deflated rest starts on the byte boundary the stored blocks end on
    // and ends the stream with its final block.
    const std::size_t n =
        libdeflate_deflate_compress(c, planes.data() + stored, rest, o + at, out.size() - at - 4);
    if (n == 0)
        throw std::runtime_error("deflate refused a chunk");
    at += n;
    putBigEndian32(o + at, libdeflate_adler32(1, planes.data(), planes.size()));
    out.resize(at + 4);
}

} // namespace

void WriteDeflatedChunks(hid_t dset, const float *data, const ChunkLayout &layout, int level,
                         const std::function<void()> &fail)
{
    std::vector<const float *> rows(layout.rows);
    for (std::size_t r = 0; r < layout.rows; ++r)
        rows[r] = data + r * layout.columns;
    WriteDeflatedChunks(dset, rows, layout, level, fail);
}

void WriteDeflatedChunks(hid_t dset, std::span<const float *const> rows, const ChunkLayout &layout, int level,
                         const std::function<void()> &fail)
{
    if (rows.size() != layout.rows)
        throw std::invalid_argument("WriteDeflatedChunks: a row pointer per row is needed");
    const std::size_t perRow = (layout.columns + layout.chunkColumns - 1) / layout.chunkColumns;
    const std::size_t total = layout.rows * perRow;
    if (total == 0)
        return;
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    // Workers run at most this far ahead of the writer, so memory stays small.
    const std::size_t window = 4 * static_cast<std::size_t>(threads);

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> slots(window);
    std::vector<std::size_t> slotChunk(window, SIZE_MAX);
    std::size_t written = 0;
    bool stop = false;
    std::exception_ptr error;
    std::atomic<std::size_t> next{0};

    auto work = [&] {
        try {
            const Compressor c = makeCompressor(level);
            std::string out;
            std::vector<unsigned char> planes;
            for (std::size_t k = next++; k < total; k = next++) {
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return stop || k < written + window; });
                    if (stop)
                        return;
                }
                const std::size_t row = k / perRow, block = k % perRow;
                const std::size_t col = block * layout.chunkColumns;
                const std::size_t count = std::min(layout.chunkColumns, layout.columns - col);
                compressChunk(rows[row] + col, count, layout.chunkColumns, planes, out, c.get());
                const std::lock_guard lock(mutex);
                slots[k % window].swap(out);
                slotChunk[k % window] = k;
                changed.notify_all();
            }
        } catch (...) {
            const std::lock_guard lock(mutex);
            if (!error)
                error = std::current_exception();
            stop = true;
            changed.notify_all();
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back(work);
    auto finish = [&] {
        {
            const std::lock_guard lock(mutex);
            stop = true;
            changed.notify_all();
        }
        for (auto &t : pool)
            t.join();
    };

    std::string chunk;
    bool refused = false;
    for (std::size_t k = 0; k < total && !refused; ++k) {
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return stop || slotChunk[k % window] == k; });
            if (slotChunk[k % window] != k)
                break; // a worker failed
            chunk.swap(slots[k % window]);
            slotChunk[k % window] = SIZE_MAX;
            written = k + 1;
            changed.notify_all();
        }
        const std::size_t row = k / perRow, col = (k % perRow) * layout.chunkColumns;
        const std::array<hsize_t, 2> offset2{row, col};
        const hsize_t offset1 = col;
        const hsize_t *offset = layout.rank == 1 ? &offset1 : offset2.data();
        refused = H5Dwrite_chunk(dset, H5P_DEFAULT, 0, offset, chunk.size(), chunk.data()) < 0;
    }
    finish();
    if (error)
        std::rethrow_exception(error);
    if (refused)
        fail();
}

} // namespace vibrolan::hdf5
