// Chunks compressed by our own writer read back through the HDF5 library's
// own shuffle + deflate filters, bit for bit: noisy values (whose low bytes
// go into the stream uncompressed), smooth and constant ones, and an edge
// chunk that the library stores whole.
#include "export/hdf5_chunks.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>
#include <hdf5.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vibrolan {
namespace {

TEST(WriteDeflatedChunks, ReadBackThroughTheLibrarysFiltersBitForBit)
{
    constexpr hsize_t kRows = 3, kColumns = 150001, kChunk = 65536;
    std::vector<float> v(kRows * kColumns);
    std::uint64_t state = 12345;
    for (hsize_t i = 0; i < kColumns; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const double noise = static_cast<double>(state >> 11) / 9007199254740992.0 - 0.5;
        v[i] = static_cast<float>(0.02 * noise + 0.1 * std::sin(0.001 * static_cast<double>(i)));
        v[kColumns + i] = 22.5f + 0.001f * static_cast<float>(i % 1000);
        v[2 * kColumns + i] = -3.25f;
    }
    test::TempDir tmp;
    const auto path = tmp / "chunks.h5";
    const hid_t f = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    ASSERT_GE(f, 0);
    const hsize_t dims[2] = {kRows, kColumns}, chunk[2] = {1, kChunk};
    const hid_t space = H5Screate_simple(2, dims, nullptr);
    const hid_t dcpl = H5Pcreate(H5P_DATASET_CREATE);
    H5Pset_chunk(dcpl, 2, chunk);
    H5Pset_shuffle(dcpl);
    H5Pset_deflate(dcpl, 1);
    const hid_t d = H5Dcreate2(f, "v", H5T_IEEE_F32LE, space, H5P_DEFAULT, dcpl, H5P_DEFAULT);
    ASSERT_GE(d, 0);
    hdf5::ChunkLayout layout;
    layout.rows = kRows;
    layout.columns = kColumns;
    layout.chunkColumns = kChunk;
    bool failed = false;
    hdf5::WriteDeflatedChunks(d, v.data(), layout, 1, [&] { failed = true; });
    EXPECT_FALSE(failed);
    // Noise takes room, the smooth and constant rows next to none.
    const hsize_t stored = H5Dget_storage_size(d);
    EXPECT_LT(stored, sizeof(float) * kRows * kColumns / 2);
    EXPECT_GT(stored, sizeof(float) * kColumns / 3);
    H5Dclose(d);
    H5Pclose(dcpl);
    H5Sclose(space);
    H5Fclose(f);

    const hid_t r = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    const hid_t rd = H5Dopen2(r, "v", H5P_DEFAULT);
    std::vector<float> back(v.size(), 0.0f);
    ASSERT_GE(H5Dread(rd, H5T_NATIVE_FLOAT, H5S_ALL, H5S_ALL, H5P_DEFAULT, back.data()), 0);
    H5Dclose(rd);
    H5Fclose(r);
    EXPECT_EQ(std::memcmp(back.data(), v.data(), v.size() * sizeof(float)), 0);
}

} // namespace
} // namespace vibrolan
