// Small text helpers of the data-file formats: letter-case folding as the key
// files compare names, trimming, and the number texts of key files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vibrolan::datafiles {

// Folds ASCII and Cyrillic capitals of a UTF-8 text to small letters.
std::string foldCase(std::string_view utf8);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

// Strips blanks and tabs at both ends.
std::string_view trimBlanks(std::string_view text);

// General format with at most 15 significant digits, exponent form "1E-6" /
// "1E+20" for very small or large magnitudes, `separator` as decimal separator.
std::string formatGeneral(double value, char separator);

// Converts a decimal number whose decimal separator is `separator`; surrounding
// blanks are allowed, anything else (another separator, trailing text, an
// infinite or NaN result) makes it unreadable.
std::optional<double> parseDecimal(std::string_view text, char separator);

// Decimal integer with optional sign, or hexadecimal with "0x" or "$";
// unreadable or outside the 32-bit range gives nothing.
std::optional<std::int64_t> parseInteger(std::string_view text);

// Replaces the extension (from the last "." of the last path component) or
// appends `ext` when there is none.
std::string changeFileExt(std::string_view name, std::string_view ext);

// True when `name` can name a file inside a folder without leaving it: not
// empty, not "." or "..", no "/" and no NUL.
bool isPlainFileName(std::string_view name);

} // namespace vibrolan::datafiles
