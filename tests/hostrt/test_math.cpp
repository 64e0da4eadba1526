// Math exports: values, the error number rules, both result forms, and the
// floating-point exception mask set at registration.
#include "hostrt/hostrt.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <limits>
#include <thread>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct MathCase {
    const char *what;
    double (*f)();
    double expected; // NaN means "expect NaN"
    int32_t errnoAfter; // 0: untouched
};

} // namespace

TEST(HostRtMath, ValuesAndErrorNumbers)
{
    const MathCase cases[] = {
        {"pow(0,0)", [] { return hrt_pow_FLTREG_(0, 0); }, 1.0, 0},
        {"pow(0,2.385)", [] { return hrt_pow_FLTREG_(0, 2.385); }, 0.0, 0},
        {"pow(-2,3)", [] { return hrt_pow_FLTREG_(-2, 3); }, -8.0, 0},
        {"pow(-2,4)", [] { return hrt_pow_FLTREG_(-2, 4); }, 16.0, 0},
        {"pow(-2,-1)", [] { return hrt_pow_FLTREG_(-2, -1); }, -0.5, 0},
        {"pow(2.385,1.5)", [] { return hrt_pow_FLTREG_(2.385, 1.5); }, std::pow(2.385, 1.5), 0},
        {"pow(-2,0.5)", [] { return hrt_pow_FLTREG_(-2, 0.5); }, NAN, HOSTRT_EDOM},
        {"pow(0,-1)", [] { return hrt_pow_FLTREG_(0, -1); }, kInf, HOSTRT_EDOM},
        {"pow(10,400)", [] { return hrt_pow_FLTREG_(10, 400); }, kInf, HOSTRT_ERANGE},
        {"pow(-10,401)", [] { return hrt_pow_FLTREG_(-10, 401); }, -kInf, HOSTRT_ERANGE},
        {"pow(NaN,0)", [] { return hrt_pow_FLTREG_(NAN, 0); }, NAN, 0},
        {"log(0)", [] { return hrt_log_FLTREG_(0); }, -kInf, HOSTRT_ERANGE},
        {"log(-1)", [] { return hrt_log_FLTREG_(-1); }, NAN, HOSTRT_EDOM},
        {"log(2.385)", [] { return hrt_log_FLTREG_(2.385); }, std::log(2.385), 0},
        {"log10(0)", [] { return hrt_log10_FLTREG_(0); }, -kInf, HOSTRT_ERANGE},
        {"log10(-3)", [] { return hrt_log10_FLTREG_(-3); }, NAN, HOSTRT_EDOM},
        {"log10(1000)", [] { return hrt_log10_FLTREG_(1000); }, 3.0, 0},
        {"sqrt(-1)", [] { return hrt_sqrt_FLTREG_(-1); }, NAN, HOSTRT_EDOM},
        {"sqrt(6.25)", [] { return hrt_sqrt_FLTREG_(6.25); }, 2.5, 0},
        {"exp(1000)", [] { return hrt_exp_FLTREG_(1000); }, kInf, HOSTRT_ERANGE},
        {"exp(-1000)", [] { return hrt_exp_FLTREG_(-1000); }, 0.0, 0},
        {"acos(1.5)", [] { return hrt_acos_FLTREG_(1.5); }, NAN, HOSTRT_EDOM},
        {"asin(-1.5)", [] { return hrt_asin_FLTREG_(-1.5); }, NAN, HOSTRT_EDOM},
        {"acos(-1)", [] { return hrt_acos_FLTREG_(-1); }, M_PI, 0},
        {"acos(0.3)", [] { return hrt_acos_FLTREG_(0.3); }, std::acos(0.3), 0},
        {"asin(1)", [] { return hrt_asin_FLTREG_(1); }, M_PI / 2, 0},
        {"asin(-0.7)", [] { return hrt_asin_FLTREG_(-0.7); }, std::asin(-0.7), 0},
        {"atan2(1,-1)", [] { return hrt_atan2_FLTREG_(1, -1); }, 3 * M_PI / 4, 0},
        {"fmod(-7.5,2)", [] { return hrt_fmod_FLTREG_(-7.5, 2); }, -1.5, 0},
        {"ldexp(1.5,4)", [] { return hrt_ldexp_FLTREG_(1.5, 4); }, 24.0, 0},
        {"ceil(-2.5)", [] { return hrt_ceil_FLTREG_(-2.5); }, -2.0, 0},
        {"floor(-2.5)", [] { return hrt_floor_FLTREG_(-2.5); }, -3.0, 0},
        {"fabs(-2.385)", [] { return hrt_fabs_FLTREG_(-2.385); }, 2.385, 0},
        {"tan(0.5)", [] { return hrt_tan_FLTREG_(0.5); }, std::tan(0.5), 0},
    };
    for (const MathCase &c : cases) {
        hrt_errno = 0;
        const double r = c.f();
        if (std::isnan(c.expected)) {
            EXPECT_TRUE(std::isnan(r)) << c.what << " gave " << r;
        } else if (std::isinf(c.expected)) {
            EXPECT_EQ(r, c.expected) << c.what;
        } else {
            EXPECT_NEAR(r, c.expected, 4e-16 * std::max(1.0, std::fabs(c.expected))) << c.what;
        }
        EXPECT_EQ(hrt_errno, c.errnoAfter) << c.what;
    }
}

