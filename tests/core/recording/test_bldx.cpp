#include "base/errors.hpp"
#include "recording/bldx_decoder.hpp"
#include "recording/bldx_encoder.hpp"
#include "recording/channel_dictionary.hpp"
#include "recording/lzw_lex.hpp"
#include "recording/recording_header.hpp"
#include "recording/recording_image.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>

using namespace vibrolan;

namespace {

using Bytes = std::vector<std::uint8_t>;

void putU32(Bytes &out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void putLane(Bytes &out, const Bytes &lane)
{
    putU32(out, static_cast<std::uint32_t>(lane.size()));
    out.insert(out.end(), lane.begin(), lane.end());
}

struct Lanes {
    std::vector<std::uint16_t> low;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> markers;
    Bytes channel;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> high;

    Bytes block() const
    {
        Bytes b, lane;
        for (auto w : low) {
            lane.push_back(static_cast<std::uint8_t>(w));
            lane.push_back(static_cast<std::uint8_t>(w >> 8));
        }
        putLane(b, lane);
        lane.clear();
        for (auto [v, r] : markers) {
            lane.push_back(v);
            lane.push_back(r);
        }
        putLane(b, lane);
        putLane(b, channel);
        lane.clear();
        for (auto [v, r] : high)
            for (auto w : {v, r}) {
                lane.push_back(static_cast<std::uint8_t>(w));
                lane.push_back(static_cast<std::uint8_t>(w >> 8));
            }
        putLane(b, lane);
        return b;
    }
};

// A valid block of n records on channel bytes `ch` (12 literals, then plain codes).
Lanes plainLanes(const Bytes &ch)
{
    Lanes l;
    for (std::size_t i = 0; i < ch.size(); ++i)
        l.low.push_back(static_cast<std::uint16_t>(1000 + 7 * i));
    for (std::size_t left = ch.size(); left > 0;) {
        const auto run = static_cast<std::uint8_t>(std::min<std::size_t>(left, 255));
        l.markers.push_back({0, run});
        left -= run;
    }
    l.channel = ch;
    l.high = {{3, static_cast<std::uint16_t>(ch.size())}};
    return l;
}

// The reference: the channel lane decoded with TLzwLex as the format defines
// it, stopping once more than `cap` bytes came out.
Bytes referenceDecode(const Bytes &lane, std::size_t cap)
{
    TLzwLex lex;
    Bytes out(lane.begin(), lane.begin() + std::min<std::size_t>(12, lane.size()));
    for (auto b : out)
        lex.push(b);
    for (std::size_t c = 12; c < lane.size() && out.size() <= cap; ++c) {
        const std::uint8_t q = lane[c];
        const int len = lex.getlength(q);
        for (int j = 0; j < len; ++j) {
            lex.Expand(lex.LongestStringCode());
            const std::uint8_t s = lex.Getsymbol(q, j);
            out.push_back(s);
            lex.push(s);
        }
    }
    return out;
}

std::optional<Bytes> referenceChannels(const Bytes &lane, std::size_t n)
{
    if (lane.size() < 12 || n < 12)
        return std::nullopt;
    Bytes out = referenceDecode(lane, n);
    if (out.size() != n)
        return std::nullopt;
    return out;
}

std::optional<Bytes> fastChannels(const Bytes &lane, std::size_t n)
{
    Lanes l = plainLanes(Bytes(n, 0));
    l.channel = lane;
    Bytes block = l.block();
    auto view = parseBldxBlock(block);
    Bytes out(6 * n);
    if (!view || !decodeBldxBlock(*view, out.data()))
        return std::nullopt;
    Bytes ch;
    for (std::size_t i = 0; i < n; ++i)
        ch.push_back(out[6 * i]);
    return ch;
}

Bytes headerBytes()
{
    RecordingHeader h;
    h.RecorderCode = 1200;
    h.channels = {{1, 0, "R", 0}, {2, 0, "P", 1}};
    return buildRecordingHeader(h);
}

} // namespace

TEST(LzwDictionary, FirstCodeAfterLiteralsAddsOldestPair)
{
    TLzwLex lex;
    const Bytes lit = {9, 4, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11};
    for (auto b : lit)
        lex.push(b);
    EXPECT_EQ(lex.LongestStringCode(), 9); // nothing found: the oldest window byte
    EXPECT_EQ(lex.Expand(9), 128);
    EXPECT_EQ(lex.getlength(128), 2);
    EXPECT_EQ(lex.Getsymbol(128, 0), 9);
    EXPECT_EQ(lex.Getsymbol(128, 1), 4);
    EXPECT_EQ(lex.getlength(200), 0);

    // The same through the block decoder: code 5 outputs one byte 5.
    Bytes ch = lit;
    Lanes l = plainLanes(Bytes(13, 0));
    l.channel = lit;
    l.channel.push_back(5);
    auto out = fastChannels(l.channel, 13);
    ASSERT_TRUE(out.has_value());
    Bytes want = lit;
    want.push_back(5);
    EXPECT_EQ(*out, want);
    // Code 200 has no string yet: it outputs nothing, so 13 records cannot be filled.
    l.channel.back() = 200;
    EXPECT_FALSE(fastChannels(l.channel, 13).has_value());
    EXPECT_TRUE(fastChannels(l.channel, 12).has_value());
}

TEST(LzwDictionary, EntryIsTakenOnlyWhenFollowedByNonZeroByte)
{
    TLzwLex lex;
    for (std::uint8_t b : {1, 2, 0, 9, 9, 9, 9, 9, 9, 9, 9, 9})
        lex.push(b);
    ASSERT_EQ(lex.Expand(lex.LongestStringCode()), 128); // (1, 2)
    EXPECT_EQ(lex.LongestStringCode(), 1);               // window byte 2 is 0: not taken
    lex.push(1);                                         // window: 2 0 9 ... 9 1
    for (std::uint8_t b : {1, 2, 3, 9, 9, 9, 9, 9, 9, 9, 9, 9})
        lex.push(b);
    EXPECT_EQ(lex.LongestStringCode(), 128);
}

TEST(LzwDictionary, FillsAtOneHundredTwentyEightEntriesAndRestartsPerBlock)
{
    TLzwLex lex;
    for (int i = 0; i < 12; ++i)
        lex.push(static_cast<std::uint8_t>(i + 1));
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(lex.Expand(1), 128 + i);
    EXPECT_EQ(lex.freeRow(), 256);
    EXPECT_EQ(lex.Expand(1), -1);

    // A block that fills the dictionary, then a second block: both decode.
    Bytes ch;
    for (int i = 0; i < 400; ++i)
        ch.push_back(static_cast<std::uint8_t>(i % 7));
    Bytes image = headerBytes();
    for (int blk = 0; blk < 2; ++blk)
        for (std::size_t i = 0; i < ch.size(); ++i) {
            image.insert(image.end(), {ch[i], 0, static_cast<std::uint8_t>(i), 0, 0, 0});
        }
    auto packed = compressRecording(image, {400});
    RecordingMessageSink sink;
    auto r = unpackRecordingImage(packed, sink);
    EXPECT_EQ(r.image, image);
    EXPECT_EQ(r.blocks.size(), 2u);
    EXPECT_TRUE(sink.messages().empty());
}

TEST(BldxBlock, RunLengthLanes)
{
    Bytes ch(256);
    for (int i = 0; i < 256; ++i)
        ch[i] = static_cast<std::uint8_t>(i % 60);
    Lanes l = plainLanes(ch);
    l.channel.assign(ch.begin(), ch.begin() + 12);
    for (int i = 12; i < 256; ++i)
        l.channel.push_back(ch[i]); // plain codes, all below 128
    l.markers = {{0, 200}, {1, 1}, {0, 55}};
    l.high = {{7, 256}};
    Bytes block = l.block();
    RecordingMessageSink sink;
    ASSERT_EQ(DecodeBlock(block, sink), 6 * 256);
    for (int i = 0; i < 256; ++i) {
        const TIndex r = loadRecord(block.data() + 6 * i);
        EXPECT_EQ(r.Marker, i == 200 ? 1 : 0) << i;
        EXPECT_EQ(r.Ticks >> 16, 7u);
        EXPECT_EQ(r.Ticks & 0xFFFF, 1000u + 7 * i);
        EXPECT_EQ(r.Ch, ch[i]);
    }
    EXPECT_TRUE(sink.messages().empty());
}

TEST(BldxBlock, DamagedBlocksShowTheMessageOnce)
{
    Bytes ch(20, 3);
    struct Case {
        const char *what;
        Lanes lanes;
    };
    std::vector<Case> cases;
    Lanes l = plainLanes(ch);
    l.markers = {{0, 19}};
    cases.push_back({"markers add up to N - 1", l});
    l = plainLanes(ch);
    l.high = {{0, 10}, {1, 11}};
    cases.push_back({"high ticks add up to N + 1", l});
    l = plainLanes(ch);
    l.channel.push_back(3);
    cases.push_back({"channel codes give too many bytes", l});
    l = plainLanes(Bytes(11, 3));
    cases.push_back({"fewer than 12 records", l});
    for (const auto &c : cases) {
        Bytes block = c.lanes.block();
        const Bytes before = block;
        RecordingMessageSink sink;
        EXPECT_EQ(DecodeBlock(block, sink), -1) << c.what;
        ASSERT_EQ(sink.messages().size(), 1u) << c.what;
        EXPECT_EQ(sink.messages()[0].caption, "файл поврежден");
        EXPECT_EQ(sink.messages()[0].text, "распаковка не состоялась");
        EXPECT_EQ(block, before) << c.what;
    }
}

TEST(BldxUnpack, DamagedBlockIsSkippedAndOthersStayAligned)
{
    const Bytes header = headerBytes();
    Bytes file = header;
    Bytes ch(12);
    for (int i = 0; i < 12; ++i)
        ch[i] = static_cast<std::uint8_t>(i);
    Lanes good = plainLanes(ch), bad = plainLanes(ch);
    bad.markers = {{0, 11}};
    for (const Lanes *l : {&good, &bad, &good}) {
        Bytes b = l->block();
        file.insert(file.end(), b.begin(), b.end());
    }
    RecordingMessageSink sink;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    auto r = unpackRecordingImage(
        file, sink,
        [&](std::int64_t d, std::int64_t t) {
            progress.push_back({d, t});
        },
        "run.bldx");
    ASSERT_EQ(sink.messages().size(), 1u);
    // The program's text, then the file, the block and what is lost.
    const std::size_t badAt = header.size() + good.block().size();
    EXPECT_EQ(sink.messages()[0].text, "распаковка не состоялась: run.bldx, block 2 at byte " +
                                           std::to_string(badAt) +
                                           ", 12 records lost; the other blocks are read");
    ASSERT_EQ(r.image.size(), header.size() + 2 * 72);
    EXPECT_EQ(r.failedBlocks(), 1u);
    EXPECT_EQ(r.decodedRecords(), 24u);
    EXPECT_EQ(loadRecord(r.image.data() + header.size() + 72).Ch,
              0); // second good block right after the first
    ASSERT_EQ(progress.size(), 3u);
    EXPECT_EQ(progress.back(), (std::pair<std::int64_t, std::int64_t>(file.size(), file.size())));

    // A lane count that runs past the end: one message, the good blocks kept.
    Bytes cut = file;
    cut.resize(cut.size() - 5);
    sink.clear();
    auto t = unpackRecordingImage(cut, sink, {}, "run.bldx");
    EXPECT_TRUE(t.truncated);
    EXPECT_EQ(t.image.size(), header.size() + 72);
    ASSERT_EQ(sink.messages().size(), 2u); // the bad block and the truncated one
    const std::size_t lastAt = badAt + bad.block().size();
    EXPECT_EQ(sink.messages()[1].text, "распаковка не состоялась: run.bldx ends inside block 3 at byte " +
                                           std::to_string(lastAt) + "; its last " +
                                           std::to_string(cut.size() - lastAt) +
                                           " bytes are lost (the file is truncated)");
    // A header length beyond the file, and a file too short for one.
    Bytes longHead = header;
    longHead[6] = 0xFF;
    EXPECT_THROW(unpackRecordingImage(longHead, sink), FormatError);
    EXPECT_THROW(unpackRecordingImage(Bytes{'R', 'e', 'c'}, sink), FormatError);
    Bytes huge = header;
    putU32(huge, 0xFFFFFFF0u); // a lane that claims 4 GB
    sink.clear();
    auto h = unpackRecordingImage(huge, sink);
    EXPECT_TRUE(h.truncated);
    EXPECT_EQ(h.image, header);
}

TEST(BldxCodec, RoundTripIsByteExact)
{
    std::mt19937 rng(12345);
    const Bytes header = headerBytes();
    struct Case {
        const char *what;
        std::size_t n, block;
        std::function<std::uint8_t(std::size_t)> ch;
    };
    const std::vector<Case> cases = {
        {"blade pattern", 5000, 1000,
         [](std::size_t i) { return static_cast<std::uint8_t>(i % 17 == 0 ? 4 : i % 3); }},
        {"random channels", 3000, 500, [&](std::size_t) { return static_cast<std::uint8_t>(rng() % 64); }},
        {"flag bits set", 3000, 300,
         [&](std::size_t) { return static_cast<std::uint8_t>(rng() % 64 | (rng() % 8 == 0 ? 0xC0 : 0)); }},
        {"zeros", 100, 24, [](std::size_t) { return std::uint8_t{0}; }},
        {"exactly 12", 12, 24, [](std::size_t i) { return static_cast<std::uint8_t>(200 + i); }},
        {"flag byte near the end", 40, 1000,
         [](std::size_t i) { return static_cast<std::uint8_t>(i == 37 ? 0xC1 : 1); }},
        {"nothing", 0, 100, [](std::size_t) { return std::uint8_t{0}; }},
    };
    for (const auto &c : cases) {
        std::vector<TIndex> recs;
        std::uint32_t t = 4294000000u;
        for (std::size_t i = 0; i < c.n; ++i) {
            t += 500 + rng() % 3000; // wraps through 0
            recs.push_back({c.ch(i), static_cast<std::uint8_t>(rng() % 50 == 0 ? rng() : 0), t});
        }
        const auto packed = compressRecords(header, recs, {c.block});
        RecordingMessageSink sink;
        const auto r = unpackRecordingImage(packed, sink);
        const auto plain = recordingBytes(RecordingImage::fromBytes(header).header(), recs);
        EXPECT_EQ(r.image, plain) << c.what;
        EXPECT_TRUE(sink.messages().empty()) << c.what;
        EXPECT_EQ(r.decodedRecords(), c.n) << c.what;
    }
    EXPECT_THROW(compressRecords(header, std::vector<TIndex>(5)), ValueError);
    Bytes odd = header;
    odd.push_back(1);
    EXPECT_THROW(compressRecording(odd), ValueError);
}

TEST(BldxCodec, FastDictionaryMatchesTheReference)
{
    std::mt19937 rng(777);
    int compared = 0, valid = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const int flavour = trial % 4;
        Bytes lane;
        for (int i = 0; i < 12; ++i)
            lane.push_back(static_cast<std::uint8_t>(flavour == 0   ? rng() % 4
                                                     : flavour == 1 ? (i % 2) * 128
                                                                    : rng()));
        const int codes = 1 + static_cast<int>(rng() % 300);
        for (int i = 0; i < codes; ++i) {
            switch (flavour) {
            case 0:
                lane.push_back(static_cast<std::uint8_t>(rng() % 3));
                break; // few symbols, zeros
            case 1:
                lane.push_back(static_cast<std::uint8_t>(rng() % 2 ? 0 : 128 + rng() % 128));
                break;
            case 2:
                lane.push_back(static_cast<std::uint8_t>(128 + rng() % 128));
                break; // codes only
            default:
                lane.push_back(static_cast<std::uint8_t>(rng()));
                break;
            }
        }
        // The reference tells how many bytes the lane gives; the fast decoder
        // must give the same bytes at that count and refuse one more or less.
        const std::size_t n = referenceDecode(lane, 12 * lane.size()).size();
        for (std::size_t probe : {n, n + 1, n - 1}) {
            auto want = referenceChannels(lane, probe);
            auto fast = fastChannels(lane, probe);
            ASSERT_EQ(want.has_value(), fast.has_value()) << "trial " << trial << " n " << probe;
            if (want) {
                EXPECT_EQ(*want, *fast) << "trial " << trial;
                ++valid;
            }
            ++compared;
        }
    }
    EXPECT_EQ(compared, 9000);
    EXPECT_GT(valid, 2900); // nearly every lane was compared at its exact length
}
