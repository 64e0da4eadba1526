#include "base/errors.hpp"
#include "export/run_hdf5.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

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
    } cases[] = {{"Ст1", "Ст1"},          {"Ст1", "Ст1 (2)"},     {"Ст1  ", "Ст1 (3)"}, {"a/b", "a_b"},
                 {"", "stage 5"},          {"   ", "stage 5 (2)"}, {".", "stage 5 (3)"}, {"..", "stage 5 (4)"},
                 {"/", "_"},               {".hidden", ".hidden"}};
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

} // namespace
} // namespace vibrolan