TEST(HostRtMath, ErrorNumberIsNeverClearedAndIsPerThread)
{
    hrt_errno = 0;
    hrt_sqrt_FLTREG_(-1);
    EXPECT_EQ(hrt_errno, HOSTRT_EDOM);
    hrt_sqrt_FLTREG_(4); // success leaves it as it was
    hrt_log_FLTREG_(2.385);
    EXPECT_EQ(hrt_errno, HOSTRT_EDOM);
    hrt_log_FLTREG_(0); // a later error overwrites it
    EXPECT_EQ(hrt_errno, HOSTRT_ERANGE);

    int32_t other = -1;
    std::thread t([&] {
        other = hrt_errno; // a fresh thread starts at 0
        hrt_pow_FLTREG_(-2, 0.5);
    });
    t.join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(hrt_errno, HOSTRT_ERANGE); // the other thread's domain error did not leak here
}

TEST(HostRtMath, IntegerPairFormCarriesTheSameBits)
{
    const double xs[] = {-2.385, 0.0, 0.5, 7.25};
    for (double x : xs) {
        EXPECT_EQ(hrt_sin_FLTEAXEDX_(x), std::bit_cast<uint64_t>(hrt_sin_FLTREG_(x)));
        EXPECT_EQ(hrt_exp_FLTEAXEDX_(x), std::bit_cast<uint64_t>(hrt_exp_FLTREG_(x)));
        EXPECT_EQ(hrt_pow_FLTEAXEDX_(x, 3), std::bit_cast<uint64_t>(hrt_pow_FLTREG_(x, 3)));
        EXPECT_EQ(hrt_ldexp_FLTEAXEDX_(x, -3), std::bit_cast<uint64_t>(hrt_ldexp_FLTREG_(x, -3)));
    }
    hrt_errno = 0;
    const uint64_t nanBits = hrt_sqrt_FLTEAXEDX_(-1);
    EXPECT_TRUE(std::isnan(std::bit_cast<double>(nanBits)));
    EXPECT_EQ(hrt_errno, HOSTRT_EDOM);
}

TEST(HostRtMath, RegistrationMasksFloatingPointExceptionsOfTheCallingThread)
{
    std::thread t([] {
        feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
        ASSERT_NE(fegetexcept(), 0);
        static int module;
        EXPECT_EQ(InitJQZRTDll(&module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
                  1);
        EXPECT_EQ(fegetexcept(), 0);
        volatile double zero = 0.0;
        volatile double r = 1.0 / zero; // would trap if still unmasked
        EXPECT_TRUE(std::isinf(r));
        CloseJQZRTDll(&module);
    });
    t.join();
}
