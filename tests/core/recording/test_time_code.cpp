#include "recording/time_code_automat.hpp"

#include <gtest/gtest.h>

#include <array>

using namespace vibrolan;

namespace {

constexpr std::uint32_t kTicksPerUs = 40;

std::uint32_t reverse4(std::uint32_t g)
{
    return ((g & 1) << 3) | ((g & 2) << 1) | ((g & 4) >> 1) | ((g & 8) >> 3);
}

// Feeds pulses at the given microsecond intervals.
struct SevFeeder {
    TUnTimeAutomat a;
    std::uint32_t t = 4294967295u - 100000; // the counter wraps during the test
    void interval(double us)
    {
        t += static_cast<std::uint32_t>(us * kTicksPerUs);
        a.NewStick(t);
    }
    void settle()
    {
        a.NewStick(t); // the first pulse is a disturbance (interval from 0)
        for (int i = 0; i < 5; ++i)
            interval(1000);
    }
};

} // namespace

TEST(SevTimeCode, CodeWordSetsSecondsFromBcd)
{
    SevFeeder f;
    f.settle();
    ASSERT_EQ(f.a.state(), TAutomState::WaitStart);
    EXPECT_EQ(f.a.noise(), 0u);

    // 12345678: the least significant group carries the first decimal digit.
    std::uint32_t shifter = 0;
    for (int g = 0; g < 8; ++g)
        shifter |= reverse4(static_cast<std::uint32_t>(g + 1)) << (4 * g);
    ASSERT_EQ(TUnTimeAutomat::bcdValue(shifter), 12345678u);

    f.interval(80);
    f.interval(920);
    EXPECT_EQ(f.a.state(), TAutomState::WaitCode);
    for (int bit = 31; bit >= 0; --bit) {
        if ((shifter >> bit) & 1) {
            f.interval(80);
            f.interval(920);
        } else {
            f.interval(1000);
        }
    }
    EXPECT_EQ(f.a.second(), 12345678u);
    EXPECT_EQ(f.a.ms, 32u);
    EXPECT_EQ(f.a.state(), TAutomState::WaitStart);
    EXPECT_EQ(f.a.nbits(), 0u);

    // Between code words time runs on at one millisecond per 1000 us interval.
    for (int i = 0; i < 968; ++i)
        f.interval(1000);
    EXPECT_EQ(f.a.second(), 12345679u);
    EXPECT_EQ(f.a.ms, 0u);
}

TEST(SevTimeCode, DisturbancesAndNoiseCounts)
{
    SevFeeder f;
    f.settle();
    f.interval(80);
    f.interval(920);
    f.interval(500); // fits no class in WaitCode
    EXPECT_EQ(f.a.state(), TAutomState::WaitAfterNoise);
    EXPECT_EQ(f.a.noise(), 200u);
    for (int i = 0; i < 199; ++i)
        f.interval(1000);
    EXPECT_EQ(f.a.state(), TAutomState::WaitAfterNoise);
    f.interval(1000);
    EXPECT_EQ(f.a.state(), TAutomState::WaitStart);

    // A step backwards counts as a zero interval: a disturbance from WaitStart gives 5.
    f.t -= 1000;
    f.a.NewStick(f.t);
    EXPECT_EQ(f.a.state(), TAutomState::WaitAfterNoise);
    EXPECT_EQ(f.a.noise(), 5u);

    // Interval classes at the tolerance edges (2.25 us).
    struct Case {
        double us;
        bool valid;
    };
    for (const Case &c : {Case{77.8, true}, Case{77.7, false}, Case{82.2, true}, Case{82.3, false},
                          Case{1002.2, true}, Case{1002.3, false}}) {
        SevFeeder g;
        g.settle();
        g.interval(c.us); // 80 or 1000 are both valid in WaitStart
        EXPECT_EQ(g.a.state() != TAutomState::WaitAfterNoise, c.valid) << c.us;
    }
    EXPECT_EQ(TUnTimeAutomat::bcdValue(0xFFFFFFFF), 166666665u); // groups above 9 enter unchanged
}

