// Resonance identification on a finished run: which synchronous resonances
// the blades of every stage crossed, at which engine order and natural
// frequency, how strongly damped and how large they got.
//
// Input is what the stage computation leaves in every checked pair: the
// dynamic part of the deflection (Ampl), the speed (Freq) and time (Time) of
// every accepted revolution, and the pair's casing angle fi. Pairs of one
// stage whose tip probes stand at different angles sample each blade's
// vibration at different phases of the same revolution; that is what tells
// the engine order. The method, its assumptions and its validity range are
// written down in docs/identification.md and beside the code that does each
// step (events.cpp, engine_order.cpp, sdof_fit.cpp).
#pragma once

#include "base/progress.hpp"
#include "config/cfg_dfm.hpp"

#include <optional>
#include <string>
#include <vector>

namespace vibrolan::identify {

struct IdentifyOptions {
    // The engine order of every event when the user knows it (> 0); 0: identify it.
    int engineOrder = 0;
    // Highest engine order tried; 0: the highest the probe layout tells apart
    // from every lower one (see MaxDistinctEngineOrder).
    int eoMax = 0;
    // Only resonances whose speed (60 frequency / EO) lies in this band
    // (rev/min), found in the events that reach into it.
    std::optional<double> fromRpm, toRpm;
    // Significance of the event detector: a blade's smoothed response must
    // exceed this many times its own noise floor.
    double threshold = 6;
    // false: fit the plain steady-state response instead of the swept one
    // (only to show what the sweep does to it; fast sweeps defeat it).
    bool sweptModel = true;
};

// A stretch of the run, in time and in speed.
struct ResonanceWindow {
    double timeFrom = 0, timeTo = 0; // seconds of the pairs' Time
    double rpmFrom = 0, rpmTo = 0;   // the lowest and highest speed inside
};

// Per pair used in a fit: where it stands and its fitted offset and slope
// (the deflection the detrending left, offset + slope * (rpm - centreRpm)).
struct PairTerm {
    int pair = 0;     // zero-based index in the stage
    double fiDeg = 0; // the pair's angle
    double offset = 0, slope = 0;
};

// One blade's identified resonance. Stage, blade, pair and event indices
// are zero-based here (the CSV and the table show them one-based).
struct BladeResonance {
    int stage = 0, blade = 0;
    int event = 0;           // index into IdentifyResult::events
    int engineOrder = 0;     // EO
    bool eoGiven = false;    // taken from IdentifyOptions::engineOrder
    int eoRunnerUp = 0;      // second-best EO (0 when none was tried)
    double eoConfidence = 0; // 1 - best residual / runner-up residual, 0 ... 1
    double frequencyHz = 0;  // undamped natural frequency
    double speedRpm = 0;     // 60 * frequencyHz / EO
    double dampingRatio = 0; // ratio to critical
    double amplitude = 0;    // the fitted model's peak zero-to-peak response, unit of the stage diameter
    double forcing = 0;      // the fitted static (zero-frequency) response, the same unit
    double phaseDeg = 0;     // phase of the forcing pattern at angle 0, degrees in (-180, 180]
    int pairs = 0;           // pairs used
    double quality = 0;      // coefficient of determination of the fit over its window
    double peakTime = 0, peakRpm = 0; // where the fitted response peaks
    double noise = 0;                 // the blade's noise floor (RMS, unit of the diameter)
    // Sweep rate at the resonance, d(EO * Omega)/dt / omega_n^2 (dimensionless;
    // negative on a run-down), and whether it is inside the range the result holds for.
    double sweepRate = 0;
    double bandRevolutions = 0; // revolutions inside the half-power band at that rate
    bool sweepInRange = true;   // at least 3 of them
    ResonanceWindow window;     // the samples the fit used
    double centreRpm = 0;       // the reference speed of the pair slopes
    // The window on the stage's grid of revolutions and the revolutions per
    // block the fit averaged (TraceResonance rebuilds the fit from them).
    int firstRevolution = 0, lastRevolution = 0, blockSize = 1;
    bool sweptModel = true;
    std::vector<PairTerm> pairTerms;
};

// A stage event: the union of its blades' responses above their noise floors.
struct StageEvent {
    int stage = 0;
    ResonanceWindow window;
    double peakRpm = 0; // the speed of the strongest response
    int blades = 0;     // blades responding above their noise floor
};

// An event (or one blade of it) that could not be identified, with why.
struct NotIdentifiable {
    int stage = 0;
    int blade = -1; // -1: the whole event (or stage)
    int event = -1; // -1: no event (a stage that has nothing to identify)
    double rpmFrom = 0, rpmTo = 0;
    std::string reason; // Russian, for the user
};

struct IdentifyResult {
    std::vector<StageEvent> events;         // by stage, then time
    std::vector<BladeResonance> resonances; // by stage, speed, blade
    std::vector<NotIdentifiable> notIdentifiable;
    // Remarks on the input that did not stop the identification (samples
    // dropped as non-finite or impossible, a layout that aliases, ...).
    std::vector<std::string> notes;
    // No stage crossed a resonance (a steady-state run, or only noise).
    bool noResonance() const { return resonances.empty() && notIdentifiable.empty(); }
};

// Identifies every blade's resonances on a finished run of `cfg` (after
// ProcessingRun, run-through mode). Throws ValueError when nothing can be
// identified at all: no checked pair with samples, a pair without series.
// Everything else that stops an event or a blade is listed in
// notIdentifiable. `progress` counts blades of all checked stages.
IdentifyResult IdentifyResonances(const TCfgDfm &cfg, const IdentifyOptions &options,
                                  const ProgressFn &progress = {});

// The measured samples and the fitted model of one resonance over its
// window, pair by pair, for drawing; plus the model's response amplitude
// (zero-to-peak) per revolution.
struct TracePoint {
    double time = 0, rpm = 0;
    double measured = 0, model = 0; // dynamic deflection, unit of the diameter
};
struct PairTrace {
    int pair = 0;
    double fiDeg = 0;
    std::vector<TracePoint> points;
};
struct EnvelopePoint {
    double time = 0, rpm = 0, amplitude = 0;
};
struct ModelTrace {
    std::vector<PairTrace> pairs;
    std::vector<EnvelopePoint> envelope;
};
// `cfg` must be the run the resonance was identified on.
ModelTrace TraceResonance(const TCfgDfm &cfg, const BladeResonance &resonance);

// The highest engine order E such that no two orders 1 ... E give the same
// pattern over the given probe angles (degrees), within the phase tolerance
// the identification uses; 0 when fewer than three distinct angles.
int MaxDistinctEngineOrder(const std::vector<double> &anglesDeg);

} // namespace vibrolan::identify
