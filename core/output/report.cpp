// Report sections per stage and saving the report as a text file.
#include "output/report.hpp"

#include "base/code_pages.hpp"
#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "config/cfg_dfm.hpp"

#include <algorithm>

namespace vibrolan {

namespace {

std::string TitleLine(const TStage &st)
{
    const std::string title =
        "ОТЧЕТ ДЛЯ СТУПЕНИ " + st.NameStage + std::string(TypeStageReportSuffix(st.TypeStage));
    // The title goes through the 8-bit code page: characters it lacks become '?'.
    return cp1251ToUtf8(utf8ToCp1251(title));
}

std::string ModeLine(TMode mode)
{
    switch (mode) {
    case TMode::mdDynamic:
        return "          режим прохода";
    case TMode::mdStatic:
        return "       стационарный режим";
    }
    return {}; // a mode value outside the list names no mode
}

} // namespace

void TBladeReport::GenerateReport(const TCfgDfm &CfgD, const NumberFormat &format)
{
    const std::size_t stages = std::min<std::size_t>(CfgD.CountStage, kMaxStages);
    for (std::size_t s = 0; s < stages; ++s) {
        const TStage &st = CfgD.Stages[s];
        const int si = static_cast<int>(s);
        FLines.insert(FLines.end(), 2, std::string());
        FLines.push_back(TitleLine(st));
        FLines.push_back(ModeLine(CfgD.Mode));
        FLines.emplace_back();

        Averaging_results_table(CfgD, si, format);
        Quenched_oscillations_RMS_table(CfgD, si, format);
        Blades_NUMERATION_CHECKING_table(CfgD, si, format);
        Amplitude_IN_THE_RANGE_table(CfgD, si, format);
        switch (st.TypeStage) {
        case TTypeStage::tsFree:
        case TTypeStage::tsBandag:
        case TTypeStage::tsLink:
            Quenched_oscillations_SWING_table(CfgD, si, format);
            break;
        case TTypeStage::tsAviaEng:
            Quenched_oscillations_VELOCITY_table(CfgD, si, format);
            break;
        }
        Harmonic_analysis_table(CfgD, si, format);
    }
}

void TBladeReport::WriteReport(const std::filesystem::path &name) const
{
    std::string text;
    for (const std::string &line : FLines) {
        text += line;
        text += "\r\n";
    }
    writeFileAtomically(name, utf8ToUtf16le(text));
}

} // namespace vibrolan
