#include "config/extended_float.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using vibrolan::config::doubleToExtended;
using vibrolan::config::ExtendedBytes;
using vibrolan::config::extendedToDouble;

namespace {

ExtendedBytes make(std::uint64_t mantissa, std::uint16_t signExponent)
{
    ExtendedBytes b{};
    for (int i = 0; i < 8; ++i)
        b[i] = static_cast<std::uint8_t>(mantissa >> (8 * i));
    b[8] = static_cast<std::uint8_t>(signExponent);
    b[9] = static_cast<std::uint8_t>(signExponent >> 8);
    return b;
}

std::uint64_t bitsOf(double d) { return std::bit_cast<std::uint64_t>(d); }

} // namespace

TEST(ExtendedFloat, KnownEncodingsBothWays)
{
    struct Case {
        double value;
        std::uint64_t mantissa;
        std::uint16_t signExponent;
    };
    const Case cases[] = {
        {0.0, 0, 0},
        {-0.0, 0, 0x8000},
        {1.0, 0x8000000000000000ULL, 0x3FFF},
        {-2.0, 0x8000000000000000ULL, 0xC000},
        {1000.0, 0xFA00000000000000ULL, 0x4008},
        {0.1, 0xCCCCCCCCCCCCD000ULL, 0x3FFB},
        {DBL_MAX, 0xFFFFFFFFFFFFF800ULL, 0x43FE},
        {DBL_MIN, 0x8000000000000000ULL, 0x3C01},
        // The smallest double denormal is a normal extended number.
        {std::numeric_limits<double>::denorm_min(), 0x8000000000000000ULL, 0x3BCD},
        {std::numeric_limits<double>::infinity(), 0x8000000000000000ULL, 0x7FFF},
        {-std::numeric_limits<double>::infinity(), 0x8000000000000000ULL, 0xFFFF},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(doubleToExtended(c.value), make(c.mantissa, c.signExponent));
        EXPECT_EQ(bitsOf(extendedToDouble(make(c.mantissa, c.signExponent))), bitsOf(c.value));
    }
}

TEST(ExtendedFloat, EveryDoubleSurvivesBitExactly)
{
    std::mt19937_64 rng(20240611);
    for (int i = 0; i < 200000; ++i) {
        std::uint64_t bits = rng();
        if (i % 4 == 0)
            bits &= 0x800FFFFFFFFFFFFFULL; // denormals
        const double d = std::bit_cast<double>(bits);
        const double back = extendedToDouble(doubleToExtended(d));
        if (std::isnan(d))
            ASSERT_TRUE(std::isnan(back));
        else
            ASSERT_EQ(bitsOf(back), bits) << std::hexfloat << d;
    }
}

TEST(ExtendedFloat, NarrowingRoundsToNearestEven)
{
    // 1 + 2^-53 is halfway between 1 and the next double: ties go to the even one (1).
    EXPECT_EQ(extendedToDouble(make(0x8000000000000400ULL, 0x3FFF)), 1.0);
    // 1 + 3 * 2^-53 is halfway between two doubles whose even neighbour is above.
    EXPECT_EQ(extendedToDouble(make(0x8000000000000C00ULL, 0x3FFF)), 1.0 + 4 * 0x1p-53);
    EXPECT_EQ(extendedToDouble(make(0x8000000000000401ULL, 0x3FFF)), 1.0 + 0x1p-52);
    // Beyond the double range: infinity; below half the smallest denormal: zero.
    EXPECT_TRUE(std::isinf(extendedToDouble(make(0x8000000000000000ULL, 0x4400))));
    EXPECT_EQ(bitsOf(extendedToDouble(make(0x8000000000000000ULL, 0x8001))), bitsOf(-0.0));
    // Exactly half the smallest denormal ties to zero, just above it to the denormal.
    EXPECT_EQ(extendedToDouble(make(0x8000000000000000ULL, 0x3BCC)), 0.0);
    EXPECT_EQ(extendedToDouble(make(0x8000000000000001ULL, 0x3BCC)),
              std::numeric_limits<double>::denorm_min());
    // Rounding up out of the denormal range gives the smallest normal number.
    EXPECT_EQ(extendedToDouble(make(0xFFFFFFFFFFFFFFFFULL, 0x3C00)), DBL_MIN);
    // A NaN stays a NaN even when its payload sits only in the low bits.
    EXPECT_TRUE(std::isnan(extendedToDouble(make(0x8000000000000001ULL, 0x7FFF))));
}

// Where the compiler's long double is the same 80-bit format, it is an
// independent oracle for the narrowing of arbitrary patterns.
TEST(ExtendedFloat, AgreesWithHardwareExtendedNarrowing)
{
    if (std::numeric_limits<long double>::digits != 64 ||
        std::numeric_limits<long double>::max_exponent != 16384)
        GTEST_SKIP() << "long double is not the 80-bit extended format here";
    std::mt19937_64 rng(7);
    for (int i = 0; i < 200000; ++i) {
        std::uint64_t mantissa = rng() | 0x8000000000000000ULL; // normal numbers only
        std::uint16_t se = static_cast<std::uint16_t>(rng());
        if (i % 2 == 0) // concentrate around the double range and its denormal edge
            se = static_cast<std::uint16_t>((se & 0x8000) | (0x3BA0 + (rng() % 0x900)));
        if ((se & 0x7FFF) == 0x7FFF || (se & 0x7FFF) == 0)
            continue;
        const ExtendedBytes b = make(mantissa, se);
        long double ld = 0;
        std::memcpy(&ld, b.data(), 10);
        const auto expected = static_cast<double>(ld);
        ASSERT_EQ(bitsOf(extendedToDouble(b)), bitsOf(expected)) << std::hex << mantissa << " " << se;
    }
}
