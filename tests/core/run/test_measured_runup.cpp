// The whole analysis on a measured run-up and run-down of a five-blade test
// rotor (tests/data/measured): the revolutions of the measurement become a
// recording and an analysis configuration, the real processing run analyses
// them, and its speeds, deflections and derived series are checked against
// values computed here from the measurement alone.
#include "support/measured_runup.hpp"
#include "support/temp_dir.hpp"

#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "compute/stall_separation.hpp"
#include "config/cfg_dfm.hpp"
#include "recording/recording_header.hpp"
#include "recording/recording_image.hpp"
#include "recording/tindex.hpp"
#include "run/processing_run.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

using namespace vibrolan;
using vibrolan::test::TempDir;
namespace fs = std::filesystem;

namespace {

using namespace vibrolan::test::measured;

// One free stage of five blades on the probes' circle; the probe on the
// smallest angle is the root probe of two pairs whose tip probes are the
// other two.
void writeConfiguration(const fs::path &lfm, const fs::path &recording, const std::vector<Revolution> &revs,
                        std::uint16_t method, double dN, TRange range)
{
    TCfgDfm cfg;
    cfg.InitDefault();
    cfg.FileName = recording.string();
    cfg.CountSensors = kSensors;
    cfg.Sensors[0] = TSensor{"O", 0, kTachoChan, TTypeSensor::srTaho};
    for (int p = 0; p < kProbes; ++p)
        cfg.Sensors[1 + p] = TSensor{"P" + std::to_string(p + 1), 0, probeChan(p),
                                     p == 0 ? TTypeSensor::srRoot : TTypeSensor::srPeak};
    cfg.CountStage = 1;
    TStage &st = cfg.Stages[0];
    st.NameStage = "Rotor";
    st.TypeStage = TTypeStage::tsFree;
    st.Diametr = 2 * kProbeRadiusMm;
    st.CountBlade = kBlades;
    st.CountPairs = 2;
    st.TachoComb.divisor = 0; // one mark per revolution
    st.TachoComb.sensNumber = 0;
    st.KfSigma = 1;
    st.FResonance = {900, 0.1};
    double meanAngle[kProbes] = {};
    for (const Revolution &r : revs)
        for (int p = 0; p < kProbes; ++p)
            meanAngle[p] += r.angle[p] / static_cast<double>(revs.size());
    for (int k = 0; k < 2; ++k) {
        TPair &pr = st.Pairs[k];
        pr.NamePair = "P1-P" + std::to_string(k + 2);
        pr.Root = 1;
        pr.Peak = static_cast<std::uint16_t>(2 + k);
        pr.SkipBlade = 0;
        pr.Base = 50;
        pr.TachoShift = 0;
        pr.fi = static_cast<float>(meanAngle[1 + k] * 180 / std::numbers::pi);
        for (int b = 0; b < kBlades; ++b)
            pr.NumberBlade[b] = static_cast<std::uint16_t>(b);
        pr.RebuildImpuls(kBlades);
        pr.Checked = true;
        pr.Calibre = pr.CalibreOld = 1;
    }
    cfg.Mode = TMode::mdDynamic; // run-through: the speed is the abscissa
    cfg.Method = method;
    cfg.dN = dN;
    cfg.Range = range;
    RecordingMessageSink notices;
    cfg.SaveToFile(lfm, notices);
    ASSERT_TRUE(notices.messages().empty()) << notices.messages().front().text;
}

// A pair as the pass left it (blades in order, before the stage computation
// replaced the deflections by their dynamic part) and after the whole run.
struct PairResult {
    std::int32_t size = 0, bad = 0;
    std::vector<float> freq, time;        // Size + 1 samples
    std::vector<std::vector<float>> ampl; // per blade, Size samples
    std::vector<int> offset;              // per blade, samples the series starts late
    std::vector<float> middle, resonance; // blade 1 after the run, Size samples
};

struct RunOutcome {
    TRunResult result;
    std::vector<PairResult> pairs;
    std::vector<Message> messages;
};

RunOutcome runAnalysis(const fs::path &lfm)
{
    RunOutcome out;
    TCfgDfm cfg;
    cfg.InitDefault();
    cfg.LoadFromFile(lfm);
    const TStage &st = cfg.Stages[0];
    TRunCallbacks cb;
    cb.phase = [&](std::string_view caption) {
        if (!caption.empty())
            return; // the pass window closes after the blade ordering
        for (std::size_t k = 0; k < st.CountPairs; ++k) {
            const TPair &p = st.Pairs[k];
            PairResult r{p.Size, p.SizeOfBad};
            const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(p.Size) + 1, p.Freq.size());
            r.freq.assign(p.Freq.begin(), p.Freq.begin() + static_cast<long>(n));
            r.time.assign(p.Time.begin(), p.Time.begin() + static_cast<long>(n));
            for (std::size_t b = 0; b < kBlades; ++b) {
                const auto series = p.AmplSeries(b);
                const auto len = std::min<std::size_t>(series.size(), static_cast<std::size_t>(p.Size));
                r.ampl.emplace_back(series.begin(), series.begin() + static_cast<long>(len));
                r.offset.push_back(p.AmplOffs[b] / 4);
            }
            out.pairs.push_back(std::move(r));
        }
    };
    RecordingMessageSink sink;
    TRunInputs inputs;
    inputs.CfgFileName = lfm;
    out.result = ProcessingRun(cfg, inputs, sink, NumberFormat{}, cb);
    out.messages = sink.messages();
    for (std::size_t k = 0; k < out.pairs.size(); ++k) {
        const TPair &p = st.Pairs[k];
        const auto n = static_cast<long>(std::max(p.Size, 0));
        if (p.MiddleLine[0].size() >= static_cast<std::size_t>(n))
            out.pairs[k].middle.assign(p.MiddleLine[0].begin(), p.MiddleLine[0].begin() + n);
        if (p.ResonanceCurve[0].size() >= static_cast<std::size_t>(n))
            out.pairs[k].resonance.assign(p.ResonanceCurve[0].begin(), p.ResonanceCurve[0].begin() + n);
    }
    return out;
}

