#include "recording/channel_dictionary.hpp"

#include <cstring>

namespace vibrolan {

void ChannelDictionary::reset(const std::uint8_t *literals)
{
    std::memset(len_.data(), 0, len_.size());
    // Rows are only ever written once, at freerow, so only rows of this block
    // would need clearing; bytes past a string's end must read as 0.
    for (int r = 128; r < freerow_; ++r)
        rows_[r].fill(0);
    freerow_ = 128;
    std::memcpy(window_.data(), literals, kWindow);
    for (int i = 0; i + 1 < nodes_; ++i)
        keys_[usedSlots_[i]] = 0;
    nodes_ = 1;
    nodeCode_[0] = kNoCode;
}

int ChannelDictionary::child(int node, std::uint8_t b) const
{
    const std::uint32_t key = ((static_cast<std::uint32_t>(node) << 8) | b) + 1;
    std::uint32_t slot = (key * 2654435761u) >> 22; // top 10 bits
    while (keys_[slot] != 0) {
        if (keys_[slot] == key)
            return values_[slot];
        slot = (slot + 1) & (kTableSize - 1);
    }
    return -1;
}

int ChannelDictionary::childOrCreate(int node, std::uint8_t b)
{
    const std::uint32_t key = ((static_cast<std::uint32_t>(node) << 8) | b) + 1;
    std::uint32_t slot = (key * 2654435761u) >> 22;
    while (keys_[slot] != 0) {
        if (keys_[slot] == key)
            return values_[slot];
        slot = (slot + 1) & (kTableSize - 1);
    }
    usedSlots_[nodes_ - 1] = static_cast<std::uint16_t>(slot);
    const int created = nodes_++;
    nodeCode_[created] = kNoCode;
    keys_[slot] = key;
    values_[slot] = static_cast<std::uint16_t>(created);
    return created;
}

void ChannelDictionary::insert(int code)
{
    int node = 0;
    for (int i = 0; i < len_[code]; ++i)
        node = childOrCreate(node, rows_[code][i]);
    if (nodeCode_[node] == kNoCode)
        nodeCode_[node] = static_cast<std::int16_t>(code); // codes grow: the first is the lowest
}

int ChannelDictionary::longestStringCode() const
{
    // An entry of length L is taken when its bytes equal window 0 .. L-1 and
    // window byte L is not 0 (its row is 0 past the end); longest L wins, and
    // among equal strings the lowest code.
    int best = window_[0];
    int node = child(0, window_[0]);
    for (int depth = 2; depth <= 11 && node >= 0; ++depth) {
        node = child(node, window_[depth - 1]);
        if (node < 0)
            break;
        if (nodeCode_[node] != kNoCode && window_[depth] != 0)
            best = nodeCode_[node];
    }
    return best;
}

void ChannelDictionary::expand(int cod)
{
    const int len = length(cod);
    if (freerow_ == 256 || len >= 12)
        return;
    auto &row = rows_[freerow_];
    if (cod >= 128) {
        for (int i = 0; i < len; ++i)
            row[i] = rows_[cod][i];
        row[len] = window_[len];
        len_[freerow_] = static_cast<std::uint8_t>(len + 1);
    } else {
        row[0] = static_cast<std::uint8_t>(cod);
        row[1] = window_[1];
        len_[freerow_] = 2;
    }
    insert(freerow_);
    ++freerow_;
}

std::pair<int, int> ChannelDictionary::longestEntryMatching(const std::uint8_t *target, int n) const
{
    std::pair<int, int> best{0, 0};
    int node = 0;
    for (int depth = 1; depth <= n && depth <= 12; ++depth) {
        node = child(node, target[depth - 1]);
        if (node < 0)
            break;
        if (nodeCode_[node] != kNoCode)
            best = {nodeCode_[node], depth};
    }
    return best;
}

} // namespace vibrolan
