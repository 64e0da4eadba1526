#include "output/zami_file.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "output/date_time_text.hpp"
#include "output/safe_file.hpp"
#include "output/sample_codec.hpp"
#include "output/text_utils.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <system_error>

namespace vibrolan {

using namespace datafiles;

namespace {

const char *const zamiSection = "ZAMI";

bool isRegularFile(const std::filesystem::path &p)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec);
}

// Removes a file when it exists; a file that stays is an error.
void removeIfExists(const std::filesystem::path &p)
{
    std::error_code ec;
    std::filesystem::remove(p, ec);
    if (ec && ec != std::errc::no_such_file_or_directory)
        throw FileError(p, "cannot delete: " + ec.message());
}

std::string hexUpper(std::uint32_t v)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), digits[v & 0xF]);
        v >>= 4;
    } while (v != 0);
    return s;
}

// A float key that must fit a single; unreadable or out of range gives nothing.
std::optional<float> singleOf(std::optional<double> v)
{
    if (!v || !(std::fabs(*v) <= static_cast<double>(std::numeric_limits<float>::max())))
        return std::nullopt;
    return static_cast<float>(*v);
}

// The channel's name as the key file will hold it (code page 1251), which is
// also the base name of its files, so that both always agree.
void requireChannelName(const std::string &name)
{
    // "ZAMI" and "audio" are never read as channels: a channel so named would be lost.
    if (!isPlainFileName(name) || name.find_first_of("[]\r\n") != std::string::npos ||
        equalsIgnoreCase(name, "ZAMI") || equalsIgnoreCase(name, "audio"))
        throw ValueError("\"" + name + "\" cannot name a data-set channel");
}

} // namespace

TZAMIFile::TZAMIFile(DataFileEnv env) : env_(std::move(env)) {}

std::filesystem::path TZAMIFile::Directory() const
{
    std::filesystem::path dir = Zami.parent_path();
    return dir.empty() ? std::filesystem::path(".") : dir;
}

std::filesystem::path TZAMIFile::ChannelFile(const std::string &parName, const char *extension) const
{
    return Directory() / (parName + extension);
}

void TZAMIFile::Create(const std::filesystem::path &FileName, std::uint16_t /*Mode*/)
{
    IniDocument keys = loadIniFile(FileName);
    Zami = FileName;
    std::vector<std::string> channels;
    for (const auto &name : keys.sectionNames()) {
        if (equalsIgnoreCase(name, "ZAMI") || equalsIgnoreCase(name, "audio"))
            continue;
        if (!isPlainFileName(name) || !isRegularFile(ChannelFile(name, ".dat")))
            continue;
        channels.push_back(name);
    }
    keys_ = std::move(keys);
    SectNames = std::move(channels);
    Nchan = static_cast<std::int32_t>(SectNames.size());
}

void TZAMIFile::CreateNew(const std::filesystem::path &FileName, const std::string &InterpName,
                          const std::string &TestName, std::uint16_t /*Mode*/, std::int32_t Nch, double Tm,
                          const std::string &Info)
{
    std::filesystem::path dir = FileName;
    if (dir.filename().empty())
        dir = dir.parent_path();
    if (dir.filename().empty() || dir.filename() == "." || dir.filename() == "..")
        throw ValueError("\"" + FileName.string() + "\" cannot name a data set");
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir, ec))
        throw FileError(dir,
                        "cannot create the data-set folder" + (ec ? ": " + ec.message() : std::string()));

    const std::filesystem::path keyFile = dir / (dir.filename().string() + ".zami");
    IniDocument keys;
    if (std::filesystem::exists(keyFile, ec))
        keys = loadIniFile(keyFile); // keep what the data set already holds
    keys.writeString(zamiSection, "Prod", InterpName);
    keys.writeString(zamiSection, "Test", TestName);
    keys.writeString(zamiSection, "Info", Info);
    keys.writeString(zamiSection, "Date", formatDateTime(Tm, env_.numberFormat.shortDateFormat));
    keys.writeString(zamiSection, "Time", formatDateTime(Tm, env_.numberFormat.longTimeFormat));
    saveIniFile(keyFile, keys);
    removeIfExists(changeFileExt(keyFile.string(), ".wp"));

    Zami = keyFile;
    keys_ = std::move(keys);
    Time = Tm;
    Nchan = Nch;
    SectNames.clear();
}

