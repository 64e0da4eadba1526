// TLzwLex: the small dictionary coder of the channel lane of a .bldx block,
// in its straightforward form (a linear search over the dictionary). It
// defines what the channel stream means; the block decoder uses the faster
// ChannelDictionary, which gives the same bytes.
#pragma once

#include "base/ring_buffers.hpp"

#include <array>
#include <cstdint>

namespace vibrolan {

class TLzwLex {
public:
    static constexpr int kWindow = 12;

    TLzwLex();

    // 1 for a plain byte code, else the length of the code's string.
    std::uint8_t getlength(int cd) const;
    // Byte ind of the string of code cd (cd itself for a plain byte code).
    std::uint8_t Getsymbol(std::uint8_t cd, int ind) const;
    // The longest dictionary string (2 ... 11 bytes) equal to the oldest window
    // bytes and followed by a non-zero window byte; else the oldest window byte.
    int LongestStringCode() const;
    // Adds the entry "string of cod + the next window byte"; returns the new
    // row's code, or -1 when nothing was added (dictionary full, or the
    // string would exceed 12 bytes).
    int Expand(int cod);
    // Appends one decoded byte to the window.
    void push(std::uint8_t b) { smalbuffer.Add(&b, 1); }

    int freeRow() const { return freerow; }
    std::uint8_t windowByte(int pos) const { return smalbuffer.GetX(static_cast<std::uint32_t>(pos)); }

private:
    std::array<std::array<std::uint8_t, 13>, 128> fLex{}; // rows 128 ... 255
    std::array<std::uint8_t, 128> flexstrlngth{};
    std::uint16_t freerow = 128;
    TCByteBuff smalbuffer{kWindow};
};

} // namespace vibrolan