// Least-squares quadratic y(x) evaluated at every x (on centred, scaled
// abscissae so the normal equations stay well conditioned).
std::vector<double> quadraticFit(const std::vector<double> &x, const std::vector<double> &y)
{
    const auto n = static_cast<double>(x.size());
    double mean = 0, scale = 0;
    for (double v : x)
        mean += v / n;
    for (double v : x)
        scale = std::max(scale, std::fabs(v - mean));
    long double A[3][4] = {};
    for (std::size_t i = 0; i < x.size(); ++i) {
        const long double u = (x[i] - mean) / scale;
        const long double p[3] = {1, u, u * u};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c)
                A[r][c] += p[r] * p[c];
            A[r][3] += p[r] * y[i];
        }
    }
    for (int r = 0; r < 3; ++r)
        for (int k = r + 1; k < 3; ++k) {
            const long double m = A[k][r] / A[r][r];
            for (int c = r; c < 4; ++c)
                A[k][c] -= m * A[r][c];
        }
    long double coef[3];
    for (int r = 2; r >= 0; --r) {
        long double s = A[r][3];
        for (int c = r + 1; c < 3; ++c)
            s -= A[r][c] * coef[c];
        coef[r] = s / A[r][r];
    }
    std::vector<double> fit(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        const long double u = (x[i] - mean) / scale;
        fit[i] = static_cast<double>(coef[0] + coef[1] * u + coef[2] * u * u);
    }
    return fit;
}