void TZAMIFile::requireChannel(int Channum) const
{
    if (Channum < 0 || static_cast<std::size_t>(Channum) >= SectNames.size())
        throw ValueError("no channel " + std::to_string(Channum) + " in " + Zami.string());
}

TRawChannel TZAMIFile::Get2buffer(int Channum, std::int32_t &N) const
{
    requireChannel(Channum);
    const std::string &name = SectNames[static_cast<std::size_t>(Channum)];
    TRawChannel raw;
    raw.values = readWholeFile(ChannelFile(name, ".dat"));
    const std::filesystem::path xFile = ChannelFile(name, ".x");
    if (isRegularFile(xFile)) {
        raw.arguments = readWholeFile(xFile);
        raw.hasArguments = true;
    }
    if (raw.values.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw FormatError(ChannelFile(name, ".dat"), "the value file is too large");
    N = static_cast<std::int32_t>(raw.values.size());
    return raw;
}

TPassp TZAMIFile::ReadPassport(int Channum) const
{
    requireChannel(Channum);
    const std::string &s = SectNames[static_cast<std::size_t>(Channum)];
    TPassp p;
    p.ParName = s;
    // "Step", when present, gives the frequency; a step of 0 or one whose
    // inverse is no single counts as unreadable, i.e. the default step 1.
    if (keys_.hasKey(s, "Step")) {
        double step = ReadFloat(s, "Step", 1.0);
        auto freq = step != 0 ? singleOf(1.0 / step) : std::nullopt;
        p.Freq = freq ? *freq : 1.0f;
    } else {
        p.Freq = singleOf(ReadFloat(s, "Freq", 1000.0)).value_or(1000.0f);
    }
    p.XUnits = keys_.readString(s, "XUnits", "");
    p.YUnits = keys_.readString(s, "YUnits", "");
    p.K0 = singleOf(ReadFloat(s, "k0", 0.0)).value_or(0.0f);
    p.K1 = singleOf(ReadFloat(s, "k1", 1.0)).value_or(1.0f);
    p.FormatY = sampleFormatCode(keys_.readString(s, "YFormat", "int"));
    p.FormatX = sampleFormatCode(keys_.readString(s, "XFormat", "uniform"));
    auto readU16 = [&](const char *key) -> std::uint16_t {
        const std::int64_t v = parseInteger(keys_.readString(s, key, "0")).value_or(0);
        if (v < 0 || v > 65535)
            throw FormatError(Zami, "section [" + s + "]: " + key + " " + std::to_string(v) +
                                        " is outside 0..65535");
        return static_cast<std::uint16_t>(v);
    };
    p.HardId = readU16("ChanID");
    p.HardChan = readU16("ChanNo"); // Latin o: the writer's Cyrillic key is never found
    p.CharName = keys_.readString(s, "Char", "");
    if (isStoredSampleFormat(p.FormatY)) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(ChannelFile(s, ".dat"), ec);
        const std::uint64_t length = ec ? 0 : size / p.FormatY;
        if (length > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
            throw FormatError(ChannelFile(s, ".dat"), "the value file is too large");
        p.Length = static_cast<std::int32_t>(length);
    }
    return p;
}

void TZAMIFile::AddBuffer(std::int32_t N, std::span<const std::byte> Pntr, std::span<const std::byte> PntrX,
                          const TPassp &Pssp)
{
    requireChannelName(Pssp.ParName);
    if (N < 0)
        throw ValueError("negative sample count " + std::to_string(N));
    if (!isStoredSampleFormat(Pssp.FormatY))
        throw ValueError("channel \"" + Pssp.ParName +
                         "\": values can be written only as byte, int, single or double");
    const auto n = static_cast<std::size_t>(N);
    if (Pntr.size() < n * Pssp.FormatY)
        throw ValueError("channel \"" + Pssp.ParName + "\": fewer values than " + std::to_string(N));
    const bool withX = isStoredSampleFormat(Pssp.FormatX);
    if (withX && PntrX.size() < n * Pssp.FormatX)
        throw ValueError("channel \"" + Pssp.ParName + "\": fewer argument values than " + std::to_string(N));

    const std::string &s = Pssp.ParName;
    const char sep = env_.numberFormat.decimalSeparator;
    IniDocument keys = keys_;
    keys.writeString(s, "Freq", formatGeneral(Pssp.Freq, sep));
    keys.writeString(s, "XUnits", Pssp.XUnits);
    keys.writeString(s, "YUnits", Pssp.YUnits);
    keys.writeString(s, "CharTP", "0x" + hexUpper(Pssp.CharTp));
    if (!Pssp.UTSparam.empty())
        keys.writeString(s, "UTS_Channel", Pssp.UTSparam);
    keys.writeString(s, "k0", formatGeneral(Pssp.K0, sep));
    keys.writeString(s, "k1", formatGeneral(Pssp.K1, sep));
    if (Pssp.ZAxis.ZSize != 0) {
        keys.writeString(s, "ZSize", std::to_string(Pssp.ZAxis.ZSize));
        keys.writeString(s, "ZStep", std::to_string(Pssp.ZAxis.ZStep));
        keys.writeString(s, "ZStart", std::to_string(Pssp.ZAxis.ZStart));
        keys.writeString(s, "ZUnits", Pssp.ZAxis.ZUnits);
        keys.writeString(s, "ZFormat", Pssp.ZAxis.ZFormat);
    }
    keys.writeString(s, "YFormat", sampleFormatName(Pssp.FormatY));
    if (withX)
        keys.writeString(s, "XFormat", sampleFormatName(Pssp.FormatX));
    keys.writeString(s, "ChanID", std::to_string(Pssp.HardId));
    keys.writeString(s, "ChanN\xD0\xBE", std::to_string(Pssp.HardChan)); // Cyrillic о

    // The sample files first: the key file then never lists a channel whose
    // data failed to reach the disk.
    writeFileAtomically(ChannelFile(s, ".dat"),
                std::string_view(reinterpret_cast<const char *>(Pntr.data()), n * Pssp.FormatY));
    if (withX)
        writeFileAtomically(ChannelFile(s, ".x"),
                    std::string_view(reinterpret_cast<const char *>(PntrX.data()), n * Pssp.FormatX));
    saveIniFile(Zami, keys);
    keys_ = std::move(keys);
    removeIfExists(ChannelFile(s, ".pvw"));
}

void TZAMIFile::AddPoint(double Y, double X, const TPassp &Pssp)
{
    requireChannelName(Pssp.ParName);
    const std::string y = encodeSample(Y, Pssp.FormatY);
    const bool withX = Pssp.FormatX == sfInt || Pssp.FormatX == sfSingle || Pssp.FormatX == sfDouble;
    const std::string x = withX ? encodeSample(X, Pssp.FormatX) : std::string();
    if (!y.empty())
        appendToFile(ChannelFile(Pssp.ParName, ".dat"), y);
    if (withX)
        appendToFile(ChannelFile(Pssp.ParName, ".x"), x);
    const std::int64_t length = parseInteger(keys_.readString(Pssp.ParName, "Length", "0")).value_or(0);
    keys_.writeString(Pssp.ParName, "Length", std::to_string(length + 1));
}

void TZAMIFile::DeletePar(const std::string &ParName)
{
    IniDocument keys = keys_;
    keys.eraseSection(ParName);
    saveIniFile(Zami, keys);
    keys_ = std::move(keys);
    if (auto it = std::find(SectNames.begin(), SectNames.end(), ParName); it != SectNames.end()) {
        SectNames.erase(it);
        Nchan = static_cast<std::int32_t>(SectNames.size());
    }
    if (isPlainFileName(ParName)) {
        removeIfExists(ChannelFile(ParName, ".dat"));
        removeIfExists(ChannelFile(ParName, ".x"));
    }
}

double TZAMIFile::ReadFloat(const std::string &Section, const std::string &Name, double Default) const
{
    std::string text = keys_.readString(Section, Name, "");
    const char sep = env_.numberFormat.decimalSeparator;
    std::size_t p = text.find('.');
    if (p == std::string::npos)
        p = text.find(',');
    if (p != std::string::npos)
        text[p] = sep;
    return parseDecimal(text, sep).value_or(Default);
}

void TZAMIFile::WriteFloat(const std::string &Section, const std::string &Name, double Value)
{
    std::string text = formatGeneral(Value, env_.numberFormat.decimalSeparator);
    if (auto p = text.find(','); p != std::string::npos)
        text[p] = '.';
    keys_.writeString(Section, Name, text);
}

void TZAMIFile::UpdateFile() { saveIniFile(Zami, keys_); }

} // namespace vibrolan
