// The 6-byte pulse record of a recording and the tick arithmetic that every
// reader uses: `Diff` and `CardDiff` tell a counter wrap from a step backwards.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace vibrolan {

static_assert(std::endian::native == std::endian::little,
              "records are read in place: the file layout is little-endian");

// Signed tick difference a - b: a small step backwards (up to 2^24 ticks)
// stays negative, a larger one is taken as a counter wrap.
std::int64_t Diff(std::uint32_t a, std::uint32_t b);

// Unsigned interval from b to a: a step backwards of up to 2^28 ticks sets
// Backward and gives 0, a larger one is taken as a counter wrap.
std::uint32_t CardDiff(std::uint32_t a, std::uint32_t b, bool &Backward);
inline std::uint32_t CardDiff(std::uint32_t a, std::uint32_t b)
{
    bool backward = false;
    return CardDiff(a, b, backward);
}

#pragma pack(push, 1)
struct TIndex {
    std::uint8_t Ch = 0;     // bits 0-5 channel, bit 6 carried, bit 7 flag
    std::uint8_t Marker = 0; // carried unchanged
    std::uint32_t Ticks = 0; // free-running counter, wraps to 0

    std::uint8_t RCh() const { return Ch & 63; }
    void WCh(std::uint8_t n) { Ch = static_cast<std::uint8_t>((Ch & 192) | (n & 63)); }
    bool B1RCh() const { return (Ch & 0x80) != 0; }
    void B1WCh(bool lo) { Ch = static_cast<std::uint8_t>(lo ? (Ch | 0x80) : (Ch & 0x7F)); }

    friend bool operator==(const TIndex &a, const TIndex &b)
    {
        return a.RCh() == b.RCh() && a.Marker == b.Marker && a.Ticks == b.Ticks;
    }
    friend std::int64_t operator-(const TIndex &a, const TIndex &b) { return Diff(a.Ticks, b.Ticks); }
    friend std::int64_t operator-(const TIndex &a, std::uint32_t b) { return Diff(a.Ticks, b); }
    friend std::int64_t operator-(std::uint32_t a, const TIndex &b) { return Diff(a, b.Ticks); }
};
#pragma pack(pop)
static_assert(sizeof(TIndex) == 6, "TIndex is 6 packed bytes");

// Reads the record stored at `bytes` (6 bytes, any alignment).
inline TIndex loadRecord(const std::uint8_t *bytes)
{
    TIndex r;
    std::memcpy(&r, bytes, sizeof r);
    return r;
}

inline void storeRecord(std::uint8_t *bytes, const TIndex &r) { std::memcpy(bytes, &r, sizeof r); }

} // namespace vibrolan
