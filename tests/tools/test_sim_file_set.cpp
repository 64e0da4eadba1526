// The simulator's files (recordings, configuration, signatures, truth) are
// replaced all or none: a run that fails leaves the earlier run's files.
#include "base/errors.hpp"
#include "sim_test_support.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace vibrolan {
namespace {

std::map<std::string, std::string> snapshot(const std::filesystem::path &dir)
{
    std::map<std::string, std::string> files;
    for (const auto &e : std::filesystem::recursive_directory_iterator(dir))
        files[e.path().lexically_relative(dir).string()] = test::fileBytes(e.path());
    return files;
}

TEST(SimulatorFileSet, AFailedRunLeavesTheEarlierFilesAsTheyWere)
{
    test::TempDir dir;
    sim::SimulationOptions opt;
    opt.outDir = dir.path();
    opt.bldx = true;
    sim::simulate(sim::parseScenario(test::kSignatureScenario), opt);
    // The signature file is written late, after the configuration.
    const auto signature = dir / "signatureCh7.shp";
    std::filesystem::permissions(signature, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    const auto before = snapshot(dir.path());
    ASSERT_EQ(before.size(), 6u); // .bld, .bldx, .lfm, .truth.csv, .modes.csv, .shp

    const sim::Scenario shorter = sim::scaledDuration(sim::parseScenario(test::kSignatureScenario), 0.5);
    EXPECT_THROW(sim::simulate(shorter, opt), FileError);
    EXPECT_EQ(snapshot(dir.path()), before);

    std::filesystem::permissions(signature, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    const auto res = sim::simulate(shorter, opt);
    const auto after = snapshot(dir.path());
    EXPECT_EQ(after.size(), 6u); // no temporary left
    EXPECT_NE(after.at("sig.bld"), before.at("sig.bld"));
    EXPECT_NE(after.at("sig.lfm"), before.at("sig.lfm"));
    // The configuration gets the mode of any new file, not a temporary file's 0600.
    std::ofstream(dir / "probe") << "x";
    EXPECT_EQ(std::filesystem::status(res.lfm).permissions(),
              std::filesystem::status(dir / "probe").permissions());
}

} // namespace
} // namespace vibrolan
