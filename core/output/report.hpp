// The text report of a processing run: one section of fixed-width tables per
// stage, built from the results the run and the stage computation left in the
// configuration, and saved on request as a UTF-16LE text file with CR LF line
// ends and no byte-order mark.
//
// The lines are held as UTF-8; every column position counts characters as the
// saved file does (UTF-16 code units). Numbers use the decimal separator of
// the NumberFormat handed in, never global locale state.
#pragma once

#include "base/number_format.hpp"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace vibrolan {

class TCfgDfm;

class TBladeReport {
public:
    TBladeReport() = default;

    // Removes all lines.
    void Clear() { FLines.clear(); }

    // Appends the sections of stages 0 .. CountStage - 1; does not clear first
    // (the run clears before each generation).
    void GenerateReport(const TCfgDfm &CfgD, const NumberFormat &format);

    // Writes the lines, each followed by CR LF, as UTF-16LE without
    // byte-order mark. The file is replaced atomically: on failure (FileError)
    // an existing file keeps its contents. A file the user may not write is
    // refused with FileError rather than replaced behind its attribute.
    void WriteReport(const std::filesystem::path &name) const;

    std::size_t GetLineCount() const { return FLines.size(); }
    std::size_t LineCount() const { return GetLineCount(); }
    const std::vector<std::string> &Lines() const { return FLines; }

    // The table builders: each appends one table of stage `stage` (0 .. 4;
    // another index throws ValueError). Counts beyond the capacities of the
    // model (255 blades, 16 pairs, 32 harmonics) are clamped to them.
    void Averaging_results_table(const TCfgDfm &CfgDfm, int stage, const NumberFormat &format);
    void Quenched_oscillations_RMS_table(const TCfgDfm &CfgDfm, int stage, const NumberFormat &format);
    void Blades_NUMERATION_CHECKING_table(const TCfgDfm &CfgDfm, int stage, const NumberFormat &format);
    void Amplitude_IN_THE_RANGE_table(const TCfgDfm &CfgDfm, int stage, const NumberFormat &format);
    void Quenched_oscillations_SWING_table(const TCfgDfm &CfgDfm, int stage, const NumberFormat &format);
    void Quenched_oscillations_VELOCITY_table(const TCfgDfm &CfgDfm, int stage, const NumberFormat &format);
    void Harmonic_analysis_table(const TCfgDfm &CfgDfm, int stage, const NumberFormat &format);

private:
    std::vector<std::string> FLines;
};

} // namespace vibrolan