// max_i sum_j |H_ij| of the hat matrix H of the least-squares quadratic over
// x: the most a fitted value moves when every ordinate moves by at most 1.
double hatNorm(const std::vector<double> &x)
{
    const auto n = static_cast<double>(x.size());
    double mean = 0, scale = 0;
    for (double v : x)
        mean += v / n;
    for (double v : x)
        scale = std::max(scale, std::fabs(v - mean));
    std::vector<std::array<long double, 3>> p(x.size());
    long double G[3][3] = {};
    for (std::size_t i = 0; i < x.size(); ++i) {
        const long double u = (x[i] - mean) / scale;
        p[i] = {1, u, u * u};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                G[r][c] += p[i][r] * p[i][c];
    }
    // The inverse of the symmetric 3 x 3 Gram matrix by cofactors.
    long double inv[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            inv[r][c] = G[r1][c1] * G[r2][c2] - G[r1][c2] * G[r2][c1];
        }
    const long double det = G[0][0] * inv[0][0] + G[0][1] * inv[1][0] + G[0][2] * inv[2][0];
    double worst = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        long double w[3] = {}; // G^-1 p_i
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                w[r] += inv[r][c] / det * p[i][c];
        long double sum = 0;
        for (std::size_t j = 0; j < x.size(); ++j)
            sum += std::fabs(w[0] * p[j][0] + w[1] * p[j][1] + w[2] * p[j][2]);
        worst = std::max(worst, static_cast<double>(sum));
    }
    return worst;
}

} // namespace

namespace {

// Writes the recording and the configuration into `dir` and runs the analysis.
RunOutcome analyse(const TempDir &dir, const std::vector<Revolution> &revs, std::uint16_t method, double dN,
                   TRange range)
{
    const fs::path bld = dir / "runup.bld", lfm = dir / "runup.lfm";
    RecordingHeader h;
    h.hasSignature = true;
    h.RecorderCode = kRecorderCode;
    h.RecordDate = 45366.5;
    writeRecordingFile(bld, h, buildRecords(revs, kStartTicks));
    writeConfiguration(lfm, bld, revs, method, dN, range);
    return runAnalysis(lfm);
}

// The arc at the probes' radius between blade 1's arrivals at the tip probe
// and at the root probe (probe 1).
double measuredDeflection(const Revolution &r, int tipProbe)
{
    return kProbeRadiusMm * (r.angle[static_cast<std::size_t>(tipProbe)] - r.angle[0]);
}

// The pass starts at the second shaft mark, so measured revolution 0 is never
// analysed: sample i of a pair is revolution i + 1. Checks the count of
// accepted revolutions (1 ... last) and every sample's time, speed and
// deflection.
void checkRevolutions(const RunOutcome &out, const std::vector<Revolution> &revs, std::size_t last)
{
    ASSERT_EQ(out.result.status, TRunStatus::Done);
    EXPECT_DOUBLE_EQ(out.result.TickPeriod, kTick);
    EXPECT_EQ(out.result.RevCount[0], revs.size() - 1) << "every mark after the first closes a revolution";
    EXPECT_TRUE(out.messages.empty()) << out.messages.front().caption << ": " << out.messages.front().text;
    // A revolution is complete when every probe sees its five blades inside it.
    std::size_t complete = 0;
    for (std::size_t k = 1; k <= last; ++k) {
        bool inside = true;
        for (int p = 0; p < kProbes; ++p)
            for (int b = 0; b < kBlades; ++b) {
                const double a = revs[k].angle[static_cast<std::size_t>(p)] + kTwoPi * b / kBlades;
                inside = inside && a > 0 && a < kTwoPi;
            }
        complete += inside ? 1 : 0;
    }
    // Revolution k starts sum(60 / rpm) over revolutions 1 ... k - 1 after the
    // start of the pass; `wraps` marks the revolutions during which the counter wraps.
    std::vector<double> start(revs.size(), 0.0);
    std::vector<bool> wraps(revs.size(), false);
    double mark = 0;
    for (std::size_t k = 0; k + 1 < revs.size(); ++k) {
        const double next = mark + revs[k].ticks();
        wraps[k] = std::floor((kStartTicks + mark) / 0x1p32) != std::floor((kStartTicks + next) / 0x1p32);
        start[k + 1] = k == 0 ? 0 : start[k] + 60 / revs[k].rpm;
        mark = next;
    }
    ASSERT_GE(std::count(wraps.begin() + 1, wraps.begin() + static_cast<long>(last) + 1, true), 1);
    ASSERT_EQ(out.pairs.size(), 2u);
    for (int pair = 0; pair < 2; ++pair) {
        SCOPED_TRACE("pair P1-P" + std::to_string(pair + 2));
        const PairResult &p = out.pairs[static_cast<std::size_t>(pair)];
        EXPECT_EQ(p.bad, 0);
        // The blade ordering drops the last accepted revolution from Size.
        ASSERT_EQ(static_cast<std::size_t>(p.size) + 1, complete);
        ASSERT_EQ(p.freq.size(), complete);
        for (std::size_t i = 0; i < p.freq.size(); ++i) {
            const Revolution &r = revs[i + 1];
            // Both marks rounded to the nearest tick: the length is off by at
            // most one tick of L, the speed by at most rpm / (L - 1); the
            // single-precision series adds its rounding.
            const double L = r.ticks();
            ASSERT_NEAR(p.freq[i], r.rpm, r.rpm / (L - 1) + r.rpm * 0x1p-23) << "revolution " << i + 1;
            // The marks are within half a tick of their times. During a wrap
            // the time is the previous start plus this revolution's length:
            // off by the change of the revolution length.
            const double change = wraps[i + 1] ? std::fabs(60 / r.rpm - 60 / revs[i].rpm) : 0;
            ASSERT_NEAR(p.time[i], start[i + 1], kTick + start[i + 1] * 0x1p-23 + change)
                << "revolution " << i + 1;
            if (i >= static_cast<std::size_t>(p.size))
                continue;
            // The deflection is the arc between the two arrivals at the
            // measuring diameter, with no offset (the pair's Base and fi do
            // not enter it); each arrival is rounded to a tick (the
            // difference by at most one tick, the length by one), so the
            // result lies within one tick quantum D pi / L, widened by the
            // length's error on the arc, of the measured arc.
            const double expected = measuredDeflection(r, pair + 1);
            const double quantum = 2 * kProbeRadiusMm * std::numbers::pi / L;
            const double fraction = (r.angle[static_cast<std::size_t>(pair + 1)] - r.angle[0]) / kTwoPi;
            const double tol = quantum * (1 + fraction) * L / (L - 1) + std::fabs(expected) * 0x1p-23;
            for (std::size_t b = 0; b < kBlades; ++b) {
                ASSERT_EQ(p.offset[b], 0) << "blade " << b + 1;
                ASSERT_NEAR(p.ampl[b][i], expected, tol) << "revolution " << i + 1 << " blade " << b + 1;
            }
        }
    }
}

} // namespace

