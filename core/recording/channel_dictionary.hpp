// The channel-lane dictionary of a .bldx block, kept as a trie so that the
// longest-match search walks at most 11 nodes instead of scanning every entry
// of every length. It evolves exactly like TLzwLex: the dictionary depends
// only on the bytes produced so far, one entry per produced byte until 128
// entries exist. Once full nothing can change, so the search is skipped.
#pragma once

#include <array>
#include <cstdint>

namespace vibrolan {

class ChannelDictionary {
public:
    static constexpr int kWindow = 12;

    // Empties the dictionary and loads the 12 literal bytes into the window.
    void reset(const std::uint8_t *literals);

    int length(int code) const { return code < 128 ? 1 : len_[code]; }
    std::uint8_t symbol(int code, int ind) const
    {
        return code < 128 ? static_cast<std::uint8_t>(code) : rows_[code][ind];
    }
    bool full() const { return freerow_ == 256; }
    int freeRow() const { return freerow_; }

    // The dictionary step that precedes every produced byte, then the byte
    // itself enters the window.
    void produce(std::uint8_t b)
    {
        if (freerow_ == 256)
            return;
        expand(longestStringCode());
        for (int i = 0; i + 1 < kWindow; ++i)
            window_[i] = window_[i + 1];
        window_[kWindow - 1] = b;
    }

    // Longest entry equal to target[0 .. n-1] from its start (n <= 12), as
    // (code, length); length 0 when no entry matches. For the encoder.
    std::pair<int, int> longestEntryMatching(const std::uint8_t *target, int n) const;

    int longestStringCode() const;

private:
    static constexpr int kNoCode = -1;
    static constexpr int kTableSize = 1024; // > 2 nodes per entry + root, kept sparse
    void expand(int cod);
    void insert(int code);
    int child(int node, std::uint8_t b) const;
    int childOrCreate(int node, std::uint8_t b);

    std::array<std::array<std::uint8_t, 13>, 256> rows_{};
    std::array<std::uint8_t, 256> len_{};
    int freerow_ = 128;
    std::array<std::uint8_t, kWindow> window_{};

    // Trie: node 0 is the root; nodeCode_ is the lowest code whose string ends there.
    std::array<std::int16_t, 512> nodeCode_{};
    int nodes_ = 1;
    std::array<std::uint32_t, kTableSize> keys_{}; // (parent << 8 | byte) + 1, 0 = empty
    std::array<std::uint16_t, kTableSize> values_{};
    std::array<std::uint16_t, 512> usedSlots_{}; // cleared on reset instead of the whole table
};

} // namespace vibrolan
