#include "base/code_pages.hpp"

#include <array>
#include <cerrno>
#include <cstdint>
#include <iconv.h>

namespace vibrolan {

namespace {

// One table per 8-bit code page, built once from glibc's iconv: byte -> code point.
using ByteTable = std::array<char32_t, 256>;

ByteTable buildTable(const char *codePage)
{
    ByteTable table{};
    iconv_t cd = iconv_open("UTF-32LE", codePage);
    for (int b = 0; b < 256; ++b) {
        table[b] = static_cast<char32_t>(b); // unmapped bytes keep their value
        if (cd == reinterpret_cast<iconv_t>(-1))
            continue;
        char in = static_cast<char>(b);
        char *inp = &in;
        std::size_t inLeft = 1;
        std::uint8_t out[8] = {};
        char *outp = reinterpret_cast<char *>(out);
        std::size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<std::size_t>(-1) && outLeft == 4)
            table[b] = static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
    }
    if (cd != reinterpret_cast<iconv_t>(-1))
        iconv_close(cd);
    return table;
}

const ByteTable &cp1251()
{
    static const ByteTable t = buildTable("CP1251");
    return t;
}

const ByteTable &cp866()
{
    static const ByteTable t = buildTable("CP866");
    return t;
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence; malformed input yields U+FFFD and advances one byte.
char32_t nextCodePoint(std::string_view s, std::size_t &i)
{
    const auto b0 = static_cast<std::uint8_t>(s[i]);
    auto cont = [&](std::size_t k) {
        return i + k < s.size() && (static_cast<std::uint8_t>(s[i + k]) & 0xC0) == 0x80;
    };
    auto byte = [&](std::size_t k) { return static_cast<char32_t>(static_cast<std::uint8_t>(s[i + k]) & 0x3F); };
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    if ((b0 & 0xE0) == 0xC0 && cont(1)) {
        char32_t c = (static_cast<char32_t>(b0 & 0x1F) << 6) | byte(1);
        i += 2;
        return c >= 0x80 ? c : U'\uFFFD';
    }
    if ((b0 & 0xF0) == 0xE0 && cont(1) && cont(2)) {
        char32_t c = (static_cast<char32_t>(b0 & 0x0F) << 12) | (byte(1) << 6) | byte(2);
        i += 3;
        return c >= 0x800 ? c : U'\uFFFD';
    }
    if ((b0 & 0xF8) == 0xF0 && cont(1) && cont(2) && cont(3)) {
        char32_t c = (static_cast<char32_t>(b0 & 0x07) << 18) | (byte(1) << 12) | (byte(2) << 6) | byte(3);
        i += 4;
        return c >= 0x10000 && c <= 0x10FFFF ? c : U'\uFFFD';
    }
    ++i;
    return U'\uFFFD';
}

std::string decode8(std::string_view bytes, const ByteTable &table)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes)
        appendUtf8(out, table[static_cast<std::uint8_t>(ch)]);
    return out;
}

std::string encode8(std::string_view text, const ByteTable &table)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = nextCodePoint(text, i);
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        char found = '?';
        for (int b = 0x80; b < 256; ++b)
            if (table[b] == c) {
                found = static_cast<char>(b);
                break;
            }
        out += found;
    }
    return out;
}

} // namespace

std::string cp1251ToUtf8(std::string_view bytes) { return decode8(bytes, cp1251()); }
std::string utf8ToCp1251(std::string_view text) { return encode8(text, cp1251()); }
std::string cp866ToUtf8(std::string_view bytes) { return decode8(bytes, cp866()); }
std::string utf8ToCp866(std::string_view text) { return encode8(text, cp866()); }

std::string utf8ToUtf16le(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    auto put = [&](char16_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = nextCodePoint(text, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (c >> 10)));
            put(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            put(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string utf16leToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t k) {
        return static_cast<char16_t>(static_cast<std::uint8_t>(bytes[2 * k]) |
                                     static_cast<std::uint8_t>(bytes[2 * k + 1]) << 8);
    };
    for (std::size_t k = 0; k < units; ++k) {
        char32_t c = unit(k);
        if (c >= 0xD800 && c < 0xDC00 && k + 1 < units && unit(k + 1) >= 0xDC00 && unit(k + 1) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
            ++k;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = U'\uFFFD';
        }
        appendUtf8(out, c);
    }
    return out;
}

} // namespace vibrolan
