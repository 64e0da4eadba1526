#include "base/errors.hpp"
#include "recording/angle_gates.hpp"
#include "recording/tacho_detector.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

using namespace vibrolan;
using vibrolan::test::TempDir;

namespace {

void writeBytes(const std::filesystem::path &p, const std::string &bytes)
{
    std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readWholeFileForTest(const std::filesystem::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string floats(const std::vector<float> &v)
{
    std::string s(4 * v.size(), '\0');
    std::memcpy(s.data(), v.data(), s.size());
    return s;
}

// Pulses of one revolution with the given relative spacings (they sum to 1).
std::vector<double> pattern(int n)
{
    std::vector<double> p;
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        p.push_back(1.0 + 0.08 * std::sin(1.7 * i) + (i == 0 ? 0.2 : 0.0));
        sum += p.back();
    }
    for (auto &x : p)
        x /= sum;
    return p;
}

std::vector<float> signatureOf(const std::vector<double> &p)
{
    std::vector<float> s;
    for (double x : p)
        s.push_back(static_cast<float>(x - 1.0 / static_cast<double>(p.size())));
    return s;
}

} // namespace

TEST(TachoDetector, FlatPatternNeverDetectsAndThresholdDecays)
{
    const int n = 8;
    TTachoDetector d(n, std::vector<float>(n, 0.0f));
    EXPECT_DOUBLE_EQ(d.alfa(), std::exp(std::log(0.85) / n));
    double thr = 0;
    std::uint32_t t = 0;
    for (int i = 0; i < 3 * n; ++i) {
        t += 1000;
        d.NewStick(t);
        EXPECT_FALSE(d.IsTacho(thr));
    }
    EXPECT_NEAR(thr, 0.4 * std::pow(0.85, 3), 1e-12);
}

TEST(TachoDetector, FindsOnePulsePerRevolutionAndFollowsPeaks)
{
    const int n = 12;
    const auto p = pattern(n);
    TTachoDetector d(n, signatureOf(p));
    std::uint32_t t = 4294000000u; // the counter wraps during the run
    const double revolution = 120000;
    std::vector<int> detections;
    double thr = 0;
    for (int k = 0; k < 6 * n; ++k) {
        t += static_cast<std::uint32_t>(std::lround(revolution * p[static_cast<std::size_t>(k % n)]));
        d.NewStick(t);
        if (d.IsTacho(thr))
            detections.push_back(k);
    }
    // From the second revolution on, exactly the pulse that closes the pattern.
    std::vector<int> want;
    for (int r = 1; r < 6; ++r)
        want.push_back(r * n + n - 1);
    ASSERT_GE(detections.size(), want.size());
    EXPECT_EQ(std::vector<int>(detections.end() - static_cast<long>(want.size()), detections.end()), want);
    EXPECT_NEAR(d.lastCorrelation(), 1.0, 1e-3);

    // An exact match is clamped to 1 and the threshold becomes 1 x alfa.
    TTachoDetector e(n, signatureOf(p));
    std::uint32_t u = 0;
    e.NewStick(u);
    for (int k = 0; k < n; ++k) {
        u += static_cast<std::uint32_t>(std::lround(revolution * p[static_cast<std::size_t>(k)]));
        e.NewStick(u);
    }
    ASSERT_TRUE(e.IsTacho(thr));
    EXPECT_LE(e.lastCorrelation(), 1.0);
    if (e.lastCorrelation() == 1.0)
        EXPECT_DOUBLE_EQ(thr, e.alfa());
    else
        EXPECT_DOUBLE_EQ(thr, e.lastCorrelation() * e.alfa());
}

TEST(TachoDetector, SignatureFileMissingShortAndLong)
{
    TempDir dir;
    RecordingMessageSink sink;
    const auto missing = signatureFileName(dir / "run.lfm", 2);
    EXPECT_EQ(missing.filename(), "signatureCh3.shp");
    TTachoDetector none(4, missing, sink);
    ASSERT_EQ(sink.messages().size(), 1u);
    EXPECT_EQ(sink.messages()[0].caption, "signature");
    EXPECT_EQ(sink.messages()[0].text, "Don't view " + missing.string());
    EXPECT_EQ(none.sqrtOfSignature(), 0.0);

    writeBytes(dir / "short.shp", floats({0.5f, -0.5f}));
    TTachoDetector shortSig(4, dir / "short.shp", sink);
    EXPECT_EQ(shortSig.signature(), (std::vector<float>{0.5f, -0.5f, 0.f, 0.f}));
    EXPECT_DOUBLE_EQ(shortSig.sqrtOfSignature(), std::sqrt(0.5 / 3));

    writeBytes(dir / "long.shp", floats({1, 2, 3, 4, 5, 6}) + "xyz");
    TTachoDetector longSig(4, dir / "long.shp", sink);
    EXPECT_EQ(longSig.signature(), (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(sink.messages().size(), 1u);
    EXPECT_THROW(TTachoDetector(0, std::vector<float>{}), ValueError);
}

namespace {

TAngleGate gate(std::uint8_t ch, float l, float r, std::uint8_t demon = 1, std::uint8_t tacho = 0)
{
    TAngleGate g;
    g.Chan = ch;
    g.TachoChan = tacho;
    g.demon = demon;
    g.lpillar = l;
    g.rpillar = r;
    return g;
}

// A pulse on `ch` at angle phi of a revolution of 100000 ticks from tick 5000.
TIndex at(std::uint8_t ch, double phi)
{
    return TIndex{ch, 0, 5000u + static_cast<std::uint32_t>(phi * 100000)};
}

} // namespace

TEST(AngleGates, IncludeGateTakesOnePulsePerRevolution)
{
    TAngleGates g;
    g.AddGt(gate(3, 0.2f, 0.3f));
    const TIndex start{0, 0, 5000}, end{0, 0, 105000};
    EXPECT_EQ(g.SetTurn(start, end, 2.0), 0);
    EXPECT_EQ(g.TurnDuration(), 100000u);
    EXPECT_TRUE(g.InGates(at(3, 0.25)));
    EXPECT_FALSE(g.InGates(at(3, 0.27))); // the gate is taken
    EXPECT_FALSE(g.InGates(at(3, 0.5)));  // outside every gate
    EXPECT_TRUE(g.InGates(at(4, 0.5)));   // a channel without gates passes
    EXPECT_FALSE(g.InGates(at(30, 0.25)));
    const double k = g.komega();
    g.SetTurn(start, end, 2.0);
    EXPECT_EQ(g.komega(), k); // unchanged duration leaves the coefficient
    EXPECT_TRUE(g.InGates(at(3, 0.25)));

    // With fk = 0 the angle is a / duration: edges are outside, and a pulse
    // after the end of the revolution folds back.
    g.setKomega(0);
    g.SetTurn(start, end, 2.0);
    EXPECT_FALSE(g.InGates(at(3, 0.2)));
    EXPECT_FALSE(g.InGates(at(3, 0.3)));
    EXPECT_TRUE(g.InGates(at(3, 1.25)));
    // A gate measured from another tacho channel does not apply.
    g.SetTurn(TIndex{1, 0, 5000}, TIndex{1, 0, 105000}, 2.0);
    EXPECT_FALSE(g.InGates(at(3, 0.25)));
}

TEST(AngleGates, ExcludeGateAndSpeedCorrection)
{
    TAngleGates g;
    g.setComdemon(false);
    g.AddGt(gate(3, 0.2f, 0.3f, 0));
    g.SetTurn(TIndex{0, 0, 5000}, TIndex{0, 0, 105000}, 2.0);
    EXPECT_FALSE(g.InGates(at(3, 0.25)));
    EXPECT_TRUE(g.InGates(at(3, 0.35)));

    // kom within [-1, 1] is taken as the coefficient; outside it is smoothed.
    TAngleGates h;
    h.SetTurn(TIndex{0, 0, 0}, TIndex{0, 0, 100000}, 0.5);
    EXPECT_EQ(h.komega(), 0.5);
    h.SetTurn(TIndex{0, 0, 0}, TIndex{0, 0, 80000}, 2.0);
    EXPECT_DOUBLE_EQ(h.komega(), 0.9 * 0.5 + 0.1 * (20000.0 / 2) / 180000.0);
}

TEST(AngleGates, FileRoundTripAndRunningIndex)
{
    TempDir dir;
    TAngleGates g;
    g.setComdemon(false);
    g.AddGt(gate(5, 0.5f, 0.6f));
    g.AddGt(gate(0, 0.1f, 0.2f));
    g.AddGt(gate(5, 0.7f, 0.8f, 0));
    EXPECT_EQ(g.NGates(), 3);
    EXPECT_EQ(g.GetGate(0).Chan, 0); // channel 0's gates first
    EXPECT_EQ(float{g.GetGate(2).lpillar}, 0.7f); // a packed field: copied, not bound
    g.Gates2File(dir / "set.txt", "rec1.bld", "x"); // 8 + 1 characters
    EXPECT_EQ(g.GateFileName(), dir / "set.gts");

    const auto bytes = readWholeFileForTest(dir / "set.gts");
    ASSERT_EQ(bytes.size(), 34u + 3 * 14);
    EXPECT_EQ(bytes[0], 15);
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 16), "Zami DFM Gates ");
    EXPECT_EQ(bytes[16] | bytes[17] << 8, 34);
    EXPECT_EQ(std::string(bytes.begin() + 30, bytes.begin() + 34), "tttt");
    EXPECT_EQ(bytes[34], 0); // first gate record: channel 0

    TAngleGates back(dir / "set.gts");
    EXPECT_FALSE(back.comdemon());
    EXPECT_EQ(back.NGates(), 3);
    EXPECT_EQ(back.channelGateCount(5), 2u);
    EXPECT_EQ(back.headerText().size(), 14u);
    EXPECT_EQ(back.headerText().substr(0, 9), std::string("rec1.bld\0", 9));

    back.Delete(1);
    EXPECT_EQ(back.NGates(), 2);
    EXPECT_EQ(float{back.GetGate(1).lpillar}, 0.7f);
    back.SetGate(0, gate(7, 0.3f, 0.4f)); // moves to channel 7
    EXPECT_EQ(back.channelGateCount(0), 0u);
    EXPECT_EQ(back.GetGate(1).Chan, 7);
    EXPECT_THROW(back.AddGt(gate(24, 0, 1)), ValueError);
    EXPECT_THROW(back.GetGate(5), ValueError);
    EXPECT_THROW(back.Delete(-1), ValueError);

    // Add mode appends; New mode replaces, even with a file without gates.
    back.File2Gates(TGateMode::Add, dir / "set.gts");
    EXPECT_EQ(back.NGates(), 5);
    TAngleGates empty;
    empty.Gates2File(dir / "empty.gts", "", "");
    back.File2Gates(TGateMode::New, dir / "empty.gts");
    EXPECT_EQ(back.NGates(), 0);
}

TEST(AngleGates, BadFilesAreRefusedAndLeaveNoGates)
{
    TempDir dir;
    TAngleGates good;
    good.AddGt(gate(2, 0.1f, 0.2f));
    good.Gates2File(dir / "good.gts", "r", "");
    const std::string base = [&] {
        std::ifstream in(dir / "good.gts", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    struct Case {
        const char *what;
        std::string bytes;
    };
    std::string lowHl = base, highHl = base, badChan = base;
    lowHl[16] = 19;
    highHl[16] = static_cast<char>(0xFF);
    badChan[base.size() - 14] = 24;
    const std::vector<Case> cases = {{"too short", base.substr(0, 19)},
                                     {"header length below 20", lowHl},
                                     {"header length beyond the file", highHl},
                                     {"channel above 23", badChan}};
    for (const auto &c : cases) {
        writeBytes(dir / "bad.gts", c.bytes);
        TAngleGates g(dir / "good.gts");
        ASSERT_EQ(g.NGates(), 1);
        EXPECT_THROW(g.File2Gates(TGateMode::Add, dir / "bad.gts"), FormatError) << c.what;
        EXPECT_EQ(g.NGates(), 0) << c.what;
    }
    TAngleGates g(dir / "good.gts");
    EXPECT_THROW(g.File2Gates(TGateMode::New, dir / "missing.gts"), FileError);
    EXPECT_EQ(g.NGates(), 0);
    // A data region shorter than one record holds no gates.
    writeBytes(dir / "partial.gts", base.substr(0, base.size() - 1));
    TAngleGates p(dir / "partial.gts");
    EXPECT_EQ(p.NGates(), 0);
}
