// Asynchronous vibration on a finished run: stretches of time in which the
// blades of a stage vibrate at a frequency that is not a multiple of the
// speed (rotating stall, flutter), with that frequency in the stationary and
// the rotating frame, the nodal diameter of the travelling pattern and the
// amplitude per blade.
//
// Conventions. The casing sees the pattern as A cos(2 pi f t - 2 pi nd p + c)
// at the place p (turns, in the direction of rotation): f >= 0 is the
// stationary frequency, nd > 0 travels round the casing with the rotation.
// A blade sees f_r = f - nd * shaft frequency (the rotating frame, reported
// as |f_r|). On N blades nd is defined modulo N; it is reported in
// (-N/2, N/2].
//
// Method (docs/asynchronous.md): the run's deflection samples of every blade
// at every pair, in windows of W revolutions, are freed of their mean and
// slope, tapered and transformed over the revolutions; the power summed over
// blades and pairs at each alias frequency (cycles per revolution) is tested
// against the mean of the other bins (an F test, false-alarm level per
// window AsyncOptions::falseAlarm). In a detected window the unaliased
// rotating-frame order nu (f_r = nu * shaft frequency) is the one whose
// phase across the pairs' angles explains most power (each blade with its
// own amplitude and phase), the nodal diameter is the spatial harmonic of
// the blades' phases, and f = f_r + nd * shaft frequency. Aliases nu + e that
// the pairs' angles cannot tell apart (e times every angle difference within
// kAliasToleranceDeg of a whole turn), or that explain the data nearly as
// well (likelihood margin below AsyncOptions::aliasMargin), make the answer
// ambiguous: the rotating frequency and the nodal diameter are then not
// given, only the alternatives.
#pragma once

#include "base/progress.hpp"
#include "config/cfg_dfm.hpp"

#include <string>
#include <vector>

namespace vibrolan::identify {

struct AsyncOptions {
    // Probability that steady noise alone gives a detection in one window.
    double falseAlarm = 1e-7;
    // Length of a window (seconds at the stage's median speed), rounded down
    // to a power of two revolutions in 16 ... 256.
    double windowSeconds = 0.4;
    // Highest rotating-frame order tried (f_r / shaft frequency); 0: half the
    // alias period of the stage's pairs, at least kDefaultMinOrder.
    double maxOrder = 0;
    // Twice the log-likelihood ratio by which the best order must beat every
    // other one of the same alias family, summed over the segment.
    double aliasMargin = 25;
    // A segment needs this many detected windows.
    int minWindows = 2;
    // Threads spreading each stage's blades and windows (0: one per core);
    // the result does not depend on it. Progress is told on the calling thread.
    unsigned threads = 0;
};

inline constexpr double kDefaultMinOrder = 12;

// A different reading of the same samples that the layout or the noise
// cannot rule out.
struct AsyncAlternative {
    double rotorFrequencyHz = 0;
    int nodalDiameter = 0;
    double frequencyHz = 0;   // stationary
    bool layoutAlias = false; // the pairs' angles cannot tell it from the best
    double margin = 0;        // twice the log-likelihood ratio of the best over it
};

// One window of a segment (the frequency track).
struct AsyncTrackPoint {
    double time = 0, rpm = 0;    // centre of the window
    double frequencyHz = 0;      // stationary
    double rotorFrequencyHz = 0; // |f_r|
    int nodalDiameter = 0;
    double amplitude = 0;    // mean over blades, zero-to-peak
    double significance = 0; // F over its threshold (> 1)
};

struct AsyncSegment {
    int stage = 0; // zero-based
    double timeFrom = 0, timeTo = 0;
    double speedRpm = 0;                           // mean over the segment
    double frequencyHz = 0;                        // stationary, the track's line at the segment's middle
    double frequencyFromHz = 0, frequencyToHz = 0; // least squares line of the track at the ends
    double rotorFrequencyHz = 0;                   // |f_r|, the track's line at the middle
    int nodalDiameter = 0;
    bool frequencyKnown = true; // false: frequencyHz is not determined (see remark)
    bool nodalDiameterKnown = true;
    bool ambiguous = false; // the layout or the noise leaves several readings
    std::vector<AsyncAlternative> alternatives;
    double coherence = 0;     // share of the blades' amplitude in one travelling pattern, 0 ... 1
    double amplitudeMean = 0; // mean over blades of each blade's mean amplitude (unit of the diameter)
    double amplitudeMax = 0;  // the largest amplitude of any blade in any window
    std::vector<double> bladeMean, bladeMax; // per blade (zero-based)
    int blades = 0;                          // blades whose amplitude stands clearly above the noise
    double quality = 0;                      // share of the segment's variance the model explains
    std::vector<AsyncTrackPoint> track;
    std::string remark; // Russian, for the user; empty when nothing to say
};

// What the probe layout of a stage can tell apart.
struct AsyncLayout {
    int stage = 0;
    int pairs = 0;
    int aliasPeriod = 0; // smallest e >= 1 that the pairs' angles cannot tell from 0
    double maxOrder = 0; // the orders searched: |f_r| <= maxOrder * shaft frequency
    int windowRevolutions = 0;
    int windows = 0;
};

struct AsyncResult {
    std::vector<AsyncSegment> segments; // by stage, then time
    std::vector<AsyncLayout> layouts;   // per analysed stage
    std::vector<std::string> notes;     // Russian remarks on the input
};

// Analyses every checked free or shrouded stage of a finished run (after
// ProcessingRun, run-through or steady mode). Throws ValueError for invalid
// options or when no stage has samples; `progress` counts blade passes.
AsyncResult AnalyseAsynchronous(const TCfgDfm &cfg, const AsyncOptions &options = {},
                                const ProgressFn &progress = {});

// The smallest e >= 1 such that e times every angle difference lies within
// toleranceDeg of a whole turn (1 for fewer than two distinct angles);
// capped at 1000.
int AliasPeriod(const std::vector<double> &anglesDeg, double toleranceDeg);

// The F test of a window: the threshold the bin power over the mean power
// must exceed for noise to reach it with probability `falseAlarm` over
// `bins` bins, with d1 and d2 degrees of freedom.
double DetectionThreshold(double d1, double d2, int bins, double falseAlarm);

} // namespace vibrolan::identify
