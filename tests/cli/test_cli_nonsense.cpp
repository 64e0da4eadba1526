// Input that makes no sense never passes for success: impossible numbers in
// the configuration are refused before the run, a recorder configuration read
// only in part is not imported, and a run that finds no revolution says why.
#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "config/cfg_rec_blade.hpp"
#include "recording/recording_header.hpp"
#include "recording/recording_image.hpp"
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>

using vibrolan::test::runProcess;
using vibrolan::test::TempDir;
using namespace vibrolan;

namespace {

bool contains(const std::string &s, const std::string &part) { return s.find(part) != std::string::npos; }

class CliNonsense : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new TempDir;
        const auto r = runProcess(VIBROLAN_CLI_PATH,
                                  {"simulate", "steady", "--out", dir_->path().string(), "--name", "sim",
                                   "--seed", "7", "--scale", "0.02"},
                                  60);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }
    static std::filesystem::path at(const std::string &name) { return dir_->path() / name; }
    static TCfgDfm simulated()
    {
        TCfgDfm cfg;
        cfg.LoadFromFile(at("sim.lfm"));
        return cfg;
    }
    static std::string save(TCfgDfm &cfg, const std::string &name)
    {
        RecordingMessageSink notices;
        cfg.SaveToFile(at(name), notices);
        EXPECT_TRUE(notices.messages().empty());
        return at(name).string();
    }
    static inline TempDir *dir_ = nullptr;
};

TEST_F(CliNonsense, ImpossibleNumbersAreRefusedNamingStageAndField)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char *what;
        void (*spoil)(TCfgDfm &, double);
        double value;
        const char *expect; // in the message
    };
    const Case cases[] = {
        {"zero diameter", [](TCfgDfm &c, double v) { c.Stages[1].Diametr = v; }, 0.0,
         "stage 2 \"St2\": the diameter"},
        {"negative diameter", [](TCfgDfm &c, double v) { c.Stages[0].Diametr = v; }, -500.0, "Diametr"},
        {"NaN diameter", [](TCfgDfm &c, double v) { c.Stages[0].Diametr = v; }, nan, "got nan"},
        {"infinite diameter", [](TCfgDfm &c, double v) { c.Stages[0].Diametr = v; }, inf, "got inf"},
        {"NaN stress factor", [](TCfgDfm &c, double v) { c.Stages[0].KfSigma = static_cast<float>(v); }, nan,
         "KfSigma"},
        {"infinite pair base",
         [](TCfgDfm &c, double v) { c.Stages[0].Pairs[0].Base = static_cast<float>(v); }, inf,
         "pair 1 \"Pa1\": the base (Base)"},
        {"NaN guard", [](TCfgDfm &c, double v) { c.HiTaho = v; }, nan, "HiTaho"},
        {"NaN time range", [](TCfgDfm &c, double v) { c.Range._To = v; }, nan, "Range._To"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TCfgDfm cfg = simulated();
        c.spoil(cfg, c.value);
        const std::string lfm = save(cfg, "spoilt.lfm");
        const auto r = runProcess(VIBROLAN_CLI_PATH, {"analyze", lfm}, 60);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_TRUE(contains(r.err, c.expect)) << r.err;
        EXPECT_TRUE(r.out.empty()) << "a report was printed";
        EXPECT_FALSE(contains(r.err, "Overrunning")) << r.err;
    }
}

TEST_F(CliNonsense, APartlyReadRecorderConfigurationIsNotImported)
{
    const auto rbd = at("stand.rbd");
    {
        NullMessageSink sink;
        TCfgRecBlade rec(sink);
        rec.InitDefault();
        rec.SaveToFile(rbd, sink);
    }
    std::ifstream in(rbd, std::ios::binary);
    const std::string whole{std::istreambuf_iterator<char>(in), {}};
    int refused = 0;
    // Cut at many places: every cut is refused and writes nothing.
    for (std::size_t cut = 8; cut < whole.size(); cut += whole.size() / 23 + 1) {
        SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(whole.size()));
        std::ofstream(at("partial.rbd"), std::ios::binary) << whole.substr(0, cut);
        std::filesystem::remove(at("partial.lfm"));
        const auto r =
            runProcess(VIBROLAN_CLI_PATH,
                       {"config", "import", at("partial.rbd").string(), at("partial.lfm").string()}, 60);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_FALSE(std::filesystem::exists(at("partial.lfm")));
        refused += r.status == 1;
    }
    EXPECT_GT(refused, 10);

    // A blade number the reader does not take (stored as a 32-bit integer):
    // reading stops at "ввод номера лопатки" and nothing is imported.
    {
        NullMessageSink sink;
        TCfgRecBlade rec(sink);
        rec.InitDefault();
        rec.OrderBlade[0] = 40000;
        rec.SaveToFile(at("badblade.rbd"), sink);
    }
    const auto r = runProcess(VIBROLAN_CLI_PATH,
                              {"config", "import", at("badblade.rbd").string(), at("badblade.lfm").string()}, 60);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "ввод номера лопатки")) << r.err;
    EXPECT_TRUE(contains(r.err, "was not written")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(at("badblade.lfm")));
}

TEST_F(CliNonsense, ARunWithoutRevolutionsSaysWhy)
{
    // No pulse on the tacho channels: the recording holds only channel 2 pulses.
    RecordingHeader h;
    h.RecorderCode = 1200;
    std::vector<TIndex> recs;
    for (std::uint32_t i = 0; i < 200; ++i)
        recs.push_back({1, 0, 1000 + 40000 * i});
    writeRecordingFile(at("notacho.bld"), h, recs);
    std::ofstream(at("empty.bld")).flush();

    struct Case {
        const char *what;
        std::vector<std::string> args;
        const char *expect;
    };
    const std::string lfm = at("sim.lfm").string(), out = at("exported").string();
    const Case cases[] = {
        {"empty recording",
         {"analyze", lfm, "--recording", at("empty.bld").string()},
         "holds no pulse records"},
        {"no tacho pulses",
         {"analyze", lfm, "--recording", at("notacho.bld").string()},
         "no pulse on the tacho channel"},
        {"configuration as recording",
         {"analyze", lfm, "--recording", lfm},
         "is a configuration file, not a recording"},
        {"export of an empty recording",
         {"export", lfm, "--pair", "Pa1", "--out", out, "--recording", at("empty.bld").string()},
         "nothing saved"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const auto r = runProcess(VIBROLAN_CLI_PATH, c.args, 60);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_TRUE(contains(r.err, c.expect)) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
    // The simulated recording itself still runs and succeeds.
    EXPECT_EQ(runProcess(VIBROLAN_CLI_PATH, {"analyze", lfm}, 60).status, 0);
}

} // namespace
