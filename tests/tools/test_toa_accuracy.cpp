// Pulse times found in simulated probe signals against the simulator's true
// arrivals: the bias at high signal-to-noise ratio, the timing noise against
// its theoretical value at a moderate one, and the constant fraction against
// the fixed threshold when the pulse height halves.
#include "support/temp_dir.hpp"
#include "tools/toa_test_support.hpp"

#include <gtest/gtest.h>

using namespace vibrolan;
using namespace vibrolan::test;

namespace {

// One stage of 24 blades, a root and a tip probe; 3000 rpm drifting to 3300.
sim::Scenario scenario()
{
    return sim::parseScenario(R"({"name": "sig", "duration_s": 1.2, "seed": 11,
        "speed": {"steady_rpm": 3000, "drift_rpm": 300},
        "stages": [{"name": "S1", "blades": 24, "diameter_mm": 800, "static_coeff": 2e-8,
          "resonances": [{"eo": 5, "natural_hz": 270, "forcing_mm": 0.02}],
          "probes": [{"name": "K1", "channel": 2, "kind": "root", "angle_deg": 20},
                     {"name": "P1", "channel": 3, "kind": "tip", "angle_deg": 23.2}],
          "pairs": [{"name": "Pa1", "root": "K1", "tip": "P1"}]}]})");
}

constexpr double kRate = 1e6; // one sample per microsecond

sim::RawSignalResult simulateSignals(const TempDir &dir, const std::string &name, double snrDb,
                                     sim::ProbeShape shape, double height = 1.0)
{
    sim::RawSignalOptions o;
    o.outDir = dir.path();
    o.name = name;
    o.sampleRate = kRate;
    o.snrDb = snrDb;
    o.shape = shape;
    o.amplitudeV = height;
    o.noiseSeed = 7;
    return sim::writeRawSignals(scenario(), o);
}

toa::ToaOptions zeroCrossing(const sim::RawSignalResult &sig, const TempDir &dir)
{
    toa::ToaOptions o;
    o.inputs = {sig.sidecar};
    o.out = dir / "toa.bld";
    o.writeLfm = false;
    o.recorderCode = 1280;
    o.thresholds = {toa::Level{0, false}};
    o.hysteresis = toa::Level{0.3, false};
    return o;
}

std::vector<double> errors(const std::vector<Matched> &m)
{
    std::vector<double> e;
    for (const auto &x : m)
        e.push_back(x.error);
    return e;
}

TEST(ToaAccuracy, ZeroCrossingBiasBelowOnePercentOfASampleAtHighSnr)
{
    TempDir dir;
    const auto sig = simulateSignals(dir, "hi", 80, sim::ProbeShape::EddyCurrent);
    for (const auto interp : {toa::Interpolation::Linear, toa::Interpolation::Cubic}) {
        SCOPED_TRACE(interp == toa::Interpolation::Linear ? "linear" : "cubic");
        auto opt = zeroCrossing(sig, dir);
        opt.interpolation = interp;
        const Triggered t = triggerAndMatch(opt, sig.arrivals, 20e-6);
        for (const std::string ch : {"O", "K1", "P1"}) {
            SCOPED_TRACE(ch);
            EXPECT_EQ(t.unmatched.count(ch), 0u);
            const auto e = errors(t.matched.at(ch));
            ASSERT_GT(e.size(), ch == "O" ? 55u : 1400u); // every revolution / every blade pass
            EXPECT_LT(std::fabs(mean(e)) * kRate, 0.01);
            // The noise alone: 1 mV on an edge of sqrt(e) V per pulse width.
            EXPECT_LT(rms(e) * kRate, 0.02);
        }
    }
}

