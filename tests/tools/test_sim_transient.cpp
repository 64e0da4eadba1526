// The integrated (transient) blade response against independent truths: the
// steady-state FRF at constant speed, a Runge-Kutta integration of the same
// equation at a step far below the period on a fast sweep, and the steady
// state again in the slow-sweep limit; and the arrivals solved on it.
#include "sim_test_support.hpp"

#include "base/errors.hpp"
#include "sim/blade_motion.hpp"
#include "sim/geometry.hpp"
#include "sim/shaft.hpp"
#include "sim/tip_arrival.hpp"
#include "sim/transient_response.hpp"

#include <gtest/gtest.h>

#include <cmath>

using namespace vibrolan;
using namespace vibrolan::test;

namespace {

constexpr double kTwoPi = 6.283185307179586;

// The steady-state response F |H| cos(2 pi EO (theta + pos) - lag).
double steadyResponse(double forcing, double zeta, double naturalHz, int eo, double rpm, double theta,
                      double pos)
{
    const double r = eo * rpm / 60.0 / naturalHz;
    const double re = 1.0 - r * r, im = 2.0 * zeta * r;
    return forcing / std::hypot(re, im) * std::cos(kTwoPi * eo * (theta + pos) - std::atan2(im, re));
}

// x'' + 2 zeta w x' + w^2 x = w^2 F cos(2 pi EO (theta(t) + pos)) by classical
// Runge-Kutta at step dt from the steady state at t = 0; `sample` sees (t, x)
// after every step.
template <class Sample>
void rungeKutta(const sim::Shaft &shaft, double forcing, double zeta, double naturalHz, int eo, double pos,
                double endS, double dt, Sample sample)
{
    const double w = kTwoPi * naturalHz;
    auto accel = [&](double t, double x, double v) {
        return -2.0 * zeta * w * v - w * w * x +
               w * w * forcing * std::cos(kTwoPi * eo * (shaft.angleAt(t) + pos));
    };
    // The steady state at the starting speed and its rate.
    const double rpm0 = shaft.rpmAt(0);
    double x = steadyResponse(forcing, zeta, naturalHz, eo, rpm0, 0, pos);
    const double r = eo * rpm0 / 60.0 / naturalHz;
    const double re = 1.0 - r * r, im = 2.0 * zeta * r;
    double v = -forcing / std::hypot(re, im) * kTwoPi * eo * rpm0 / 60.0 *
               std::sin(kTwoPi * eo * pos - std::atan2(im, re));
    const auto n = static_cast<long>(std::llround(endS / dt));
    for (long i = 0; i < n; ++i) {
        const double t = i * dt;
        const double k1x = v, k1v = accel(t, x, v);
        const double k2x = v + 0.5 * dt * k1v,
                     k2v = accel(t + 0.5 * dt, x + 0.5 * dt * k1x, v + 0.5 * dt * k1v);
        const double k3x = v + 0.5 * dt * k2v,
                     k3v = accel(t + 0.5 * dt, x + 0.5 * dt * k2x, v + 0.5 * dt * k2v);
        const double k4x = v + dt * k3v, k4v = accel(t + dt, x + dt * k3x, v + dt * k3v);
        x += dt / 6.0 * (k1x + 2 * k2x + 2 * k3x + k4x);
        v += dt / 6.0 * (k1v + 2 * k2v + 2 * k3v + k4v);
        sample((i + 1) * dt, x);
    }
}

} // namespace

TEST(SimulatorTransient, ConstantSpeedGivesTheSteadyStateResponse)
{
    // Near, at and off resonance; the long case keeps only every few steps'
    // states (memory budget), which must not change the answer.
    struct Case {
        double seconds;
        int blades;
    };
    for (const Case c : {Case{2.0, 3}, Case{25.0, 40}}) {
        SCOPED_TRACE(c.blades);
        const sim::Shaft shaft({{0, 6000}});
        std::vector<double> fn, pos;
        for (int b = 0; b < c.blades; ++b) {
            fn.push_back(495.0 + 10.0 * b / c.blades); // EO 5 at 6000 rpm: 500 Hz
            pos.push_back(static_cast<double>(b) / c.blades);
        }
        const sim::TransientResponse tr(shaft, c.seconds, 5, 0.01, 0.01, fn, pos);
        const double peak = 0.01 / (2 * 0.01);
        for (int b = 0; b < c.blades; b += std::max(1, c.blades / 7))
            for (double t = 0.0013; t < c.seconds + 0.1; t += c.seconds / 97) {
                // Past the last step the phase's rounding adds up slowly.
                const double tol = (t <= c.seconds ? 1e-9 : 1e-8) * peak;
                const double want = steadyResponse(0.01, 0.01, fn[b], 5, 6000, 100.0 * t, pos[b]);
                ASSERT_NEAR(tr.at(b, t), want, tol) << "blade " << b << " at " << t << " s";
            }
    }
}

