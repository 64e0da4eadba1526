// The tables of one stage section of the text report.
#include "base/errors.hpp"
#include "config/cfg_dfm.hpp"
#include "output/report.hpp"
#include "output/report_text.hpp"

#include <algorithm>
#include <string>
#include <string_view>

namespace vibrolan {

namespace {

using report::FormatFixed;
using report::ReportLine;

constexpr std::size_t kPairColumn = 11;     // pair p starts at 11 * (p + 1)
constexpr std::size_t kHarmHeadColumn = 17; // harmonic h (1-based) heads start at 17 * h
constexpr std::size_t kHarmRowColumn = 15;  // harmonic e (0-based) values start at 15 * (e + 1)

const TStage &StageAt(const TCfgDfm &cfg, int stage)
{
    if (stage < 0 || static_cast<std::size_t>(stage) >= kMaxStages)
        throw ValueError("report: stage index " + std::to_string(stage) + " is outside 0.." +
                         std::to_string(kMaxStages - 1));
    return cfg.Stages[static_cast<std::size_t>(stage)];
}

// Counts as stored may exceed the arrays when a file was damaged; the report
// never reads past the model's capacities.
std::size_t BladeCount(const TStage &st) { return std::min<std::size_t>(st.CountBlade, kMaxBlades); }
std::size_t PairCount(const TStage &st) { return std::min<std::size_t>(st.CountPairs, kMaxPairs); }
std::size_t HarmCount(const TStage &st)
{
    return static_cast<std::size_t>(std::clamp<std::int32_t>(st.CountHarm, 0, kMaxHarmonics));
}

// Rows are blade slots; they are labelled with the one-based blade number of
// the slot in the first pair's numbering.
std::string RowLabel(const TStage &st, std::size_t k)
{
    return std::to_string(st.Pairs[0].NumberBlade[k] + 1);
}

std::string PairsLine(const TStage &st)
{
    ReportLine line("Пары:  ");
    for (std::size_t p = 0; p < PairCount(st); ++p)
        if (st.Pairs[p].Checked)
            line.PadTo(kPairColumn * (p + 1)).Append(st.Pairs[p].NamePair);
    return line.Text();
}

struct ValueTable {
    std::string header;
    int decimals = 2;
    int averageDecimals = -1; // below 0: no averages
    bool emptyLineAfterPairs = false;
    std::string_view labelTail;
    int emptyLinesAfter = 0;
};

template <class Value>
void AppendValueTable(std::vector<std::string> &out, const TStage &st, const ValueTable &t,
                      const NumberFormat &format, Value value)
{
    const std::size_t blades = BladeCount(st);
    const std::size_t pairs = PairCount(st);
    out.push_back(t.header);
    out.push_back(PairsLine(st));
    if (t.emptyLineAfterPairs)
        out.emplace_back();

    std::vector<double> sums(pairs, 0.0);
    for (std::size_t k = 0; k < blades; ++k) {
        ReportLine row(RowLabel(st, k));
        row.Append(t.labelTail);
        for (std::size_t p = 0; p < pairs; ++p) {
            if (!st.Pairs[p].Checked)
                continue;
            const double v = value(st.Pairs[p], k);
            sums[p] += v;
            row.PadTo(kPairColumn * (p + 1)).Append(FormatFixed(v, t.decimals, format));
        }
        out.push_back(row.Text());
    }

    if (t.averageDecimals >= 0) {
        out.emplace_back("среднее по лопаткам:");
        ReportLine avg;
        // Without blades there is nothing to average: the line stays empty
        // instead of showing a quotient of zero by zero.
        if (blades > 0)
            for (std::size_t p = 0; p < pairs; ++p)
                if (st.Pairs[p].Checked)
                    avg.PadTo(kPairColumn * (p + 1))
                        .Append(
                            FormatFixed(sums[p] / static_cast<double>(blades), t.averageDecimals, format));
        out.push_back(avg.Text());
    }
    out.insert(out.end(), static_cast<std::size_t>(t.emptyLinesAfter), std::string());
}

} // namespace

void TBladeReport::Averaging_results_table(const TCfgDfm &CfgDfm, int stage, const NumberFormat &format)
{
    ValueTable t{"Таблица осредненных показаний, мм", 2, 2, true, {}, 2};
    AppendValueTable(FLines, StageAt(CfgDfm, stage), t, format,
                     [](const TPair &p, std::size_t k) { return static_cast<double>(p.Mean[k]); });
}

void TBladeReport::Quenched_oscillations_RMS_table(const TCfgDfm &CfgDfm, int stage,
                                                   const NumberFormat &format)
{
    ValueTable t{"Таблица  СКО срывных колебаний, мм", 4, 3, false, {}, 2};
    AppendValueTable(FLines, StageAt(CfgDfm, stage), t, format,
                     [](const TPair &p, std::size_t k) { return static_cast<double>(p.RMS[k]); });
}

void TBladeReport::Blades_NUMERATION_CHECKING_table(const TCfgDfm &CfgDfm, int stage,
                                                    const NumberFormat &format)
{
    const TStage &st = StageAt(CfgDfm, stage);
    ValueTable t{"Таблица проверки нумерации лопаток, мм", 2, -1, false, {}, 0};
    AppendValueTable(FLines, st, t, format,
                     [](const TPair &p, std::size_t k) { return static_cast<double>(p.Deviation[k]); });

    // The lower triangle of the correlation matrix; unchecked pairs keep
    // their name line but show no values.
    FLines.emplace_back();
    FLines.emplace_back("Матрица корреляций ");
    FLines.push_back(PairsLine(st));
    for (std::size_t b = 0; b < PairCount(st); ++b) {
        ReportLine line(st.Pairs[b].NamePair);
        if (st.Pairs[b].Checked)
            for (std::size_t q = 0; q <= b; ++q)
                line.Append("   ").Append(FormatFixed(st.Correlation[b][q], 3, format));
        FLines.push_back(line.Text());
    }
    FLines.insert(FLines.end(), 2, std::string());
}

void TBladeReport::Amplitude_IN_THE_RANGE_table(const TCfgDfm &CfgDfm, int stage, const NumberFormat &format)
{
    const TStage &st = StageAt(CfgDfm, stage);
    const double bottom = st.FResonance.Bottom;
    const double top = st.FResonance.Bottom * (1 + st.FResonance.DeltaTop);
    ValueTable t{"Таблица размаха на интервале..." + FormatFixed(bottom, 2, format) + ".." +
                     FormatFixed(top, 2, format) + ", об/с",
                 4,
                 3,
                 false,
                 "    ",
                 2};
    AppendValueTable(FLines, st, t, format,
                     [](const TPair &p, std::size_t k) { return p.PairResAmplitude[k]; });
}

void TBladeReport::Quenched_oscillations_SWING_table(const TCfgDfm &CfgDfm, int stage,
                                                     const NumberFormat &format)
{
    ValueTable t{"Таблица размаха срывных колебаний, мм", 3, 3, false, {}, 3};
    // In double: a pair without samples keeps the range sentinels (+-3.4e38),
    // whose difference would overflow a float.
    AppendValueTable(FLines, StageAt(CfgDfm, stage), t, format, [](const TPair &p, std::size_t k) {
        return static_cast<double>(p.lopmax[k]) - static_cast<double>(p.lopmin[k]);
    });
}

void TBladeReport::Quenched_oscillations_VELOCITY_table(const TCfgDfm &CfgDfm, int stage,
                                                        const NumberFormat &format)
{
    ValueTable t{"Таблица скорости срывных колебаний, мм/с", 3, 3, false, {}, 3};
    AppendValueTable(FLines, StageAt(CfgDfm, stage), t, format, [](const TPair &p, std::size_t k) {
        return static_cast<double>(p.stStallingOscill[k]);
    });
}

void TBladeReport::Harmonic_analysis_table(const TCfgDfm &CfgDfm, int stage, const NumberFormat &format)
{
    const TStage &st = StageAt(CfgDfm, stage);
    const std::size_t harms = HarmCount(st);

    FLines.emplace_back("Таблица гармонического анализа");
    ReportLine orders, columns;
    for (std::size_t h = 1; h <= harms; ++h) {
        orders.PadTo(kHarmHeadColumn * h).Append("Гарм.").Append(std::to_string(st.OrderHarm[h - 1]));
        columns.PadTo(kHarmHeadColumn * h).Append("A0     A1");
    }
    FLines.push_back(orders.Text());
    FLines.push_back(columns.Text());

    for (std::size_t j = 0; j < BladeCount(st); ++j) {
        ReportLine row(RowLabel(st, j));
        row.PadTo(kHarmHeadColumn);
        for (std::size_t e = 0; e < harms; ++e) {
            const THarmCoeffs &c = st.Harm[e][j];
            row.PadTo(kHarmRowColumn * (e + 1))
                .Append(FormatFixed(c[0], 2, format))
                .Append("  ")
                .Append(FormatFixed(c[1], 2, format));
        }
        FLines.push_back(row.Text());
    }

    for (std::size_t r = 0; r < harms; ++r) {
        const Ttriad &t = st.HarmStage[r];
        FLines.push_back(" " + FormatFixed(t.s, 2, format));
        FLines.push_back(" " + FormatFixed(t.r, 2, format) + " " + FormatFixed(t.k, 2, format));
    }
}

} // namespace vibrolan
