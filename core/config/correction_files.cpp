#include "config/correction_files.hpp"

#include "base/errors.hpp"
#include "config/cfg_dfm.hpp"
#include "config/program_folder.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace vibrolan {

namespace {

// A valid table is a few kilobytes; a huge file is refused before reading it.
constexpr std::uintmax_t kMaxCorrectionFileSize = std::uintmax_t{16} << 20;

bool hasShroudedStage(const TCfgDfm &cfg)
{
    const std::size_t stages = std::min<std::size_t>(cfg.CountStage, kMaxStages);
    return std::any_of(cfg.Stages.begin(), cfg.Stages.begin() + static_cast<std::ptrdiff_t>(stages),
                       [](const TStage &s) { return s.TypeStage == TTypeStage::tsBandag; });
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The number a token spells with "." as decimal point; 0 when it spells none.
double tokenValue(std::string_view token)
{
    if (!token.empty() && token.front() == '+')
        token.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size() || !std::isfinite(value))
        return 0;
    return value;
}

// Opens a text file for reading; false when it cannot be opened as one.
bool openText(const std::string &name, std::ifstream &in)
{
    std::error_code ec;
    const std::filesystem::path path(name);
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return false;
    if (size > kMaxCorrectionFileSize)
        throw FormatError(path, "файл слишком велик (" + std::to_string(size) + " байт)");
    in.open(path, std::ios::binary);
    return in.is_open();
}

bool nextLine(std::ifstream &in, std::string &line)
{
    if (!std::getline(in, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

void checkFile(std::string &name, const char *fallback, const TCfgDfm &cfg, bool canmessage,
               MessageSink &messages)
{
    if (!hasShroudedStage(cfg))
        return;
    if (name.empty())
        name = ProgramFolderFile(fallback);
    // Only the file's presence matters: its values (one line per blade of
    // stage 0) are not kept, so it is not read.
    std::ifstream in;
    if (!openText(name, in) && canmessage)
        messages.show(Message{"Предупреждение", "нет файла " + name, Buttons::Ok, Severity::Warning});
}

} // namespace

void ReadCorrectionCoefficients(TCfgDfm &cfg, bool canmessage, MessageSink &messages)
{
    if (!hasShroudedStage(cfg))
        return;
    if (cfg.NmPopravk.empty())
        cfg.NmPopravk = ProgramFolderFile("popravk.dat");
    std::ifstream in;
    if (!openText(cfg.NmPopravk, in))
        return;

    const std::filesystem::path path(cfg.NmPopravk);
    auto overflow = [&](std::size_t lineNo, const std::string &what) {
        return FormatError(path, "строка " + std::to_string(lineNo) + ": " + what);
    };
    cfg.m = 0;
    std::size_t L = 0;
    std::size_t remembered = 0;
    std::string line;
    while (nextLine(in, line)) {
        std::string_view rest(line);
        auto skipBlanks = [&] {
            while (!rest.empty() && isBlank(rest.front()))
                rest.remove_prefix(1);
        };
        skipBlanks();
        std::size_t column = 0;
        std::size_t token = 0;
        while (!rest.empty()) {
            const std::size_t len =
                static_cast<std::size_t>(std::find_if(rest.begin(), rest.end(), isBlank) - rest.begin());
            const double value = tokenValue(rest.substr(0, len));
            const auto row = static_cast<std::size_t>(cfg.m);
            if (L != 0 && token == 0) {
                if (row >= kMatrixOrder)
                    throw overflow(L + 1, "больше 32 строк таблицы");
                cfg.Xm[row] = value;
            } else {
                if (column >= kMatrixOrder)
                    throw overflow(L + 1, "больше 32 чисел в строке");
                if (L == 0)
                    cfg.Xn[column] = value;
                else if (L % 2 == 1)
                    cfg.Coeff[row][column] = value;
                else
                    cfg.Xt[row][column] = value;
                ++column;
            }
            remembered = column;
            rest.remove_prefix(len);
            skipBlanks();
            ++token;
        }
        ++L;
        if (L > 1 && L % 2 == 1)
            ++cfg.m;
    }
    cfg.n = static_cast<std::int32_t>(remembered);
    if (canmessage)
        messages.show(
            Message{"считаны поправки ",
                    std::to_string(cfg.n) + " x " + std::to_string(cfg.m) + " файл " + cfg.NmPopravk,
                    Buttons::Ok, Severity::Information});
}

void CheckOffsetDriftFile(TCfgDfm &cfg, bool canmessage, MessageSink &messages)
{
    checkFile(cfg.NmSnom, "Snom.dat", cfg, canmessage, messages);
}

void CheckLimitDeviationFile(TCfgDfm &cfg, bool canmessage, MessageSink &messages)
{
    checkFile(cfg.NmXnom, "Xnom.dat", cfg, canmessage, messages);
}

void LoadCorrectionFiles(TCfgDfm &cfg, bool canmessage, MessageSink &messages)
{
    ReadCorrectionCoefficients(cfg, canmessage, messages);
    CheckOffsetDriftFile(cfg, canmessage, messages);
    CheckLimitDeviationFile(cfg, canmessage, messages);
}

} // namespace vibrolan