TEST(SimulatorTransient, FastSweepMatchesRungeKuttaAndLowersAndDelaysThePeak)
{
    // 1000 rpm/s through an EO 5 resonance at 6000 rpm (1 s in): sweep rate
    // about 3.3 half-power bandwidths squared per second, well into the
    // transient regime.
    const sim::Shaft shaft({{0, 5000}, {2, 7000}});
    const double fn = 500, zeta = 0.005, forcing = 0.002, pos = 0.3;
    const sim::TransientResponse tr(shaft, 2.0, 5, zeta, forcing, {fn}, {pos});
    double worst = 0, rkPeak = 0, rkPeakTime = 0;
    long n = 0;
    rungeKutta(shaft, forcing, zeta, fn, 5, pos, 2.0, 2e-6, [&](double t, double x) {
        if (std::abs(x) > rkPeak) {
            rkPeak = std::abs(x);
            rkPeakTime = t;
        }
        if (++n % 997 == 0)
            worst = std::max(worst, std::abs(tr.at(0, t) - x));
    });
    const double steadyPeak = forcing / (2 * zeta * std::sqrt(1 - zeta * zeta));
    EXPECT_LT(worst, 2e-5 * steadyPeak);
    const sim::TransientResponse::Peak p = tr.peak(0);
    EXPECT_NEAR(p.amplitudeMm, rkPeak, 1e-5 * steadyPeak);
    EXPECT_NEAR(p.timeS, rkPeakTime, 2e-5);
    // The sweep's effect: the peak lower and at a higher speed than the
    // steady-state peak's (6000 sqrt(1 - 2 zeta^2) rpm, 1.0 s).
    EXPECT_LT(p.amplitudeMm, 0.9 * steadyPeak);
    EXPECT_GT(p.amplitudeMm, 0.5 * steadyPeak);
    EXPECT_GT(shaft.rpmAt(p.timeS), 6000 + 10);
}

TEST(SimulatorTransient, SlowSweepApproachesTheSteadyState)
{
    // Through an EO 5 resonance at 6000 rpm at 20 and at 5 rpm/s (a
    // fifteenth and a sixtieth of a bandwidth squared per second): the
    // difference to the steady response at the momentary speed falls with
    // the sweep rate (to first order in it), and the peak becomes the steady one.
    const double fn = 500, zeta = 0.005, forcing = 0.002;
    const double steadyPeak = forcing / (2 * zeta * std::sqrt(1 - zeta * zeta));
    std::vector<double> deviation, peak;
    for (double rate : {20.0, 5.0}) {
        const double seconds = 200 / rate;
        const sim::Shaft shaft({{0, 5900}, {seconds, 6100}});
        const sim::TransientResponse tr(shaft, seconds, 5, zeta, forcing, {fn}, {0.0});
        double worst = 0;
        for (double t = 0; t < seconds; t += 0.000731)
            worst =
                std::max(worst, std::abs(tr.at(0, t) - steadyResponse(forcing, zeta, fn, 5, shaft.rpmAt(t),
                                                                      shaft.angleAt(t), 0.0)));
        deviation.push_back(worst / steadyPeak);
        peak.push_back(tr.peak(0).amplitudeMm / steadyPeak);
        EXPECT_NEAR(shaft.rpmAt(tr.peak(0).timeS), 6000 * std::sqrt(1 - 2 * zeta * zeta), 2 * rate / 10);
    }
    EXPECT_LT(deviation[0], 0.06);
    EXPECT_LT(deviation[1], 0.3 * deviation[0]);
    EXPECT_GT(deviation[1], 0.2 * deviation[0]);
    EXPECT_NEAR(peak[0], 1.0, 0.005);
    EXPECT_NEAR(peak[1], 1.0, 0.001);
}

