// Noise generators: seeding rules, the shared state, and the distributions.
#include "sigmath/generators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Independent model of the three congruential generators, used to pin the
// sequence that a given seed must produce.
struct ModelGenerator {
    int64_t x, y, z;
    ModelGenerator(int64_t x0, int64_t y0, int64_t z0) : x(x0), y(y0), z(z0) {}
    explicit ModelGenerator(int32_t seed)
    {
        x = seed == 0 ? 32767 : seed;
        y = (x * 8191) % 16384;
        z = (y * 8191) % 16384;
    }
    int32_t next()
    {
        x = 171 * x % 30269;
        y = 172 * y % 30307;
        z = 170 * z % 30323;
        const double u = std::fmod(x / 30269.0 + y / 30307.0 + z / 30323.0, 1.0);
        return static_cast<int32_t>(u * 32768.0);
    }
};

std::vector<double> uniform(int32_t n, int32_t seed)
{
    std::vector<double> out(static_cast<size_t>(n));
    EXPECT_EQ(Uniform(n, seed, out.data()), 0);
    return out;
}

TEST(Noise, SeedGivesTheModelSequence)
{
    for (int32_t seed : {0, 1, 2385, 30269, 16384, 2147483647}) {
        ModelGenerator model(seed);
        const auto u = uniform(50, seed);
        for (size_t i = 0; i < u.size(); ++i)
            EXPECT_DOUBLE_EQ(u[i], model.next() / 32767.0) << "seed=" << seed << " i=" << i;
    }
}

// The process starts from x = 1234, y = 2345, z = 3456. Checked in a freshly
// started copy of this test program, where no other test has drawn yet.
TEST(NoiseDeathTest, FreshProcessStartsFromTheInitialState)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ModelGenerator model(1234, 2345, 3456);
            std::vector<double> u(5);
            bool same = Uniform(5, -1, u.data()) == 0;
            for (double v : u)
                same = same && v == model.next() / 32767.0;
            std::exit(same ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(Noise, SeedingRules)
{
    // The same non-negative seed repeats the sequence; 0 stands for 32767.
    EXPECT_EQ(uniform(20, 2385), uniform(20, 2385));
    EXPECT_EQ(uniform(20, 0), uniform(20, 32767));
    EXPECT_NE(uniform(20, 2385), uniform(20, 2386));

    // A negative seed continues where the last call stopped, across generators.
    const auto whole = uniform(30, 777);
    auto head = uniform(10, 777);
    const auto tail = uniform(20, -1);
    head.insert(head.end(), tail.begin(), tail.end());
    EXPECT_EQ(head, whole);

    ModelGenerator model(4242);
    std::vector<double> u(1), w(2), g(1);
    ASSERT_EQ(Uniform(1, 4242, u.data()), 0);
    ASSERT_EQ(WhiteNoise(2, 2.385, -7, w.data()), 0);
    ASSERT_EQ(GaussNoise(1, 2.385, -1, g.data()), 0);
    EXPECT_EQ(u[0], model.next() / 32767.0);
    for (double v : w)
        EXPECT_DOUBLE_EQ(v, (model.next() - 16383) * 2.385 / 16384.0);
    int32_t sum = 0;
    for (int j = 0; j < 12; ++j)
        sum += model.next();
    EXPECT_DOUBLE_EQ(g[0], (sum - 196596) * 2.385 / 32768.0);
}

TEST(Noise, DistributionsHaveTheStatedRangeAndMoments)
{
    const int32_t n = 60000;
    std::vector<double> v(n);

    ASSERT_EQ(Uniform(n, 11, v.data()), 0);
    double s = 0, s2 = 0;
    for (double x : v) {
        ASSERT_GE(x, 0.0);
        ASSERT_LE(x, 1.0);
        s += x;
        s2 += x * x;
    }
    EXPECT_NEAR(s / n, 0.5, 0.01);
    EXPECT_NEAR(s2 / n - (s / n) * (s / n), 1.0 / 12, 0.005);

    ASSERT_EQ(WhiteNoise(n, 2.385, 12, v.data()), 0);
    for (double x : v) {
        ASSERT_GE(x, -2.385);
        ASSERT_LE(x, 2.385);
    }

    ASSERT_EQ(GaussNoise(n, 2.385, 13, v.data()), 0);
    s = s2 = 0;
    for (double x : v) {
        s += x;
        s2 += x * x;
    }
    EXPECT_NEAR(s / n, 0.0, 0.05);
    EXPECT_NEAR(std::sqrt(s2 / n - (s / n) * (s / n)), 2.385, 0.05);
}

} // namespace
