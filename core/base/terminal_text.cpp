#include "base/terminal_text.hpp"

namespace vibrolan {

namespace {

void hex(std::string &out, const char *prefix, unsigned value, int digits)
{
    static const char kDigits[] = "0123456789abcdef";
    out += prefix;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += kDigits[(value >> shift) & 0xF];
}

} // namespace

std::string EscapeControls(std::string_view text, std::string_view keep)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0xC2 && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= 0x80 && next <= 0x9F) { // UTF-8 of a C1 control
                hex(out, "\\u00", next, 2);
                ++i;
                continue;
            }
        }
        if (c >= 0x20 && c != 0x7F) {
            out += static_cast<char>(c);
            continue;
        }
        if (keep.find(static_cast<char>(c)) != std::string_view::npos) {
            out += static_cast<char>(c);
            continue;
        }
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            hex(out, "\\x", c, 2);
        }
    }
    return out;
}

} // namespace vibrolan
