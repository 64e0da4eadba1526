// TIniF: an INI-style settings file (code page 1251) that every write updates
// on disk at once. Reads see the file as it is on disk at the time of the call.
#pragma once

#include "base/number_format.hpp"
#include "output/ini_document.hpp"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace vibrolan {

class TIniF {
public:
    // `format` gives the decimal separator of float values.
    explicit TIniF(std::filesystem::path fileName, NumberFormat format = {});

    const std::filesystem::path &FileName() const { return fileName_; }

    std::string ReadString(const std::string &Section, const std::string &Ident,
                           const std::string &Default) const;
    std::int32_t ReadInteger(const std::string &Section, const std::string &Ident,
                             std::int32_t Default) const;
    double ReadFloat(const std::string &Section, const std::string &Ident, double Default) const;
    bool ReadBool(const std::string &Section, const std::string &Ident, bool Default) const;
    bool SectionExists(const std::string &Section) const;
    bool ValueExists(const std::string &Section, const std::string &Ident) const;

    // Writes throw FileError when the file cannot be written and ValueError
    // for a section or key name that an INI file cannot hold.
    void WriteString(const std::string &Section, const std::string &Ident, const std::string &Value);
    void WriteInteger(const std::string &Section, const std::string &Ident, std::int32_t Value);
    void WriteFloat(const std::string &Section, const std::string &Ident, double Value);
    void WriteBool(const std::string &Section, const std::string &Ident, bool Value);
    void EraseSection(const std::string &Section);
    void DeleteKey(const std::string &Section, const std::string &Ident);

    // Arrays: element i under the key Ident + i (from 0). At most min(N,
    // pArr.size()) elements; N <= 0 reads or writes nothing; a missing or
    // unreadable key reads as Default.
    void ReadFloatArr(const std::string &Section, const std::string &Ident, float Default,
                      std::span<float> pArr, int N) const;
    void WriteFloatArr(const std::string &Section, const std::string &Ident, std::span<const float> pArr,
                       int N);
    void ReadIntArr(const std::string &Section, const std::string &Ident, std::int32_t Default,
                    std::span<std::int32_t> pArr, int N) const;
    void WriteIntArr(const std::string &Section, const std::string &Ident, std::span<const std::int32_t> pArr,
                     int N);
    // std::vector<bool> has no span: booleans are handed as a vector.
    void ReadBoolArr(const std::string &Section, const std::string &Ident, bool Default,
                     std::vector<bool> &pArr, int N) const;
    void WriteBoolArr(const std::string &Section, const std::string &Ident, const std::vector<bool> &pArr,
                      int N);

private:
    // The file as it is now; a missing or unreadable file reads as empty.
    datafiles::IniDocument load() const;
    // Loads, changes and writes back; a file that exists but cannot be read is
    // not overwritten (FileError).
    template <class Change> void update(Change &&change);
    // Array entries Ident0 ... Ident(n-1): `take(i, text)` receives each stored
    // text (empty when missing); `text(i)` gives each text to store.
    template <class Take>
    void readArray(const std::string &Section, const std::string &Ident, std::size_t n, Take &&take) const;
    template <class Text>
    void writeArray(const std::string &Section, const std::string &Ident, std::size_t n, Text &&text);

    std::filesystem::path fileName_;
    NumberFormat format_;
};

} // namespace vibrolan