namespace {

struct IrigFeeder {
    TUnTimeAutomat a;
    std::uint32_t edge = 4294967295u - 3 * 400000;
    IrigFeeder()
    {
        a.setTipeOfTime(TTypeOfTime::IRIG);
        a.NewStick(edge); // resynchronises on the first pulse
    }
    void element(int e)
    {
        edge += 400000;
        const std::int64_t off = e == 888 ? 300 : e == 1 ? -120000 : -240000;
        a.NewStick(static_cast<std::uint32_t>(edge + off));
    }
    // One frame: markers at 0 and 9, 19, ... 99; the given elements elsewhere.
    void frame(const std::array<int, 100> &bits)
    {
        for (int k = 0; k < 100; ++k)
            element(k == 0 || k % 10 == 9 ? 888 : bits[static_cast<std::size_t>(k)]);
    }
};

std::array<int, 100> frameFor(int yearDigits, int day, int secondOfDay)
{
    std::array<int, 100> b{};
    // BCD digits, four bits each (the hundreds of the day have two).
    auto digit = [&](int value, int first, int bits) {
        for (int i = 0; i < bits; ++i)
            b[static_cast<std::size_t>(first + i)] = (value >> i) & 1;
    };
    digit(yearDigits % 10, 50, 4);
    digit(yearDigits / 10, 55, 4);
    digit(day % 10, 30, 4);
    digit(day / 10 % 10, 35, 4);
    digit(day / 100, 40, 2);
    for (int i = 0; i <= 8; ++i)
        b[static_cast<std::size_t>(80 + i)] = (secondOfDay >> i) & 1;
    for (int i = 9; i <= 16; ++i)
        b[static_cast<std::size_t>(81 + i)] = (secondOfDay >> i) & 1;
    return b;
}

} // namespace

TEST(IrigTimeCode, FrameGivesSecondsSince1899)
{
    EXPECT_EQ(TUnTimeAutomat::daysSince18991230(2020, 1), 43831);
    IrigFeeder f;
    EXPECT_EQ(f.a.flagIrig(), 90);
    f.frame(frameFor(0, 0, 0)); // settles the resynchronisation; year 2000 is ignored
    EXPECT_EQ(f.a.flagIrig(), 0);
    EXPECT_EQ(f.a.second(), 1u); // 101 pulses of 10 ms
    f.frame(frameFor(20, 1, 0));
    f.element(888); // reference marker of the next frame closes it
    EXPECT_EQ(f.a.year(), 2020u);
    EXPECT_EQ(f.a.day(), 1u);
    EXPECT_EQ(f.a.second(), 3786998400u);
    EXPECT_EQ(f.a.ms, 0u);

    // Seconds of day and a date past 2036 that a 32-bit count could not hold.
    IrigFeeder g;
    g.frame(frameFor(0, 0, 0));
    g.frame(frameFor(40, 366, 86399));
    g.element(888);
    EXPECT_EQ(g.a.day(), 366u);
    EXPECT_EQ(g.a.second(),
              static_cast<std::uint64_t>(TUnTimeAutomat::daysSince18991230(2040, 366)) * 86400 + 86399);
    EXPECT_GT(g.a.second(), UINT64_C(4294967296));
}

TEST(IrigTimeCode, OutOfRangeYearAndResyncLeaveTimeRunning)
{
    IrigFeeder f;
    f.frame(frameFor(0, 0, 0));
    f.frame(frameFor(9, 1, 0)); // 2009
    f.element(888);
    EXPECT_EQ(f.a.year(), 2009u);
    EXPECT_EQ(f.a.second(), 2u); // 202 pulses of 10 ms, nothing decoded
    EXPECT_EQ(f.a.ms, 20u);

    // A pulse matching no element resynchronises and blocks decoding for 90 frames.
    f.edge += 400000;
    f.a.NewStick(f.edge + 50000);
    EXPECT_EQ(f.a.flagIrig(), 90);
    EXPECT_EQ(f.a.element(100), TUnTimeAutomat::kIrigUnknown);
    f.edge += 50000;
    const auto bits = frameFor(20, 1, 0);
    for (int k = 50; k < 100; ++k) // a frame tail closes while the flag is still up
        f.element(k % 10 == 9 ? 888 : bits[static_cast<std::size_t>(k)]);
    f.element(888);
    EXPECT_EQ(f.a.flagIrig(), 39);
    EXPECT_EQ(f.a.year(), 2009u);
    f.frame(bits);
    f.element(888);
    EXPECT_EQ(f.a.year(), 2020u);
    EXPECT_EQ(f.a.second(), 3786998400u);
}
