#include "identify/resonance_table.hpp"

#include <charconv>
#include <cmath>
#include <system_error>

namespace vibrolan::identify {

namespace {

// Fixed decimals, or significant digits when `general`; never the locale's.
std::string number(double v, int digits, bool general = false)
{
    if (!std::isfinite(v))
        return "nan";
    char buf[64];
    const auto r = general ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits)
                           : std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, digits);
    return r.ec == std::errc{} ? std::string(buf, r.ptr) : std::string("nan");
}

std::string padLeft(const std::string &s, std::size_t width)
{
    // Widths count characters, not the bytes of UTF-8 text.
    std::size_t chars = 0;
    for (unsigned char c : s)
        chars += (c & 0xC0) != 0x80 ? 1 : 0;
    return chars >= width ? s : std::string(width - chars, ' ') + s;
}

std::string stageName(const TCfgDfm &cfg, int s)
{
    const std::string &n = cfg.Stages[static_cast<std::size_t>(s)].NameStage;
    return n.empty() ? std::to_string(s + 1) : n;
}

} // namespace

std::string ResonancesCsv(const IdentifyResult &result)
{
    std::string text = std::string(kResonancesCsvHeader) + "\n";
    for (const BladeResonance &r : result.resonances) {
        text += std::to_string(r.stage + 1) + "," + std::to_string(r.blade + 1) + "," +
                std::to_string(r.engineOrder) + "," + number(r.speedRpm, 3) + "," + number(r.frequencyHz, 4) +
                "," + number(r.dampingRatio, 6, true) + "," + number(r.amplitude, 6, true) + "," +
                number(r.phaseDeg, 2) + "," + std::to_string(r.pairs) + "," + number(r.quality, 4) + "\n";
    }
    return text;
}

std::vector<std::string> ResonanceTableLines(const TCfgDfm &cfg, const IdentifyResult &result)
{
    std::vector<std::string> lines;
    const std::size_t w[] = {8, 6, 4, 9, 10, 11, 9, 11, 8, 6, 7};
    const char *head[] = {"stage",   "blade",     "EO",    "EO conf", "speed rpm", "freq Hz",
                          "damping", "amplitude", "phase", "pairs",   "R2"};
    std::string h;
    for (std::size_t i = 0; i < std::size(head); ++i)
        h += padLeft(head[i], w[i]);
    lines.push_back(h);
    for (const BladeResonance &r : result.resonances) {
        const std::string eoConf = r.eoGiven ? "given" : number(r.eoConfidence, 2);
        const std::string cells[] = {stageName(cfg, r.stage),       std::to_string(r.blade + 1),
                                     std::to_string(r.engineOrder), eoConf,
                                     number(r.speedRpm, 1),         number(r.frequencyHz, 3),
                                     number(r.dampingRatio, 5),     number(r.amplitude, 5, true),
                                     number(r.phaseDeg, 1),         std::to_string(r.pairs),
                                     number(r.quality, 3)};
        std::string line;
        for (std::size_t i = 0; i < std::size(cells); ++i)
            line += padLeft(cells[i], w[i]);
        if (!r.sweepInRange)
            line += "  (sweep too fast for the result)";
        lines.push_back(line);
    }
    for (const NotIdentifiable &n : result.notIdentifiable) {
        std::string line = "not identified: stage " + stageName(cfg, n.stage);
        if (n.blade >= 0)
            line += ", blade " + std::to_string(n.blade + 1);
        if (n.event >= 0)
            line += ", " + number(n.rpmFrom, 0) + " ... " + number(n.rpmTo, 0) + " rpm";
        lines.push_back(line + ": " + n.reason);
    }
    for (const std::string &note : result.notes)
        lines.push_back("note: " + note);
    return lines;
}

} // namespace vibrolan::identify
