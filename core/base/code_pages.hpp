// Text conversion between the program's UTF-8 and the code pages of the
// files: CP1251 (configuration, key files), CP866 (PRAX texts) and UTF-16LE
// (the text report). Conversions never fail: bytes without a character map to
// the C1 control of the same value (CP1251 0x98), characters without a byte
// become '?'.
#pragma once

#include <string>
#include <string_view>

namespace vibrolan {

std::string cp1251ToUtf8(std::string_view bytes);
std::string utf8ToCp1251(std::string_view text);

std::string cp866ToUtf8(std::string_view bytes);
std::string utf8ToCp866(std::string_view text);

// UTF-16 little endian without byte-order mark.
std::string utf8ToUtf16le(std::string_view text);
std::string utf16leToUtf8(std::string_view bytes);

} // namespace vibrolan
