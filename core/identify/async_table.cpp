#include "identify/async_table.hpp"

#include <charconv>
#include <cmath>
#include <system_error>

namespace vibrolan::identify {

namespace {

// Fixed decimals, or significant digits when `general`; empty when not a
// number; never the locale's separator.
std::string number(double v, int digits, bool general = false, char decimal = '.')
{
    if (!std::isfinite(v))
        return {};
    char buf[64];
    const auto r = general ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits)
                           : std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, digits);
    if (r.ec != std::errc{})
        return {};
    std::string s(buf, r.ptr);
    for (char &c : s)
        if (c == '.')
            c = decimal;
    return s;
}

std::string stageName(const TCfgDfm &cfg, int s)
{
    if (s < 0 || static_cast<std::size_t>(s) >= cfg.Stages.size())
        return std::to_string(s + 1);
    const std::string &n = cfg.Stages[static_cast<std::size_t>(s)].NameStage;
    return n.empty() ? std::to_string(s + 1) : n;
}

// What stands for a value not given: the layout's ambiguity or the blades'.
const char *openText(const AsyncSegment &s) { return s.ambiguous ? kAmbiguousText : kUndeterminedText; }

} // namespace

std::string AsyncSegmentsCsv(const AsyncResult &res)
{
    std::string text = std::string(kAsyncCsvHeader) + "\n";
    for (const auto &s : res.segments)
        text += std::to_string(s.stage + 1) + "," + number(s.timeFrom, 3) + "," + number(s.timeTo, 3) + "," +
                number(s.speedRpm, 1) + "," + (s.frequencyKnown ? number(s.frequencyHz, 3) : std::string()) +
                "," + (s.nodalDiameterKnown ? std::to_string(s.nodalDiameter) : std::string()) + "," +
                number(s.amplitudeMean, 6, true) + "," + number(s.amplitudeMax, 6, true) + "," +
                std::to_string(s.blades) + "," + number(s.quality, 4) + "\n";
    return text;
}

std::string AsyncTrackCsv(const AsyncResult &res)
{
    std::string text = std::string(kAsyncTrackCsvHeader) + "\n";
    for (std::size_t i = 0; i < res.segments.size(); ++i) {
        const auto &s = res.segments[i];
        for (const auto &p : s.track)
            text += std::to_string(s.stage + 1) + "," + std::to_string(i + 1) + "," + number(p.time, 3) +
                    "," + number(p.rpm, 1) + "," +
                    (s.frequencyKnown ? number(p.frequencyHz, 3) : std::string()) + "," +
                    (s.nodalDiameterKnown ? number(p.rotorFrequencyHz, 3) : std::string()) + "," +
                    (s.nodalDiameterKnown ? std::to_string(p.nodalDiameter) : std::string()) + "," +
                    number(p.amplitude, 6, true) + "\n";
    }
    return text;
}

std::vector<std::string> AsyncTableHeaders()
{
    return {"Ступень",   "с, с",      "по, с",       "об/мин",  "Частота, Гц", "ND",
            "Вращ., Гц", "Ампл. ср.", "Ампл. макс.", "Лопаток", "Качество"};
}

std::vector<std::string> AsyncTableCells(const TCfgDfm &cfg, const AsyncSegment &s, char decimal)
{
    std::vector<std::string> c(kAsyncColumns);
    c[acStage] = stageName(cfg, s.stage);
    c[acTimeFrom] = number(s.timeFrom, 2, false, decimal);
    c[acTimeTo] = number(s.timeTo, 2, false, decimal);
    c[acSpeed] = number(s.speedRpm, 0, false, decimal);
    c[acFrequency] = s.frequencyKnown ? number(s.frequencyHz, 2, false, decimal) : openText(s);
    c[acNodalDiameter] = s.nodalDiameterKnown ? std::to_string(s.nodalDiameter) : openText(s);
    c[acRotorFrequency] = s.nodalDiameterKnown ? number(s.rotorFrequencyHz, 2, false, decimal) : openText(s);
    c[acAmplitudeMean] = number(s.amplitudeMean, 4, true, decimal);
    c[acAmplitudeMax] = number(s.amplitudeMax, 4, true, decimal);
    c[acBlades] = std::to_string(s.blades);
    c[acQuality] = number(s.quality, 3, false, decimal);
    return c;
}

} // namespace vibrolan::identify
