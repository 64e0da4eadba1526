#include "base/errors.hpp"
#include "base/histogram.hpp"
#include "base/message_sink.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace vibrolan;

TEST(Histogram, RangeInEitherOrderAndEdges)
{
    RecordingMessageSink sink;
    const THistogramm h(4, 2, 0, sink);
    EXPECT_EQ(h.bounds(), (std::vector<double>{0, 0.5, 1, 1.5, 2}));
    EXPECT_EQ(h.fmedian(), 1);
    EXPECT_EQ(h.Step(), 0.5);
    EXPECT_EQ(h.Ns(), 4);
    EXPECT_EQ(h.Count(), 0u);
    EXPECT_EQ(h.MV(), 0);
    EXPECT_EQ(h.RMSV(), 0);
    EXPECT_THROW(THistogramm(0, 0, 1, sink), ValueError);
    EXPECT_THROW(THistogramm(-3, 0, 1, sink), ValueError);
}

TEST(Histogram, BinsMomentsAndDensity)
{
    RecordingMessageSink sink;
    THistogramm h(4, 2, 0, sink);
    h.Add(0);
    h.Add(0.5);
    EXPECT_EQ(h.readdens(0), 0.0f); // too few values for a density
    h.Add(1.9);
    EXPECT_TRUE(sink.messages().empty());

    const std::uint32_t expected[] = {1, 1, 0, 1};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(h.readonestick(i), expected[i]) << i;
    EXPECT_EQ(h.stmax(), 1u);
    EXPECT_EQ(h.Count(), 3u);
    EXPECT_NEAR(h.MV(), 0.8, 1e-12);
    EXPECT_NEAR(h.RMSV(), std::sqrt((1 + 0.25 + 0.81) / 3 - 0.04), 1e-12);
    EXPECT_NEAR(h.RMSV(), 0.804, 5e-4);
    EXPECT_FLOAT_EQ(h.readdens(0), static_cast<float>(1.0 / 3 / 0.5));
    EXPECT_EQ(h.readdens(2), 0.0f);

    // One wrap each way.
    EXPECT_EQ(h.readonestick(-1), h.readonestick(3));
    EXPECT_EQ(h.readonestick(4), h.readonestick(0));
    EXPECT_EQ(h.density(-4), h.density(0));
    EXPECT_THROW(h.readonestick(8), ValueError);
    EXPECT_THROW(h.readdens(-5), ValueError);

    h.Add(0.1);
    EXPECT_EQ(h.stmax(), 2u);
}

TEST(Histogram, OverrunningValuesEnterOnlyTheMoments)
{
    RecordingMessageSink sink;
    THistogramm h(4, 0, 2, sink);
    const std::vector<double> values{2, -0.001, std::numeric_limits<double>::quiet_NaN(),
                                     std::numeric_limits<double>::infinity()};
    h.AddN(std::span<const double>(values.data(), 2));
    ASSERT_EQ(sink.messages().size(), 2u);
    EXPECT_EQ(sink.messages()[0].caption, "histogramm");
    EXPECT_EQ(sink.messages()[0].text, "Overrunning");
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(h.readonestick(i), 0u);
    EXPECT_EQ(h.Count(), 2u);
    EXPECT_NEAR(h.MV(), (2 - 0.001) / 2, 1e-12);

    // Values no bin can hold are reported, never binned.
    h.Add(values[2]);
    h.Add(values[3]);
    EXPECT_EQ(sink.messages().size(), 4u);
    EXPECT_EQ(h.stmax(), 0u);
}

TEST(Histogram, ValueJustBelowTheTopLandsInTheLastBin)
{
    RecordingMessageSink sink;
    THistogramm h(100, 0, 1, sink);
    h.Add(std::nextafter(1.0, 0.0));
    EXPECT_TRUE(sink.messages().empty());
    EXPECT_EQ(h.readonestick(99), 1u);
}

TEST(Histogram, ZeroWidthRangeIgnoresValues)
{
    RecordingMessageSink sink;
    THistogramm h(10, 3, 3, sink);
    for (double x : {3.0, 4.0, -1.0})
        h.Add(x);
    EXPECT_EQ(h.Count(), 0u);
    EXPECT_EQ(h.MV(), 0);
    EXPECT_EQ(h.RMSV(), 0);
    EXPECT_EQ(h.readdens(5), 0.0f);
    EXPECT_TRUE(sink.messages().empty());
}

TEST(Histogram, ClearKeepsTheRange)
{
    RecordingMessageSink sink;
    THistogramm h(2, 0, 10, sink);
    for (double x : {1.0, 2.0, 7.0})
        h.Add(x);
    h.Clear();
    EXPECT_EQ(h.Count(), 0u);
    EXPECT_EQ(h.stmax(), 0u);
    EXPECT_EQ(h.readonestick(0), 0u);
    EXPECT_EQ(h.MV(), 0);
    EXPECT_EQ(h.bounds(), (std::vector<double>{0, 5, 10}));
    // Equal values: the variance must not come out as a tiny negative number.
    // (Ten times 0.3 around the middle 5 gives -7e-15 without the guard.)
    for (int i = 0; i < 10; ++i)
        h.Add(0.3);
    EXPECT_EQ(h.RMSV(), 0);
    EXPECT_NEAR(h.MV(), 0.3, 1e-12);
}