// The whole recording with the polynomial separation: every revolution is
// accepted with the measured speed and deflection, and the middle line is
// the least-squares quadratic in the speed of the measured deflections.
TEST(MeasuredRunUp, WholeRunAssemblesEveryRevolution)
{
    const std::vector<Revolution> revs = readMeasurement(VIBROLAN_TEST_DATA_DIR);
    ASSERT_EQ(revs.size(), 2843u);
    TempDir dir;
    const RunOutcome out = analyse(dir, revs, kMethodPolynomial, 10, {0, 1000});
    const std::size_t last = revs.size() - 1;
    ASSERT_NO_FATAL_FAILURE(checkRevolutions(out, revs, last));

    // The middle line of blade 1 against the quadratic fitted here to the
    // measured deflections over the measured speeds (the Size samples the
    // computation works on). Every deflection is within one tick quantum of
    // the measured one; a least-squares fit passes such errors on weighted
    // by the rows of its hat matrix H, so the lines differ by at most
    // max_i sum_j |H_ij| times the largest quantum (plus single precision).
    for (int pair = 0; pair < 2; ++pair) {
        SCOPED_TRACE("pair P1-P" + std::to_string(pair + 2));
        const PairResult &p = out.pairs[static_cast<std::size_t>(pair)];
        const auto n = static_cast<std::size_t>(p.size);
        ASSERT_EQ(p.middle.size(), n);
        std::vector<double> x(n), y(n);
        double worst = 0, largest = 0; // the largest error bound and value of a deflection
        for (std::size_t i = 0; i < n; ++i) {
            const Revolution &r = revs[i + 1];
            x[i] = r.rpm;
            y[i] = measuredDeflection(r, pair + 1);
            const double L = r.ticks(), fraction = y[i] / kProbeRadiusMm / kTwoPi;
            worst = std::max(worst, 2 * kProbeRadiusMm * std::numbers::pi / L * (1 + fraction) * L / (L - 1));
            largest = std::max(largest, std::fabs(y[i]));
        }
        const std::vector<double> fit = quadraticFit(x, y);
        // Single precision of the deflections and the line; the speeds'
        // rounding (below 2e-3 rev/min) on a line whose slope stays below
        // 3e-3 mm per rev/min.
        const double tol = hatNorm(x) * worst + largest * 0x1p-22 + 6e-6;
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_NEAR(p.middle[i], fit[i], tol) << "revolution " << i + 1 << " at " << x[i] << " rev/min";
    }
}

