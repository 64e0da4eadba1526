// The processing run: from the configuration and its recording to the filled
// result arrays of every stage and pair, in the order the user's "Старт"
// command runs it. Both front ends call ProcessingRun and show what it
// returns; the run itself shows only the messages the user must see.
#pragma once

#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "base/progress.hpp"
#include "compute/stage_calc.hpp"
#include "config/cfg_dfm.hpp"
#include "recording/angle_gates.hpp"
#include "run/pulse_pass.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vibrolan {

// Texts of the missing-recording message.
inline constexpr const char *kNoRecordingCaption = "Файл данных не найден";
inline constexpr const char *kNoRecordingText = "где обр.файл....";
// Captions of the progress windows.
inline constexpr const char *kRunCaption = "Расчет вибрации лопаток";
inline constexpr const char *kUnpackCaption = "Распаковка";

struct TRunCallbacks {
    // A progress window opens (caption) or closes (empty caption).
    std::function<void(std::string_view caption)> phase;
    TPassProgress pass;   // once per tacho mark of every stage
    ProgressFn unpack;    // unpacking a compressed recording
    TBladeProgress blade; // the stage computation, per blade
    TCalcPositionFn calc; // the stage computation, per blade, with its stage and pair
    // Generates the report from the results (the run clears nothing itself).
    std::function<void(const TCfgDfm &)> report;
};

struct TRunInputs {
    // The configuration file: its folder holds the tacho signature files.
    std::filesystem::path CfgFileName;
    // The program's angle gates; none: no gate filters any pulse.
    TAngleGates *Gates = nullptr;
    // Threads of the stage computation (0: one per core); the results do not depend on it.
    unsigned Threads = 0;
    // The plain forms: one walk of the recording per stage, every fit of the
    // stage computation made on its own. The results are the same; the tests
    // compare the fast forms with them.
    bool Straightforward = false;
};

enum class TRunStatus {
    Done,
    NoRecording, // recording input whose recording does not exist; the message was shown, nothing changed
};

// What the front ends show after a run.
struct TRunResult {
    TRunStatus status = TRunStatus::Done;
    std::string CaptionSuffix;               // " от " + recording date and time, or empty
    std::array<std::uint32_t, 5> RevCount{}; // tacho marks per stage
    double TickPeriod = 2.5e-8;
    std::vector<std::string> BladeNames; // "stage:pair:Лопатка<n>" per checked pair and blade slot
    // Per checked pair: (stage, pair), in order; the save entries and the blade list follow it.
    std::vector<std::pair<int, int>> CheckedPairs;
    int FirstStage = -1, FirstPair = -1; // the first checked pair, drawn first
    bool FrequencyAxis = true;           // "Частота" shown and checked (run-through mode)
    bool ShowTimeAxis = true;            // "Время" shown
};

// Runs the whole analysis of `cfg`. With recording input (TypeFile = 0)
// FileName names the recording; throws FileError when it cannot be opened or
// mapped and FormatError for a malformed header. With data-file input
// (TypeFile = 1, the pairs filled by OpenDataFiles) no recording is checked
// or read: the loaded series go straight to the blade ordering and the stage
// computation, RevCount stays 0 and CaptionSuffix empty. Throws ValueError
// for a configuration the pass or the stage computation refuses. Rejected
// revolutions, damaged compressed blocks and a missing tacho signature are
// reported through `sink`.
TRunResult ProcessingRun(TCfgDfm &cfg, const TRunInputs &inputs, MessageSink &sink, const NumberFormat &fmt,
                         const TRunCallbacks &callbacks = {});

// The blade ordering of a finished pass for one stage: the first CountBlade
// series of every checked pair in blade-number order, a blade that a pair
// sees before pair 0 advanced by one sample, and Size reduced by one.
void OrderBlades(TStage &stage);

// Per-blade ranges, resonance-band swing and histograms of one stage.
void BladeRanges(TStage &stage);
void BladeHistograms(TStage &stage, MessageSink &sink);

} // namespace vibrolan
