#include "base/errors.hpp"
#include "base/ring_buffers.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <vector>

using namespace vibrolan;

TEST(RingBuffers, WrapsAndReadsInLogicalOrder)
{
    TCBuff b(4);
    for (float x : {1.f, 2.f, 3.f, 4.f, 5.f, 6.f})
        b.Add(x);
    EXPECT_EQ(std::vector<float>(b.physical().begin(), b.physical().end()), (std::vector<float>{5, 6, 3, 4}));
    EXPECT_EQ(b.innInd(), 2u);
    EXPECT_EQ(b.GetX(0), 3.f);
    EXPECT_EQ(b.GetX(3), 6.f);
    EXPECT_EQ(b.GetX(7), 6.f); // positions are reduced modulo Size
    std::array<float, 4> row{};
    b.GetRow(row);
    EXPECT_EQ(row, (std::array<float, 4>{3, 4, 5, 6}));
    EXPECT_EQ(b.completeness(), 4u);

    b.SetX(1, 40.f);
    EXPECT_EQ(b.physical()[3], 40.f);
}

TEST(RingBuffers, ArrayAddCounterIsNotClampedButStopsGrowing)
{
    TCDBuff b(10);
    b.setCompleteness(8);
    const double five[5] = {1, 2, 3, 4, 5};
    b.Add(five, 5);
    EXPECT_EQ(b.completeness(), 13u);
    b.Add(five, 5);
    EXPECT_EQ(b.completeness(), 13u);

    TCCardBuff c(3);
    const std::uint32_t one = 9;
    for (int i = 0; i < 5; ++i)
        c.Add(&one, 1);
    EXPECT_EQ(c.completeness(), 3u);
}

TEST(RingBuffers, MinMaxTiesKeepLowestPhysicalIndex)
{
    TCBuff b(4);
    for (float x : {9.f, 2.f, 7.f, 2.f, 11.f, 11.f}) // physical 11 11 7 2, InnInd 2
        b.Add(x);
    EXPECT_EQ(b.Min(), 2.f);
    EXPECT_EQ(b.indOfMin(), 1u); // physical 3 -> logical (3 + 4 - 2) % 4
    EXPECT_EQ(b.Max(), 11.f);
    EXPECT_EQ(b.indOfMax(), 2u); // physical 0 is the lower of the two 11s
}

TEST(RingBuffers, FillRestartsCounterAndGivesFlatStatistics)
{
    TCDBuff b(5);
    const double xs[3] = {1, 2, 3};
    b.Add(xs, 3);
    b.Fill(7);
    EXPECT_EQ(b.completeness(), 0u);
    EXPECT_EQ(b.innInd(), 3u);
    EXPECT_EQ(b.Min(), 7);
    EXPECT_EQ(b.Max(), 7);
    EXPECT_EQ(b.MinMaxMean().Mean, 7);
}

TEST(RingBuffers, SmoothingAndRms)
{
    TCBuff s(8);
    s.Add(10.0f);
    EXPECT_DOUBLE_EQ(s.Smooth(), 1.0);

    TCDBuff b(3);
    for (double x : {1.0, 2.0, 3.0})
        b.Add(x);
    const TMMM m = b.MinMaxMean();
    EXPECT_EQ(m, (TMMM{1.f, 3.f, 2.0}));
    EXPECT_DOUBLE_EQ(b.RMS(), 1.0);
    // MinMaxMean replaced the smoothed mean; smoothing continues from it.
    b.Add(12.0);
    EXPECT_DOUBLE_EQ(b.Smooth(), 0.9 * 2.0 + 0.1 * 12.0);

    // The cardinal ring does not smooth: RMS stays around the last MinMaxMean.
    TCCardBuff c(3);
    const std::uint32_t cs[3] = {10, 20, 30};
    c.Add(cs, 3);
    EXPECT_EQ(c.MinMaxMean().Mean, 20.0);
    const std::uint32_t big = 1000;
    c.Add(&big, 1);
    EXPECT_DOUBLE_EQ(c.meanv(), 20.0);
    EXPECT_FLOAT_EQ(c.RMS(), static_cast<float>(std::sqrt((980.0 * 980 + 0 + 100) / 2)));
}

TEST(RingBuffers, StartValuesAndExtremes)
{
    TCCardBuff c(4);
    c.Fill(4294967295u);
    EXPECT_EQ(c.Min(), 4294967295u);
    TCCardBuff z(4);
    EXPECT_EQ(z.Max(), 0u); // fresh storage is zeroed
    EXPECT_EQ(TCBuff::startMin(), static_cast<double>(FLT_MAX));
    EXPECT_EQ(TCBuff::startMax(), -static_cast<double>(FLT_MAX));
    EXPECT_EQ(TCDBuff::startMin(), DBL_MAX);

    TCBuff empty(0);
    EXPECT_EQ(empty.Min(), 0.f);
    EXPECT_EQ(empty.Max(), 0.f);
}

TEST(RingBuffers, MisuseIsRefusedNotUndefined)
{
    EXPECT_THROW(TCBuff(-1), ValueError);
    TCByteBuff empty(0);
    const std::uint8_t x = 1;
    EXPECT_THROW(empty.Add(&x, 1), ValueError);
    EXPECT_THROW((void)empty.GetX(0), ValueError);

    TCByteBuff b(4);
    b.Fill(0xAB);
    std::array<std::uint8_t, 3> shortRow{1, 2, 3};
    EXPECT_THROW(b.GetRow(shortRow), ValueError);
    EXPECT_EQ(shortRow, (std::array<std::uint8_t, 3>{1, 2, 3})); // nothing written
}