// The run-up alone (the range ends within the fastest revolution) with the
// running-mean separation, whose resonance curve keeps its sign: on both
// pairs the curve of blade 1 is largest where the measured deflection, freed
// of its quadratic trend in the speed, is (a resonance near 948 rev/min).
TEST(MeasuredRunUp, RunUpResonanceCurvePeaksAtTheMeasuredResonance)
{
    const std::vector<Revolution> revs = readMeasurement(VIBROLAN_TEST_DATA_DIR);
    ASSERT_EQ(revs.size(), 2843u);
    std::size_t top = 0;
    for (std::size_t k = 0; k < revs.size(); ++k)
        top = revs[k].rpm > revs[top].rpm ? k : top;
    // The range counts from the start of revolution 1 (the first mark of the pass).
    double start = 0;
    for (std::size_t k = 1; k < top; ++k)
        start += 60 / revs[k].rpm;
    constexpr double kHalfWindow = 5; // revolutions either side
    TempDir dir;
    constexpr std::uint16_t kRunningMean = 1;
    const RunOutcome out = analyse(dir, revs, kRunningMean, kHalfWindow, {0, start + 30 / revs[top].rpm});
    ASSERT_NO_FATAL_FAILURE(checkRevolutions(out, revs, top));

    for (int pair = 0; pair < 2; ++pair) {
        SCOPED_TRACE("pair P1-P" + std::to_string(pair + 2));
        const PairResult &p = out.pairs[static_cast<std::size_t>(pair)];
        const auto n = static_cast<std::size_t>(p.size);
        ASSERT_EQ(p.resonance.size(), n);
        std::vector<double> x(n), y(n);
        for (std::size_t i = 0; i < n; ++i) {
            x[i] = revs[i + 1].rpm;
            y[i] = measuredDeflection(revs[i + 1], pair + 1);
        }
        const std::vector<double> trend = quadraticFit(x, y);
        std::size_t measured = 0, computed = 0;
        for (std::size_t i = 0; i < n; ++i) {
            measured = std::fabs(y[i] - trend[i]) > std::fabs(y[measured] - trend[measured]) ? i : measured;
            computed = std::fabs(p.resonance[i]) > std::fabs(p.resonance[computed]) ? i : computed;
        }
        // The curve at a revolution is the mean stress of kHalfWindow
        // revolutions either side, so the window holding most of the
        // resonance response is centred up to kHalfWindow revolutions from the
        // largest single deflection, and the response itself spans several
        // revolutions more: allow the speeds of the revolutions within twice
        // the half window of the measured peak.
        const std::size_t from = measured > 2 * kHalfWindow ? measured - 2 * kHalfWindow : 0;
        const std::size_t to = std::min(n - 1, measured + 2 * static_cast<std::size_t>(kHalfWindow));
        double lo = x[measured], hi = x[measured];
        for (std::size_t i = from; i <= to; ++i) {
            lo = std::min(lo, x[i]);
            hi = std::max(hi, x[i]);
        }
        EXPECT_GE(p.freq[computed], lo) << "measured peak at " << x[measured] << " rev/min";
        EXPECT_LE(p.freq[computed], hi) << "measured peak at " << x[measured] << " rev/min";
        // Stress is the deflection over its (positive) middle line, so the sign carries over.
        EXPECT_EQ(std::signbit(p.resonance[computed]), std::signbit(y[measured] - trend[measured]));
    }
}
