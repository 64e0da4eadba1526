#include "base/errors.hpp"
#include "export/run_hdf5.hpp"
#include "export_test_support.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>
#include <hdf5.h>

#include <cmath>
#include <fstream>

namespace vibrolan {
namespace {

// Names that HDF5 would read as paths or not at all get a plain member name;
// equal names stay apart.
TEST(Hdf5MemberName, GivesEveryStageAndPairAPlainUniqueName)
{
    std::vector<std::string> taken;
    const struct {
        const char *name;
        const char *expected;
    } cases[] = {{"Ст1", "Ст1"},  {"Ст1", "Ст1 (2)"},     {"Ст1  ", "Ст1 (3)"}, {"a/b", "a_b"},
                 {"", "stage 5"}, {"   ", "stage 5 (2)"}, {".", "stage 5 (3)"}, {"..", "stage 5 (4)"},
                 {"/", "_"},      {".hidden", ".hidden"}};
    for (const auto &c : cases)
        EXPECT_EQ(Hdf5MemberName(c.name, "stage 5", taken), c.expected) << '"' << c.name << '"';
}

TEST(SaveRunHdf5, RefusesAReadOnlyFileAndLeavesItAlone)
{
    test::TempDir tmp;
    const auto file = tmp / "old.h5";
    std::ofstream(file) << "previous";
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    TCfgDfm cfg;
    EXPECT_THROW(SaveRunHdf5(cfg, {}, file), FileError);
    std::ifstream in(file);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "previous");
    EXPECT_THROW(SaveRunHdf5(cfg, {}, tmp / "no folder" / "a.h5"), FileError);
    EXPECT_THROW(SaveRunHdf5(cfg, {}, ""), ValueError);
}

// A dataset read back by the library's own filters (shuffle, deflate).
std::vector<float> readFloats(hid_t file, const char *path, std::vector<hsize_t> &dims)
{
    const hid_t d = H5Dopen2(file, path, H5P_DEFAULT);
    EXPECT_GE(d, 0) << path;
    const hid_t space = H5Dget_space(d);
    dims.assign(static_cast<std::size_t>(H5Sget_simple_extent_ndims(space)), 0);
    H5Sget_simple_extent_dims(space, dims.data(), nullptr);
    hsize_t n = 1;
    for (hsize_t x : dims)
        n *= x;
    std::vector<float> v(n);
    EXPECT_GE(H5Dread(d, H5T_NATIVE_FLOAT, H5S_ALL, H5S_ALL, H5P_DEFAULT, v.data()), 0) << path;
    H5Sclose(space);
    H5Dclose(d);
    return v;
}

// More revolutions than one chunk holds, and not a whole number of chunks:
// the edge chunk and the chunks compressed on other threads read back as written.
TEST(SaveRunHdf5, LongSeriesReadBackThroughTheLibrarysFilters)
{
    test::TempDir tmp;
    constexpr std::int32_t kRevolutions = 140001;
    const TCfgDfm cfg = test::ResultFixture(kRevolutions, 3, TMode::mdDynamic, true);
    TRunHdf5Info info;
    info.ProgramVersion = "test";
    SaveRunHdf5(cfg, info, tmp / "long.h5");

    const hid_t f = H5Fopen((tmp / "long.h5").c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    ASSERT_GE(f, 0);
    std::vector<hsize_t> dims;
    const auto deflection = readFloats(f, "/Ст1/P1/deflection", dims);
    ASSERT_EQ(dims, (std::vector<hsize_t>{3, kRevolutions}));
    const auto velocity = readFloats(f, "/Ст1/P1/velocity", dims);
    const auto time = readFloats(f, "/Ст1/P1/time_s", dims);
    ASSERT_EQ(dims, (std::vector<hsize_t>{kRevolutions}));
    std::size_t wrong = 0;
    for (std::size_t b = 0; b < 3; ++b)
        for (std::size_t i = 0; i < static_cast<std::size_t>(kRevolutions); ++i) {
            const std::size_t k = b * kRevolutions + i;
            wrong += deflection[k] != test::amplAt(b, i) + test::middleAt(b, i);
            wrong += velocity[k] != test::seriesAt(100, b, i);
        }
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(time, cfg.Stages[0].Pairs[0].Time);
    H5Fclose(f);
}

} // namespace
} // namespace vibrolan