TEST(SimulatorTransient, SweptPeakLossFollowsTheEmpiricalLaw)
{
    // The literature's fit of the peak of a linearly swept oscillator,
    // A / A_steady = 1 - exp(-2.86 eta^-0.445), eta = sweep rate (Hz/s) over
    // the half-power bandwidth 2 zeta f_n squared, from quasi-steady to far transient.
    const double fn = 500, zeta = 0.005, bandwidth = 2 * zeta * fn;
    const double steadyPeak = 0.002 / (2 * zeta * std::sqrt(1 - zeta * zeta));
    for (double eta : {0.5, 1.5, 4.0, 10.0}) {
        SCOPED_TRACE(eta);
        const double rpmPerS = 60.0 / 5 * eta * bandwidth * bandwidth; // EO 5
        const double seconds = 960 / rpmPerS;                          // +-8 bandwidths around the resonance
        const sim::Shaft shaft({{0, 5520}, {seconds, 6480}});
        const sim::TransientResponse tr(shaft, seconds, 5, zeta, 0.002, {fn}, {0.0});
        const double law = 1 - std::exp(-2.86 * std::pow(eta, -0.445));
        EXPECT_NEAR(tr.peak(0).amplitudeMm / steadyPeak, law, 0.015);
    }
}

TEST(SimulatorTransient, ArrivalsSolveTheDeflectedPassage)
{
    // With the transient response (and a flutter) the arrivals come from the
    // general solver: each must put the deflected tip on the probe, shaft
    // angle minus deflection over the circumference equal to the blade's
    // offset, to a hundredth of a tick.
    sim::Scenario sc =
        sim::loadScenarioFile(std::filesystem::path(VIBROLAN_TEST_DATA_DIR) / "sim_runup_fast.json");
    sc.stages[0].flutter = sim::FlutterSpec{620, 0.03, 3, 1.0, 2.0};
    sim::validateScenario(sc);
    const sim::Shaft shaft(sc.speed);
    const sim::StageSpec &st = sc.stages[0];
    const sim::StageGeometry geo = sim::stageGeometry(sc, 0);
    const sim::BladeMotion motion(st, sc.seed, shaft, sc.durationS + 1);
    ASSERT_TRUE(motion.generalOnly());
    const double circumference = M_PI * st.diameterMm, tick = sc.tickPeriod();
    for (std::size_t p = 0; p < st.probes.size(); ++p) {
        if (st.probes[p].kind != sim::ProbeKind::Tip)
            continue;
        sim::TipArrival tip(shaft, motion, geo.offset[p], tick);
        std::vector<std::int32_t> blades(static_cast<std::size_t>(st.blades));
        std::vector<double> block(blades.size());
        for (std::size_t b = 0; b < blades.size(); ++b)
            blades[b] = static_cast<std::int32_t>(b);
        for (std::int64_t rev = 3; rev < 300; rev += 7) {
            tip.fast(blades.data(), rev, block.data(), blades.size());
            for (int b = 0; b < st.blades; ++b) {
                const double t = tip.fast(b, rev);
                ASSERT_EQ(t, block[static_cast<std::size_t>(b)]);
                const double d = motion.deflection(b, t, shaft.angleAt(t), shaft.rpmAt(t));
                const double miss = shaft.angleAt(t) - d / circumference - (rev + geo.offset[p][b]);
                ASSERT_LT(std::abs(miss) / (shaft.rpmAt(t) / 60.0), 0.01 * tick)
                    << "rev " << rev << " blade " << b;
            }
        }
    }
}

TEST(SimulatorTransient, RecordingIsTheSameForAnyNumberOfThreads)
{
    // The general solver's arrivals, solved by whichever thread takes a
    // revolution, and the modes file: the same bytes.
    const sim::Scenario sc =
        sim::loadScenarioFile(std::filesystem::path(VIBROLAN_TEST_DATA_DIR) / "sim_runup_fast.json");
    std::vector<std::string> files;
    for (unsigned threads : {1u, 3u}) {
        TempDir dir;
        sim::SimulationOptions opt;
        opt.outDir = dir.path();
        opt.threads = threads;
        const auto res = sim::simulate(sc, opt);
        files.push_back(fileBytes(res.bld) + fileBytes(res.truth) + fileBytes(res.modes));
    }
    EXPECT_EQ(files[0], files[1]);
}

TEST(SimulatorTransient, TooLongARecordingIsRefusedBeforeAnythingIsWritten)
{
    sim::Scenario sc =
        sim::loadScenarioFile(std::filesystem::path(VIBROLAN_TEST_DATA_DIR) / "sim_runup_fast.json");
    sc.durationS = 86400;
    sc.speed = {{0, 5000}, {86400, 7800}};
    TempDir dir;
    sim::SimulationOptions opt;
    opt.outDir = dir.path();
    try {
        sim::simulate(sc, opt);
        ADD_FAILURE() << "accepted";
    } catch (const ValueError &e) {
        EXPECT_NE(std::string(e.what()).find("response"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}
