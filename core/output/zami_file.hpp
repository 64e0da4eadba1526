// The ZAMI data set: a folder holding an INI-style key file (code page 1251)
// and, per channel, a value file "<name>.dat" and optionally an argument file
// "<name>.x". The key file is kept in memory and written to disk by the
// operations that say so.
#pragma once

#include "output/data_file_env.hpp"
#include "output/data_file_types.hpp"
#include "output/ini_document.hpp"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace vibrolan {

// Raw sample blocks of one channel as they are stored.
struct TRawChannel {
    std::vector<std::uint8_t> values;
    std::vector<std::uint8_t> arguments;
    bool hasArguments = false;
};

class TZAMIFile {
public:
    explicit TZAMIFile(DataFileEnv env = {});

    // Loads the key file and collects the channels: every section with a value
    // file, except "ZAMI" and "audio". Throws FileError when it cannot be read.
    void Create(const std::filesystem::path &FileName, std::uint16_t Mode);
    // Creates (or reuses) the folder FileName and its key file "<last component>.zami",
    // keeping what an existing key file holds, and writes the data set's own keys.
    void CreateNew(const std::filesystem::path &FileName, const std::string &InterpName,
                   const std::string &TestName, std::uint16_t Mode, std::int32_t Nch, double Tm,
                   const std::string &Info);

    // The channel's value file and, when present, its argument file; N = value bytes.
    TRawChannel Get2buffer(int Channum, std::int32_t &N) const;
    // The passport of channel Channum as the key file describes it.
    TPassp ReadPassport(int Channum) const;

    // Writes the channel's keys and files: N samples of FormatY from Pntr and,
    // for a stored FormatX, N samples from PntrX. Throws ValueError for a
    // value format other than 1, 2, 4 or 8 or blocks shorter than N samples.
    void AddBuffer(std::int32_t N, std::span<const std::byte> Pntr, std::span<const std::byte> PntrX,
                   const TPassp &Pssp);
    // Appends one sample to the channel's files and counts it in "Length";
    // the key file is not written.
    void AddPoint(double Y, double X, const TPassp &Pssp);
    void DeletePar(const std::string &ParName);

    // Accepts "." or "," as decimal separator; Default for empty or unreadable values.
    double ReadFloat(const std::string &Section, const std::string &Name, double Default) const;
    // General format with "." as decimal separator.
    void WriteFloat(const std::string &Section, const std::string &Name, double Value);

    // Writes the in-memory key file to disk.
    void UpdateFile();

    datafiles::IniDocument &Keys() { return keys_; }
    const datafiles::IniDocument &Keys() const { return keys_; }
    std::filesystem::path Directory() const;
    std::filesystem::path ChannelFile(const std::string &parName, const char *extension) const;

    std::int32_t Nchan = 0;
    std::vector<std::string> SectNames;
    double Time = 0;
    std::filesystem::path Zami;

private:
    void requireChannel(int Channum) const;

    DataFileEnv env_;
    datafiles::IniDocument keys_;
};

} // namespace vibrolan
