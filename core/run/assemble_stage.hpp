// Revolution assembly: one walk over the pulse records of a recording for one
// stage. The stream is cut into revolutions at the tacho marks; for every
// revolution and every checked pair one root and one tip arrival per blade
// give the blade's deflection Diametr * pi * (tip - root) / revolution ticks.
// Revolutions where a pair does not see exactly one pulse per blade on both
// sensors, or where a pulse that a deflection needs is not found before the
// search limit, are counted as rejected and reported at the end.
#pragma once

#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "config/cfg_dfm.hpp"
#include "run/pulse_pass.hpp"

#include <cstddef>
#include <optional>
#include <span>
#include <string>

namespace vibrolan {

// Refuses (ValueError naming the stage or pair) what would make the pass read
// or write outside its tables: a stage index beyond 4, more than 255 blades
// or 16 pairs, sensor indexes beyond the sensor table, or a checked pair with
// SkipBlade + CountBlade + 1 above the 510-entry pulse buffers.
void CheckAssemblyInputs(const TCfgDfm &cfg, std::size_t stage);

// Runs the pass for `stage`: fills Size, SizeOfBad, Freq, Time, UTS_Time (with
// a time-code decoder) and the blade blocks of every checked pair, counts the
// marks in pass.RevCount[stage] and shows the rejection report through `sink`.
// Blade slot b is stored in the pair's block Ampl[Impuls[b]] (the run makes
// Impuls the identity first, see PreparePairStorage). Calls `progress` once per mark.
void AssembleStage(TCfgDfm &cfg, std::size_t stage, TPulsePass &pass, MessageSink &sink,
                   const NumberFormat &fmt, const TPassProgress &progress = {});

// The tacho of one stage in a multi-stage pass: the divisor (255: the
// detector decides) and the detector (not owned; only with divisor 255).
struct TStageTacho {
    int Divisor = 1;
    TTachoDetector *Detector = nullptr;
};

// The pass for every stage of the configuration in one walk of the records
// (with a divisor other than 1 a count of the records comes first): each
// stage keeps its own tacho, marks and revolutions, with the results of
// AssembleStage run stage after stage with the same pass (the time-code
// decoder fed as that sequence feeds it). The rejection reports are left to
// the caller (ShowRejections, stage by stage). pass.TachoDivisor and
// pass.Detector are not used; `tachos` has one entry per stage (ValueError
// otherwise). Calls `progress` at the marks of the stages, at positions that
// only grow (a mark before one already reported is not reported).
void AssembleStages(TCfgDfm &cfg, TPulsePass &pass, std::span<const TStageTacho> tachos,
                    const TPassProgress &progress = {});

// The start mark of a stage whose tacho channel has `tachoRecords` records in
// the pass: the position of its record among them, or none (too few marks).
std::optional<std::size_t> StartEntry(std::uint64_t tachoRecords, int divisor);

// The rejection reports of the checked pairs of a stage, shown through `sink`.
void ShowRejections(const TStage &stage, MessageSink &sink, const NumberFormat &fmt);

// The preparation of every pair of the stage (CountPairs of them) for a run: Size := 0, Freq, Time (1024
// Singles), UTS_Time (1024 Doubles) and one block of 1024 Singles per blade slot, with Impuls[b] := b.
// SizeOfBad is left alone (the run clears it separately).
void PreparePairStorage(TStage &stage);

// The rejection report of one pair: the caption and text of the message, or
// no message when at most 0.001 % of its revolutions were rejected.
struct RejectionReport {
    bool show = false;
    double rate = 0; // percent
    std::string caption, text;
};
RejectionReport MakeRejectionReport(const TStage &stage, const TPair &pair, const NumberFormat &fmt);

} // namespace vibrolan
