// The PRAX file: a 32-byte header, a table of 58-byte channel records and the
// channels' sample blocks, each followed by the bytes FF FF. Texts are in code
// page 866 (the date in code page 1251); integers are little-endian.
#pragma once

#include "output/data_file_types.hpp"
#include "output/safe_file.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vibrolan {

struct TTitle {
    static constexpr std::size_t size = 32;
    std::array<std::uint8_t, 4> PRAXRec{};
    std::array<std::uint8_t, 8> ProdName{};
    std::array<std::uint8_t, 8> TestName{};
    std::array<std::uint8_t, 8> Date{};
    std::uint16_t Nchan = 0;
    std::uint16_t Reserv = 0;

    std::array<std::uint8_t, size> toBytes() const;
    static TTitle fromBytes(const std::uint8_t *p);
};

struct TPasspU {
    static constexpr std::size_t size = 58;
    std::array<std::uint8_t, 12> ParName{};
    std::array<std::uint8_t, 12> CharName{};
    std::array<std::uint8_t, 8> Units{};
    float Step = 0;
    float K0 = 0;
    float K1 = 0;
    std::uint32_t Length = 0;
    std::uint8_t Format = 0;
    float Tn = 0;
    float Tk = 0;
    std::uint8_t Reserv = 0;

    std::array<std::uint8_t, size> toBytes() const;
    static TPasspU fromBytes(const std::uint8_t *p);
};

class TPRAXFile {
public:
    // Opens an existing file. Mode bits 0..1: 0 read only, 1 or 2 read and
    // write (a file the user may not write is opened for reading; changing it
    // then fails). Throws FileError, or FormatError for a file too short for
    // its channel table or with a channel length beyond 2^31 - 1.
    void Create(const std::filesystem::path &FileName, std::uint16_t Mode);
    // Creates (or replaces) the file FileName with the extension ".prx" holding
    // only a header; `dateText` is the creation date-time text.
    void CreateNew(const std::filesystem::path &FileName, const std::string &InterpName,
                   const std::string &TestName, std::uint16_t Mode, std::int32_t Nch,
                   std::string_view dateText);

    // The stored samples of a channel; N = their byte count.
    std::vector<std::uint8_t> Get2buffer(int Channum, std::int32_t &N) const;
    // Appends a channel: its record goes to the end of the table (the sample
    // blocks move 58 bytes on), its N samples to the end of the file.
    void AddBuffer(std::int32_t N, std::span<const std::byte> Pntr, const TPassp &Pssp);
    void DeletePar(int NPar);

    // Sample format code of a format name.
    static std::uint8_t Format(std::string_view name) { return sampleFormatCode(name); }

    // Texts of the header and of a record, decoded to UTF-8.
    static std::string decodeText(std::span<const std::uint8_t> field, std::size_t maxChars);
    static std::string decodeDate(std::span<const std::uint8_t> field);

    TTitle Title;
    std::vector<TPasspU> PasspU;
    std::filesystem::path PRAX;

private:
    std::uint64_t dataStart() const;
    std::uint64_t blockBytes(std::size_t i) const; // samples only, without FF FF
    std::uint64_t blockOffset(std::size_t a) const;
    void requireWritable() const;
    void reopen();

    datafiles::UniqueFd fd_;
    bool writable_ = false;
};

} // namespace vibrolan
