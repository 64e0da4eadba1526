#include "recording/bldx_encoder.hpp"

#include "base/errors.hpp"
#include "recording/channel_dictionary.hpp"
#include "recording/headel.hpp"

#include <algorithm>
#include <cstring>

namespace vibrolan {

namespace {

constexpr std::size_t kLit = ChannelDictionary::kWindow;

void putU32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    const std::size_t at = out.size();
    out.resize(at + 4);
    std::memcpy(out.data() + at, &v, 4);
}

void putU16(std::vector<std::uint8_t> &out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Codes channel bytes ch[begin .. limit) greedily (longest dictionary entry,
// else the byte itself when below 128) into `codes`; returns where it stopped:
// `limit`, or the position of a byte no code can produce.
std::size_t codeChannels(const std::uint8_t *ch, std::size_t begin, std::size_t limit,
                         std::vector<std::uint8_t> &codes, std::vector<std::size_t> *ends = nullptr)
{
    ChannelDictionary dict;
    dict.reset(ch + begin);
    std::size_t i = begin + kLit;
    while (i < limit) {
        const int room = static_cast<int>(std::min<std::size_t>(limit - i, 12));
        auto [code, len] = dict.longestEntryMatching(ch + i, room);
        if (len <= 1 && ch[i] < 128) {
            code = ch[i];
            len = 1;
        }
        if (len == 0)
            return i;
        codes.push_back(static_cast<std::uint8_t>(code));
        for (int j = 0; j < len; ++j)
            dict.produce(ch[i + j]);
        i += static_cast<std::size_t>(len);
        if (ends != nullptr)
            ends->push_back(i);
    }
    return i;
}

void appendBlock(std::vector<std::uint8_t> &out, const std::uint8_t *recs, std::size_t n,
                 const std::vector<std::uint8_t> &channelCodes)
{
    putU32(out, static_cast<std::uint32_t>(2 * n));
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(recs[6 * i + 2]);
        out.push_back(recs[6 * i + 3]);
    }
    std::vector<std::uint8_t> lane;
    for (std::size_t i = 0; i < n;) {
        std::size_t run = 1;
        while (i + run < n && run < 255 && recs[6 * (i + run) + 1] == recs[6 * i + 1])
            ++run;
        lane.push_back(recs[6 * i + 1]);
        lane.push_back(static_cast<std::uint8_t>(run));
        i += run;
    }
    putU32(out, static_cast<std::uint32_t>(lane.size()));
    out.insert(out.end(), lane.begin(), lane.end());

    putU32(out, static_cast<std::uint32_t>(kLit + channelCodes.size()));
    for (std::size_t i = 0; i < kLit; ++i)
        out.push_back(recs[6 * i]);
    out.insert(out.end(), channelCodes.begin(), channelCodes.end());

    lane.clear();
    auto high = [&](std::size_t i) {
        std::uint16_t v;
        std::memcpy(&v, recs + 6 * i + 4, 2);
        return v;
    };
    for (std::size_t i = 0; i < n;) {
        std::size_t run = 1;
        while (i + run < n && run < 65535 && high(i + run) == high(i))
            ++run;
        putU16(lane, high(i));
        putU16(lane, static_cast<std::uint16_t>(run));
        i += run;
    }
    putU32(out, static_cast<std::uint32_t>(lane.size()));
    out.insert(out.end(), lane.begin(), lane.end());
}

} // namespace

std::vector<std::uint8_t> compressRecording(std::span<const std::uint8_t> image,
                                            const BldxEncodeOptions &options)
{
    if (!HasHeadSignature(image) || image.size() < 10)
        throw ValueError("only a recording with a \"RecBld\" header can be compressed");
    std::uint32_t headLength;
    std::memcpy(&headLength, image.data() + 6, 4);
    if (headLength > image.size() || (image.size() - headLength) % 6 != 0)
        throw ValueError("the recording does not end on a whole record after its header");
    const std::size_t maxBlock = std::max<std::size_t>(options.blockRecords, 2 * kLit);
    if (maxBlock > (std::size_t{1} << 30))
        throw ValueError("block size too large");

    const std::uint8_t *recs = image.data() + headLength;
    const std::size_t n = (image.size() - headLength) / 6;
    if (n > 0 && n < kLit)
        throw ValueError("a compressed recording needs at least 12 records, got " + std::to_string(n));
    std::vector<std::uint8_t> channels(n);
    for (std::size_t i = 0; i < n; ++i)
        channels[i] = recs[6 * i];

    struct Planned {
        std::size_t begin, end;
        std::vector<std::uint8_t> codes;
        std::vector<std::size_t> ends; // position after each code
    };
    std::vector<Planned> blocks;
    const std::uint8_t *ch = channels.data();
    constexpr std::size_t kTail = 64;
    // Cuts [q, n) into blocks of 12 ... kTail records, searching from the end,
    // so that uncodable bytes near the end of the recording become literals.
    auto planTail = [&](std::size_t q) {
        const std::size_t r = n - q;
        std::vector<std::size_t> next(r + 1, 0);
        std::vector<char> ok(r + 1, 0);
        ok[r] = 1;
        std::vector<std::uint8_t> codes;
        for (std::size_t x = r; x-- > 0;) {
            for (std::size_t b = x + kLit; b <= std::min(r, x + kTail) && !ok[x]; ++b) {
                codes.clear();
                if (ok[b] && codeChannels(ch, q + x, q + b, codes) == q + b) {
                    ok[x] = 1;
                    next[x] = b;
                }
            }
        }
        if (!ok[0])
            return false;
        for (std::size_t x = 0; x < r; x = next[x]) {
            Planned p{q + x, q + next[x], {}, {}};
            codeChannels(ch, p.begin, p.end, p.codes);
            blocks.push_back(std::move(p));
        }
        return true;
    };
    for (std::size_t s = 0; s < n;) {
        std::size_t limit = std::min(s + maxBlock, n);
        if (n - limit > 0 && n - limit < kLit)
            limit = n - kLit; // leave a whole block for the end
        Planned p{s, 0, {}, {}};
        const std::size_t stop = codeChannels(ch, s, limit, p.codes, &p.ends);
        if (stop == limit || n - stop >= kLit) {
            // Complete, or the uncodable byte opens the next block as a literal.
            p.end = stop;
            s = stop;
            blocks.push_back(std::move(p));
            continue;
        }
        // Re-plan the tail from a block boundary some way back: pop whole
        // blocks until the region is long enough, then keep the popped block's
        // codes up to its last code boundary before the region.
        constexpr std::size_t kRegion = 2 * kTail;
        std::size_t q = s;
        while (n - q < kRegion && !blocks.empty()) {
            Planned prev = std::move(blocks.back());
            blocks.pop_back();
            q = prev.begin;
            if (n - q < kRegion)
                continue;
            for (std::size_t k = prev.ends.size(); k-- > 0;) {
                if (prev.ends[k] + kRegion <= n) {
                    prev.end = prev.ends[k];
                    prev.codes.resize(k + 1);
                    prev.ends.resize(k + 1);
                    q = prev.end;
                    blocks.push_back(std::move(prev));
                    break;
                }
            }
        }
        if (!planTail(q))
            throw ValueError("channel byte " + std::to_string(ch[stop]) + " at record " +
                             std::to_string(stop) +
                             " cannot be coded this close to the end of the recording");
        break;
    }

    std::vector<std::uint8_t> out(image.begin(), image.begin() + headLength);
    out.reserve(headLength + n * 3);
    for (const auto &b : blocks)
        appendBlock(out, recs + 6 * b.begin, b.end - b.begin, b.codes);
    return out;
}

std::vector<std::uint8_t> compressRecords(std::span<const std::uint8_t> header,
                                          std::span<const TIndex> records, const BldxEncodeOptions &options)
{
    std::vector<std::uint8_t> image(header.begin(), header.end());
    const std::size_t at = image.size();
    image.resize(at + 6 * records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        storeRecord(image.data() + at + 6 * i, records[i]);
    return compressRecording(image, options);
}

} // namespace vibrolan
