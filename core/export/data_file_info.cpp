#include "export/data_file_info.hpp"

#include "base/plain_number.hpp"
#include "base/terminal_text.hpp"
#include "export/pair_save.hpp"
#include "output/data_file.hpp"

#include <cstdio>

namespace vibrolan {

namespace {

std::string number(double v) { return PlainGeneral(v, 9); }

std::string formatText(std::uint8_t code)
{
    const std::string name = sampleFormatName(code);
    if (code == sfShared)
        return "another channel's";
    return name.empty() ? "code " + std::to_string(code) : name;
}

// Names come from the file: one line each, controls as escapes.
std::string inQuotes(const std::string &s) { return "\"" + EscapeControls(s) + "\""; }

} // namespace

std::string DescribeDataFile(const std::filesystem::path &file, const DataFileEnv &env)
{
    TDataF data(env);
    data.Create(file, 0);
    std::string out = "data file: " + file.string() + "\n";
    out += std::string("format: ") + (data.FormType == ftPrx ? "PRAX" : "ZAMI") + "\n";
    out += "product: " + inQuotes(data.ProdName) + "\n";
    out += "test: " + inQuotes(data.TestName);
    if (data.TestName == kRunDownTestName)
        out += " (run-down: the arguments are rotation speeds)";
    out += "\n";
    out += "date: " + inQuotes(data.Date) + "\n";
    out += "channels: " + std::to_string(data.Nchan) + "\n";
    for (std::size_t i = 0; i < data.Passp.size(); ++i) {
        const TPassp &p = data.Passp[i];
        out += "channel " + std::to_string(i + 1) + " " + inQuotes(p.ParName) + ": " +
               std::to_string(p.Length) + " samples, values " + formatText(p.FormatY) + " in " +
               inQuotes(p.YUnits) + ", argument " + formatText(p.FormatX) + " in " + inQuotes(p.XUnits) +
               ", frequency " + number(p.Freq) + ", k0 " + number(p.K0) + ", k1 " + number(p.K1) + "\n";
    }
    return out;
}

} // namespace vibrolan
