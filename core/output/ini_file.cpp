#include "output/ini_file.hpp"

#include "base/errors.hpp"
#include "output/text_utils.hpp"

#include <algorithm>
#include <system_error>

namespace vibrolan {

using namespace datafiles;

namespace {

void requireName(const std::string &name, const char *what)
{
    if (name.find_first_of("\r\n") != std::string::npos)
        throw ValueError(std::string("an INI ") + what + " cannot hold a line break: \"" + name + "\"");
}

void requireKey(const std::string &ident)
{
    requireName(ident, "key");
    std::string_view trimmed = trimBlanks(ident);
    if (trimmed.empty() || ident.find('=') != std::string::npos || trimmed.front() == '[' ||
        trimmed.front() == ';' || trimmed.front() == '#')
        throw ValueError("\"" + ident + "\" cannot be an INI key");
}

void requireSection(const std::string &section)
{
    requireName(section, "section");
    if (section.find(']') != std::string::npos)
        throw ValueError("\"" + section + "\" cannot be an INI section name");
}

std::size_t elementCount(int N, std::size_t capacity)
{
    return N <= 0 ? 0 : std::min(static_cast<std::size_t>(N), capacity);
}

} // namespace

TIniF::TIniF(std::filesystem::path fileName, NumberFormat format)
    : fileName_(std::move(fileName)), format_(std::move(format))
{
}

IniDocument TIniF::load() const
{
    try {
        return loadIniFile(fileName_);
    } catch (const Error &) {
        return IniDocument{};
    }
}

template <class Change> void TIniF::update(Change &&change)
{
    IniDocument doc;
    std::error_code ec;
    if (std::filesystem::exists(fileName_, ec))
        doc = loadIniFile(fileName_);
    change(doc);
    saveIniFile(fileName_, doc);
}

std::string TIniF::ReadString(const std::string &Section, const std::string &Ident,
                              const std::string &Default) const
{
    return load().readString(Section, Ident, Default);
}

std::int32_t TIniF::ReadInteger(const std::string &Section, const std::string &Ident,
                                std::int32_t Default) const
{
    auto v = parseInteger(load().readString(Section, Ident, ""));
    return v ? static_cast<std::int32_t>(*v) : Default;
}

double TIniF::ReadFloat(const std::string &Section, const std::string &Ident, double Default) const
{
    return parseDecimal(load().readString(Section, Ident, ""), format_.decimalSeparator).value_or(Default);
}

bool TIniF::ReadBool(const std::string &Section, const std::string &Ident, bool Default) const
{
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

bool TIniF::SectionExists(const std::string &Section) const { return load().hasSection(Section); }

bool TIniF::ValueExists(const std::string &Section, const std::string &Ident) const
{
    return load().hasKey(Section, Ident);
}

void TIniF::WriteString(const std::string &Section, const std::string &Ident, const std::string &Value)
{
    requireSection(Section);
    requireKey(Ident);
    update([&](IniDocument &doc) { doc.writeString(Section, Ident, Value); });
}

void TIniF::WriteInteger(const std::string &Section, const std::string &Ident, std::int32_t Value)
{
    WriteString(Section, Ident, std::to_string(Value));
}

void TIniF::WriteFloat(const std::string &Section, const std::string &Ident, double Value)
{
    WriteString(Section, Ident, formatGeneral(Value, format_.decimalSeparator));
}

void TIniF::WriteBool(const std::string &Section, const std::string &Ident, bool Value)
{
    WriteString(Section, Ident, Value ? "1" : "0");
}

void TIniF::EraseSection(const std::string &Section)
{
    update([&](IniDocument &doc) { doc.eraseSection(Section); });
}

void TIniF::DeleteKey(const std::string &Section, const std::string &Ident)
{
    update([&](IniDocument &doc) { doc.deleteKey(Section, Ident); });
}

template <class Take>
void TIniF::readArray(const std::string &Section, const std::string &Ident, std::size_t n, Take &&take) const
{
    if (n == 0)
        return;
    const IniDocument doc = load();
    for (std::size_t i = 0; i < n; ++i)
        take(i, doc.readString(Section, Ident + std::to_string(i), ""));
}

template <class Text>
void TIniF::writeArray(const std::string &Section, const std::string &Ident, std::size_t n, Text &&text)
{
    if (n == 0)
        return;
    requireSection(Section);
    requireKey(Ident);
    update([&](IniDocument &doc) {
        for (std::size_t i = 0; i < n; ++i)
            doc.writeString(Section, Ident + std::to_string(i), text(i));
    });
}

void TIniF::ReadFloatArr(const std::string &Section, const std::string &Ident, float Default,
                         std::span<float> pArr, int N) const
{
    readArray(Section, Ident, elementCount(N, pArr.size()), [&](std::size_t i, const std::string &t) {
        auto v = parseDecimal(t, format_.decimalSeparator);
        pArr[i] = v && std::abs(*v) <= 3.4028234663852886e38 ? static_cast<float>(*v) : Default;
    });
}

void TIniF::WriteFloatArr(const std::string &Section, const std::string &Ident, std::span<const float> pArr,
                          int N)
{
    writeArray(Section, Ident, elementCount(N, pArr.size()),
               [&](std::size_t i) { return formatGeneral(pArr[i], format_.decimalSeparator); });
}

void TIniF::ReadIntArr(const std::string &Section, const std::string &Ident, std::int32_t Default,
                       std::span<std::int32_t> pArr, int N) const
{
    readArray(Section, Ident, elementCount(N, pArr.size()), [&](std::size_t i, const std::string &t) {
        auto v = parseInteger(t);
        pArr[i] = v ? static_cast<std::int32_t>(*v) : Default;
    });
}

void TIniF::WriteIntArr(const std::string &Section, const std::string &Ident,
                        std::span<const std::int32_t> pArr, int N)
{
    writeArray(Section, Ident, elementCount(N, pArr.size()),
               [&](std::size_t i) { return std::to_string(pArr[i]); });
}

void TIniF::ReadBoolArr(const std::string &Section, const std::string &Ident, bool Default,
                        std::vector<bool> &pArr, int N) const
{
    readArray(Section, Ident, elementCount(N, pArr.size()), [&](std::size_t i, const std::string &t) {
        auto v = parseInteger(t);
        pArr[i] = v ? *v != 0 : Default;
    });
}

void TIniF::WriteBoolArr(const std::string &Section, const std::string &Ident, const std::vector<bool> &pArr,
                         int N)
{
    writeArray(Section, Ident, elementCount(N, pArr.size()),
               [&](std::size_t i) { return std::string(pArr[i] ? "1" : "0"); });
}

} // namespace vibrolan
