// What the simulator is asked to record: the machine (stages, blades,
// probes, pairs), the shaft speed, the tacho, an optional time code, the
// blade motion and the faults to inject. Read from a small JSON file or taken
// from a built-in preset; validated before anything is written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vibrolan::sim {

enum class ProbeKind { Root, Tip };

struct ProbeSpec {
    std::string name;
    int channel = 0; // 1-based recorder channel (the header's ChanNo)
    ProbeKind kind = ProbeKind::Root;
    double angleDeg = 0; // casing angle in the direction of rotation
};

struct PairSpec {
    std::string name;
    std::string root; // probe names of the stage
    std::string tip;
};

// A synchronous resonance: a single-degree-of-freedom blade driven at
// EO times the shaft speed.
struct ResonanceSpec {
    int engineOrder = 1;
    double naturalHz = 0;
    double damping = 0.01; // ratio to critical
    double forcingMm = 0;  // static deflection of the forcing (response at zero frequency)
};

// An asynchronous (stall) oscillation at a frequency that is no multiple of
// the speed: blade b moves by A(t) sin(2 pi (phase(t) + n b / N)), with the
// frequency the blades see (the rotating frame) freqHz + driftHzPerS (t - from),
// A(t) = amplitudeMm (1 + depth sin(2 pi t / modulationPeriodS)), n =
// nodalDiameters (positive: the pattern runs with the rotation on the rotor, since
// blade b + 1 trails blade b by a pitch),
// within [fromS, toS).
struct StallSpec {
    double freqHz = 0;
    double amplitudeMm = 0;
    double modulationPeriodS = 5; // the amplitude swings between 1 - depth and 1 + depth of amplitudeMm
    int nodalDiameters = 0;
    double modulationDepth = 0.5;
    double driftHzPerS = 0;
    std::optional<double> fromS, toS; // default: the whole recording
    // Without drift, segment or another depth: the form the fast arrival solver knows.
    bool plain() const { return modulationDepth == 0.5 && driftHzPerS == 0 && !fromS && !toS; }
};

// Flutter: every blade at the mode's own frequency (rotating frame), locked
// into a pattern of nodalDiameter diameters travelling round the row
// (positive: backward on the rotor, since blade b + 1 trails blade b), blade b moving by
// amplitudeMm sin(2 pi naturalHz t - 2 pi nd b / N) within [fromS, toS).
struct FlutterSpec {
    double naturalHz = 0;
    double amplitudeMm = 0;
    int nodalDiameter = 0;
    double fromS = 0;
    std::optional<double> toS; // default: to the end
};

struct StageSpec {
    std::string name;
    int blades = 0;
    double diameterMm = 0;
    double pitchIrregularity = 0; // fraction of a pitch, the peak of the fixed pattern
    std::uint64_t pitchSeed = 0;
    bool shrouded = false;
    double staticCoeff = 0; // quasi-static deflection c * rpm^2, mm
    double mistuning = 0;   // relative spread of the blades' natural frequencies
    std::vector<ProbeSpec> probes;
    std::vector<PairSpec> pairs;
    std::vector<ResonanceSpec> resonances;
    std::optional<StallSpec> stall;
    std::optional<FlutterSpec> flutter;
    std::string signatureProbe; // signature tacho mode: the probe whose pulses give the marks
};

struct SpeedPoint {
    double timeS = 0;
    double rpm = 0;
};

enum class TachoMode { Divisor, Signature };

struct TachoSpec {
    TachoMode mode = TachoMode::Divisor;
    int divisor = 1; // pulses per revolution (divisor mode)
    int channel = 1;
    std::string name = "O";
};

enum class TimeCodeKind { None, Sev, IrigB };

struct TimeCodeSpec {
    TimeCodeKind kind = TimeCodeKind::None;
    int channel = 0;
    std::string name = "T";
};

struct FaultSpec {
    double missingProbability = 0; // per blade pulse
    double extraPerSecond = 0;     // per blade probe
    double jitterNs = 0;           // RMS of the blade pulse timing noise
    bool any() const { return missingProbability > 0 || extraPerSecond > 0 || jitterNs > 0; }
};

struct AnalysisSpec {
    bool steady = false;                      // processing mode of the written configuration
    double dN = 50;                           // rpm interval of the analysis
    std::optional<double> rangeFrom, rangeTo; // seconds; default the whole recording
};

// How the blades answer their synchronous forcing: the steady-state response
// at the momentary speed, or the response integrated in time through the
// speed profile (sweep effects: the peak later and lower on fast sweeps).
enum class ResponseKind { Steady, Transient };

struct Scenario {
    std::string name = "scenario";
    std::uint64_t seed = 1;
    int recorderCode = 1200;
    std::uint32_t startTicks = 0;
    double durationS = 10;
    std::vector<SpeedPoint> speed; // piecewise linear rpm, first point at 0 s
    TachoSpec tacho;
    TimeCodeSpec timeCode;
    // Date and time of day of the recording's start (header date, time code).
    int year = 2024, month = 1, day = 1;
    double startSecondOfDay = 0;
    std::vector<StageSpec> stages;
    FaultSpec faults;
    AnalysisSpec analysis;
    int truthEvery = 1; // write every n-th accepted revolution to the truth file
    ResponseKind response = ResponseKind::Steady;

    double tickPeriod() const { return recorderCode == 1280 ? 1.25e-8 : 2.5e-8; }
};

// Parses a scenario from JSON text. Throws ValueError naming the field for a
// wrong value and FormatError (naming `file`) for text that is not JSON.
Scenario parseScenario(std::string_view json, const std::filesystem::path &file = {});
Scenario loadScenarioFile(const std::filesystem::path &file);

// Checks every field and the geometry; throws ValueError naming the field.
void validateScenario(const Scenario &s);

// Built-in presets: runup, rundown, steady, faults, large.
std::vector<std::string> presetNames();
// Throws ValueError for an unknown name.
Scenario preset(std::string_view name);

// The same scenario with its duration (and speed profile times) scaled by
// `factor`, for quick runs of long presets.
Scenario scaledDuration(Scenario s, double factor);

} // namespace vibrolan::sim
