// Identification on hand-made runs whose blades are single-degree-of-freedom
// oscillators with known natural frequency, damping and forcing.
#include "synthetic_runup.hpp"

#include "identify/identify.hpp"

#include <gtest/gtest.h>

#include <cstdio>

using namespace vibrolan;
using namespace vibrolan::identify;
using vibrolan::test::SynthMode;
using vibrolan::test::SynthRun;
using vibrolan::test::SynthRunUp;

namespace {

void dump(const IdentifyResult &r)
{
    for (const auto &x : r.resonances)
        std::printf(
            "b%d eo%d (%d %.2f) f=%.3f z=%.5f A=%.5f q=%.3f n=%.2g sweep=%.2g ok=%d blk=%d win=%d..%d\n",
            x.blade, x.engineOrder, x.eoRunnerUp, x.eoConfidence, x.frequencyHz, x.dampingRatio, x.amplitude,
            x.quality, x.noise, x.sweepRate, x.sweepInRange, x.blockSize, x.firstRevolution,
            x.lastRevolution);
    for (const auto &x : r.notIdentifiable)
        std::printf("NI b%d e%d %.0f..%.0f %s\n", x.blade, x.event, x.rpmFrom, x.rpmTo, x.reason.c_str());
    for (const auto &x : r.notes)
        std::printf("note %s\n", x.c_str());
}

} // namespace

TEST(IdentifySynthetic, Explore)
{
    SynthRun run;
    run.modes = {{4, 300, 0.005, 0.02}, {7, 600, 0.008, 0.01}};
    run.mistuning = 0.01;
    run.noise = 0.002;
    for (bool transient : {false, true}) {
        for (double seconds : {60.0, 6.0}) {
            run.transient = transient;
            run.seconds = seconds;
            SynthRunUp s(run);
            for (const auto &t : s.truth())
                std::printf("truth b%d m%d f=%.3f A=%.5f\n", t.blade, t.mode, t.hz, t.amplitude);
            const IdentifyResult r = IdentifyResonances(s.cfg(), {});
            std::printf("--- transient %d seconds %g\n", transient, seconds);
            dump(r);
        }
    }
}