TEST(ToaAccuracy, TimingNoiseMatchesNoiseOverEdgeSlopeAtModerateSnr)
{
    TempDir dir;
    const double snrDb = 30;
    const auto sig = simulateSignals(dir, "mid", snrDb, sim::ProbeShape::EddyCurrent);
    for (const auto interp : {toa::Interpolation::Linear, toa::Interpolation::Cubic}) {
        SCOPED_TRACE(interp == toa::Interpolation::Linear ? "linear" : "cubic");
        auto opt = zeroCrossing(sig, dir);
        opt.interpolation = interp;
        const Triggered t = triggerAndMatch(opt, sig.arrivals, 20e-6);
        for (const std::string ch : {"K1", "P1"}) {
            SCOPED_TRACE(ch);
            const auto &m = t.matched.at(ch);
            ASSERT_GT(m.size(), 1400u);
            // Per pulse: noise RMS over the slope at the zero crossing,
            // height * sqrt(e) / width.
            double theory2 = 0;
            for (const auto &x : m) {
                const double slope = x.truth.height * std::sqrt(std::exp(1.0)) / x.truth.width;
                theory2 += (sig.noiseRms / slope) * (sig.noiseRms / slope);
            }
            const double theory = std::sqrt(theory2 / static_cast<double>(m.size()));
            const auto e = errors(m);
            const double measured = rms(e, mean(e));
            std::cout << ch << ": timing noise " << measured * 1e9 << " ns, noise / slope " << theory * 1e9
                      << " ns, ratio " << measured / theory << "\n";
            EXPECT_NEAR(measured / theory, 1.0, 0.2);
            // Interpolating between two noisy samples averages them: over
            // the crossing's place between the samples, sqrt(2/3) of it.
            if (interp == toa::Interpolation::Linear) {
                EXPECT_NEAR(measured / (theory * std::sqrt(2.0 / 3.0)), 1.0, 0.08);
            }
            EXPECT_LT(std::fabs(mean(e)),
                      4 * measured / std::sqrt(static_cast<double>(e.size())) + 0.01 / kRate);
        }
    }
}

TEST(ToaAccuracy, ConstantFractionKeepsItsBiasWhenThePulseHeightHalvesAndAFixedThresholdDoesNot)
{
    TempDir dir;
    // Optical pulses A exp(-u^2 / 2): a level L is crossed at u = -sqrt(2 ln(A / L)).
    const double level = 0.2, fraction = 0.5;
    struct Bias {
        double fixed = 0, cfd = 0, width = 0;
    };
    auto measure = [&](double height) {
        // The same noise in volts at either height (the ratio is to the height).
        const double snrDb = 70 + 20 * std::log10(height);
        const auto sig =
            simulateSignals(dir, "opt" + std::to_string(height), snrDb, sim::ProbeShape::Optical, height);
        Bias b;
        for (bool cfd : {false, true}) {
            toa::ToaOptions o;
            o.inputs = {sig.sidecar};
            o.out = dir / "toa.bld";
            o.writeLfm = false;
            o.recorderCode = 1280;
            o.interpolation = toa::Interpolation::Cubic;
            o.rules["O"].thresholds = {toa::Level{0, false}}; // the tacho stays bipolar
            o.rules["O"].hysteresis = toa::Level{0.1, false};
            o.thresholds = {toa::Level{cfd ? 0.1 : level, false}};
            o.hysteresis = toa::Level{0.05, false};
            if (cfd)
                o.fraction = fraction;
            const Triggered t = triggerAndMatch(o, sig.arrivals, 50e-6);
            const auto &m = t.matched.at("P1");
            EXPECT_GT(m.size(), 1400u);
            EXPECT_EQ(t.unmatched.count("P1"), 0u);
            // Against the closed form of each pulse's crossing.
            std::vector<double> off, rest;
            double w = 0;
            for (const auto &x : m) {
                const double l = cfd ? fraction * x.truth.height : level;
                const double expected = -x.truth.width * std::sqrt(2 * std::log(x.truth.height / l));
                off.push_back(x.error);
                rest.push_back(x.error - expected);
                w += x.truth.width;
            }
            EXPECT_LT(std::fabs(mean(rest)) * kRate, 0.01) << (cfd ? "constant fraction" : "fixed threshold");
            (cfd ? b.cfd : b.fixed) = mean(off);
            b.width = w / static_cast<double>(m.size());
        }
        return b;
    };
    const Bias full = measure(1.0), half = measure(0.5);
    std::cout << "bias at full and half height, fixed threshold: " << full.fixed * 1e6 << ", "
              << half.fixed * 1e6 << " us; constant fraction: " << full.cfd * 1e6 << ", " << half.cfd * 1e6
              << " us\n";
    EXPECT_LT(std::fabs(full.cfd - half.cfd) * kRate, 0.01);
    // sqrt(2 ln 5) - sqrt(2 ln 2.5) = 0.44 widths.
    EXPECT_GT(std::fabs(full.fixed - half.fixed), 0.4 * full.width);
}

} // namespace
