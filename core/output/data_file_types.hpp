// Channel description shared by the two data-file formats (the ZAMI data set
// and the PRAX file) and the sample format codes of their channels.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vibrolan {

enum TFormType : std::uint8_t { ftPrx = 0, ftZami = 1 };

// Sample format codes. For 1, 2, 4 and 8 the code is the size of one stored sample.
inline constexpr std::uint8_t sfUniform = 0;  // nothing stored: evenly spaced axis
inline constexpr std::uint8_t sfByte = 1;     // signed 8-bit integer
inline constexpr std::uint8_t sfInt = 2;      // signed 16-bit integer, little-endian
inline constexpr std::uint8_t sfSingle = 4;   // IEEE 32-bit float
inline constexpr std::uint8_t sfDouble = 8;   // IEEE 64-bit float
inline constexpr std::uint8_t sfShared = 128; // the axis of another channel (ZAMI X axis only)

// Format code of a format name, case-insensitive; any unknown text is 128.
std::uint8_t sampleFormatCode(std::string_view name);
// The first name of a code ("uniform", "byte", "int", "single", "double"); empty otherwise.
std::string sampleFormatName(std::uint8_t code);
// True for the codes that store samples (1, 2, 4, 8).
constexpr bool isStoredSampleFormat(std::uint8_t code)
{
    return code == sfByte || code == sfInt || code == sfSingle || code == sfDouble;
}

// Third axis of a channel; ZSize 0 means none.
struct T3D {
    std::uint32_t ZSize = 0;
    std::uint32_t ZStart = 0;
    std::uint32_t ZStep = 0;
    std::string ZFormat; // a format name
    std::string ZUnits;
};

// Channel passport. Texts are UTF-8 in memory.
struct TPassp {
    std::string ParName;
    std::string CharName;
    std::string YUnits;
    std::string XUnits;
    std::uint32_t CharTp = 0;
    float Freq = 0;
    float K0 = 0;
    float K1 = 0;
    std::int32_t Length = 0;
    std::uint8_t FormatY = 0;
    std::uint8_t FormatX = 0;
    float Tn = 0;
    float Tk = 0;
    std::uint16_t HardChan = 0;
    std::uint16_t HardId = 0;
    std::uint8_t Reserv = 0;
    T3D ZAxis;
    std::string UTSparam;
};

} // namespace vibrolan
