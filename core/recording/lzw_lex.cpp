#include "recording/lzw_lex.hpp"

namespace vibrolan {

TLzwLex::TLzwLex() = default;

std::uint8_t TLzwLex::getlength(int cd) const { return cd < 128 ? 1 : flexstrlngth[cd - 128]; }

std::uint8_t TLzwLex::Getsymbol(std::uint8_t cd, int ind) const
{
    return cd < 128 ? cd : fLex[cd - 128][static_cast<std::size_t>(ind)];
}

int TLzwLex::LongestStringCode() const
{
    for (int L = 11; L >= 2; --L) {
        for (int cd = 128; cd < freerow; ++cd) {
            if (flexstrlngth[cd - 128] != L)
                continue;
            int ind = 0;
            while (ind <= 12 && windowByte(ind) == fLex[cd - 128][ind] && flexstrlngth[cd - 128] >= ind)
                ++ind;
            if (ind == L)
                return cd;
        }
    }
    return windowByte(0);
}

int TLzwLex::Expand(int cod)
{
    const int len = getlength(cod);
    if (freerow == 256 || len >= 12)
        return -1;
    auto &row = fLex[freerow - 128];
    if (cod >= 128) {
        for (int i = 0; i < len; ++i)
            row[i] = fLex[cod - 128][i];
        row[len] = windowByte(len);
        flexstrlngth[freerow - 128] = static_cast<std::uint8_t>(len + 1);
    } else {
        row[0] = static_cast<std::uint8_t>(cod);
        row[1] = windowByte(1);
        flexstrlngth[freerow - 128] = 2;
    }
    return freerow++;
}

} // namespace vibrolan
