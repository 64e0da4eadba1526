// Designed filters against their specification, judged from H(e^jw) of the
// cascade coefficients.
#include "response.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

using namespace iir_test;

namespace {

enum class Fam { Bw, Ch, InvCh, Elp, Bessel };

struct Spec {
    Fam fam;
    int type, order;
    double fl, fh, ripple, atten;
};

constexpr double kFs = 1000.0;

std::string name(const Spec &s)
{
    static const char *fams[] = {"Bw", "Ch", "InvCh", "Elp", "Bessel"};
    return std::string(fams[static_cast<int>(s.fam)]) + " type " + std::to_string(s.type) + " order " +
           std::to_string(s.order);
}

FilterPtr design(const Spec &s)
{
    auto f = make_filter(s.type, s.order);
    int32_t status = -1;
    switch (s.fam) {
    case Fam::Bw:
        status = Bw_CascadeCoef(kFs, s.fl, s.fh, f.get());
        break;
    case Fam::Ch:
        status = Ch_CascadeCoef(kFs, s.fl, s.fh, s.ripple, f.get());
        break;
    case Fam::InvCh:
        status = InvCh_CascadeCoef(kFs, s.fl, s.fh, s.atten, f.get());
        break;
    case Fam::Elp:
        status = Elp_CascadeCoef(kFs, s.fl, s.fh, s.ripple, s.atten, f.get());
        break;
    case Fam::Bessel:
        status = Bessel_CascadeCoef(kFs, s.fl, s.fh, f.get());
        break;
    }
    EXPECT_EQ(status, 0) << name(s);
    return f;
}

// Frequencies between lo and hi (inclusive) on a fine grid.
std::vector<double> grid(double lo, double hi, int points = 3000)
{
    std::vector<double> g;
    for (int i = 0; i <= points; ++i)
        g.push_back(lo + (hi - lo) * i / points);
    return g;
}

// Pass bands and stop bands of each response type: [lo, hi] intervals.
struct Bands {
    std::vector<std::pair<double, double>> pass, stop;
};

// For inverse Chebyshev the edges bound the stop band, otherwise the pass band.
Bands bands(const Spec &s)
{
    const double ny = kFs / 2;
    Bands low{{{0, s.fl}}, {{s.fl, ny}}};
    Bands high{{{s.fl, ny}}, {{0, s.fl}}};
    Bands bp{{{s.fl, s.fh}}, {{0, s.fl}, {s.fh, ny}}};
    Bands bs{{{0, s.fl}, {s.fh, ny}}, {{s.fl, s.fh}}};
    return s.type == 0 ? low : s.type == 1 ? high : s.type == 2 ? bp : bs;
}

double max_db(const IIRFilterInfo &f, double lo, double hi)
{
    double m = -1e9;
    for (double fr : grid(lo, hi))
        m = std::max(m, db(cascade_response(f, fr, kFs)));
    return m;
}

double min_db(const IIRFilterInfo &f, double lo, double hi)
{
    double m = 1e9;
    for (double fr : grid(lo, hi))
        m = std::min(m, db(cascade_response(f, fr, kFs)));
    return m;
}

std::vector<double> edges(const Spec &s)
{
    return s.type < 2 ? std::vector<double>{s.fl} : std::vector<double>{s.fl, s.fh};
}

// Stable: the impulse response dies out.
void expect_stable(IIRFilterInfo &f, const std::string &what)
{
    std::vector<double> x(20000, 0.0), y(x.size());
    x[0] = 1;
    ResetIIRFilter(&f);
    ASSERT_EQ(IIRCascadeFiltering(x.data(), static_cast<int32_t>(x.size()), &f, y.data()), 0);
    double tail = 0;
    for (size_t i = y.size() - 1000; i < y.size(); ++i)
        tail = std::max(tail, std::abs(y[i]));
    EXPECT_LT(tail, 1e-9) << what;
}

} // namespace

TEST(IirDesign, ButterworthIsThreeDecibelsDownAtEveryEdge)
{
    for (const Spec s : {Spec{Fam::Bw, 0, 1, 100, 0, 0, 0}, Spec{Fam::Bw, 0, 6, 150, 0, 0, 0},
                         Spec{Fam::Bw, 1, 4, 100, 0, 0, 0}, Spec{Fam::Bw, 2, 3, 100, 250, 0, 0},
                         Spec{Fam::Bw, 3, 2, 100, 250, 0, 0}, Spec{Fam::Bw, 2, 1, 40, 400, 0, 0}}) {
        auto f = design(s);
        for (double e : edges(s))
            EXPECT_NEAR(db(cascade_response(*f, e, kFs)), -10 * std::log10(2.0), 1e-9)
                << name(s) << " at " << e;
        for (auto [lo, hi] : bands(s).pass)
            EXPECT_LE(max_db(*f, lo, hi), 1e-9) << name(s);
        expect_stable(*f, name(s));
    }
}

TEST(IirDesign, ChebyshevRippleStaysWithinTheGivenDecibels)
{
    for (const Spec s : {Spec{Fam::Ch, 0, 4, 100, 0, 0.5, 0}, Spec{Fam::Ch, 0, 5, 100, 0, 1.0, 0},
                         Spec{Fam::Ch, 1, 6, 200, 0, 3.0, 0}, Spec{Fam::Ch, 2, 4, 100, 250, 1.0, 0},
                         Spec{Fam::Ch, 3, 3, 100, 250, 0.25, 0}}) {
        auto f = design(s);
        for (auto [lo, hi] : bands(s).pass) {
            EXPECT_LE(max_db(*f, lo, hi), 1e-9) << name(s);
            EXPECT_GE(min_db(*f, lo, hi), -s.ripple - 1e-9) << name(s);
        }
        for (double e : edges(s))
            EXPECT_NEAR(db(cascade_response(*f, e, kFs)), -s.ripple, 1e-9) << name(s) << " at " << e;
        expect_stable(*f, name(s));
    }
}

TEST(IirDesign, InverseChebyshevReachesTheAttenuationAtTheStopEdge)
{
    for (const Spec s : {Spec{Fam::InvCh, 0, 4, 100, 0, 0, 40}, Spec{Fam::InvCh, 0, 5, 150, 0, 0, 60},
                         Spec{Fam::InvCh, 1, 5, 200, 0, 0, 30}, Spec{Fam::InvCh, 2, 4, 100, 250, 0, 45},
                         Spec{Fam::InvCh, 3, 3, 100, 250, 0, 50}}) {
        auto f = design(s);
        for (double e : edges(s))
            EXPECT_NEAR(db(cascade_response(*f, e, kFs)), -s.atten, 1e-7) << name(s) << " at " << e;
        // The edges bound the stop band; nothing anywhere rises above 0 dB.
        for (auto [lo, hi] : bands(s).stop)
            EXPECT_LE(max_db(*f, lo, hi), -s.atten + 1e-7) << name(s);
        EXPECT_LE(max_db(*f, 0, kFs / 2), 1e-9) << name(s);
        expect_stable(*f, name(s));
    }
}

TEST(IirDesign, EllipticMeetsRippleAndAttenuation)
{
    for (const Spec s : {Spec{Fam::Elp, 0, 3, 100, 0, 0.5, 40}, Spec{Fam::Elp, 0, 4, 100, 0, 1.0, 60},
                         Spec{Fam::Elp, 0, 5, 150, 0, 0.1, 70}, Spec{Fam::Elp, 1, 6, 200, 0, 0.5, 80},
                         Spec{Fam::Elp, 2, 4, 100, 250, 1.0, 50}, Spec{Fam::Elp, 3, 3, 100, 250, 0.5, 40}}) {
        auto f = design(s);
        for (auto [lo, hi] : bands(s).pass) {
            EXPECT_LE(max_db(*f, lo, hi), 1e-7) << name(s);
            EXPECT_GE(min_db(*f, lo, hi), -s.ripple - 1e-6) << name(s);
        }
        for (double e : edges(s))
            EXPECT_NEAR(db(cascade_response(*f, e, kFs)), -s.ripple, 1e-6) << name(s) << " at " << e;
        // Stop band: moving away from the pass band, once the attenuation is
        // reached it is never lost again up to the far end of the band.
        const double centre = std::atan(std::sqrt(std::tan(std::numbers::pi * s.fl / kFs) *
                                                  std::tan(std::numbers::pi * s.fh / kFs))) *
                              kFs / std::numbers::pi;
        std::vector<std::pair<double, double>> scans;
        switch (s.type) {
        case 0:
            scans = {{s.fl, kFs / 2}};
            break;
        case 1:
            scans = {{s.fl, 0}};
            break;
        case 2:
            scans = {{s.fl, 0}, {s.fh, kFs / 2}};
            break;
        default:
            scans = {{s.fl, centre}, {s.fh, centre}};
            break;
        }
        for (auto [from, to] : scans) {
            const std::vector<double> g = grid(from, to);
            size_t first = g.size();
            for (size_t i = 0; i < g.size() && first == g.size(); ++i)
                if (db(cascade_response(*f, g[i], kFs)) <= -s.atten + 1e-6)
                    first = i;
            ASSERT_LT(first, g.size()) << name(s) << ": attenuation never reached";
            for (size_t i = first; i < g.size(); ++i)
                EXPECT_LE(db(cascade_response(*f, g[i], kFs)), -s.atten + 1e-6) << name(s) << " at " << g[i];
        }
        expect_stable(*f, name(s));
    }
}

TEST(IirDesign, LowpassDcGainByFamilyAndParity)
{
    const double ripple = 1.5, atten = 45;
    const double even_gain = 1 / std::sqrt(std::pow(10.0, ripple / 10));
    for (int order = 1; order <= 8; ++order) {
        for (Fam fam : {Fam::Bw, Fam::Ch, Fam::InvCh, Fam::Elp, Fam::Bessel}) {
            const Spec s{fam, 0, order, 120, 0, ripple, atten};
            auto f = design(s);
            const bool scaled = order % 2 == 0 && (fam == Fam::Ch || fam == Fam::Elp);
            EXPECT_NEAR(std::abs(cascade_response(*f, 0, kFs)), scaled ? even_gain : 1.0, 1e-12) << name(s);
        }
    }
}

TEST(IirDesign, BesselLikeSectionsFollowTheirDampingRule)
{
    // Each pair section has a unit-DC-gain prototype 1/(s^2 + 2 zeta s + 1); at
    // the prewarped edge its magnitude is 1/(2 zeta).
    const int order = 6;
    auto f = make_filter(0, order);
    ASSERT_EQ(Bessel_CascadeCoef(kFs, 100, 0, f.get()), 0);
    for (int i = 0; i < order / 2; ++i) {
        const double c = 1 - (2.0 * i + 1) / order;
        const double zeta = std::sqrt(1 - c * c);
        IIRFilterInfo one = *f;
        one.order = 2;
        one.na = 2;
        one.nb = 3;
        one.nstate = 2;
        one.a = f->a + 2 * i;
        one.b = f->b + 3 * i;
        EXPECT_NEAR(std::abs(cascade_response(one, 100, kFs)), 1 / (2 * zeta), 1e-12) << i;
    }
    expect_stable(*f, "Bessel");
}

TEST(IirDesign, FirstOrderChebyshevBandsEqualButterworthWhateverTheRipple)
{
    for (int type : {2, 3}) {
        auto bw = make_filter(type, 1);
        ASSERT_EQ(Bw_CascadeCoef(kFs, 80, 310, bw.get()), 0);
        for (double ripple : {0.1, 1.0, 6.0}) {
            auto ch = make_filter(type, 1);
            ASSERT_EQ(Ch_CascadeCoef(kFs, 80, 310, ripple, ch.get()), 0);
            for (int i = 0; i < 4; ++i)
                EXPECT_DOUBLE_EQ(ch->a[i], bw->a[i]) << type << " " << ripple;
            for (int i = 0; i < 5; ++i)
                EXPECT_DOUBLE_EQ(ch->b[i], bw->b[i]) << type << " " << ripple;
        }
    }
    // The first-order Chebyshev lowpass keeps its own pole: not Butterworth.
    auto bw = make_filter(0, 1), ch = make_filter(0, 1);
    ASSERT_EQ(Bw_CascadeCoef(kFs, 80, 0, bw.get()), 0);
    ASSERT_EQ(Ch_CascadeCoef(kFs, 80, 0, 1.0, ch.get()), 0);
    EXPECT_GT(std::abs(ch->a[0] - bw->a[0]), 1e-3);
}

TEST(IirDesign, DirectFormDesignersMatchTheCascade)
{
    struct Case {
        Fam fam;
        int type, order;
    };
    for (const Case c : {Case{Fam::Bw, 0, 5}, Case{Fam::Ch, 1, 4}, Case{Fam::InvCh, 2, 3},
                         Case{Fam::Elp, 3, 4}, Case{Fam::Bessel, 0, 3}}) {
        const Spec s{c.fam, c.type, c.order, 90, 260, 0.7, 48};
        auto f = design(s);
        const int m = c.type < 2 ? c.order + 1 : 2 * c.order + 1;
        std::vector<double> a(m + 2, 7.0), b(m + 2, 7.0); // larger arrays: only M entries written
        int32_t st = -1;
        switch (c.fam) {
        case Fam::Bw:
            st = Bw_Coef(c.type, c.order, kFs, s.fl, s.fh, a.data(), m + 2, b.data(), m + 2);
            break;
        case Fam::Ch:
            st = Ch_Coef(c.type, c.order, kFs, s.fl, s.fh, s.ripple, a.data(), m + 2, b.data(), m + 2);
            break;
        case Fam::InvCh:
            st = InvCh_Coef(c.type, c.order, kFs, s.fl, s.fh, s.atten, a.data(), m + 2, b.data(), m + 2);
            break;
        case Fam::Elp:
            st = Elp_Coef(c.type, c.order, kFs, s.fl, s.fh, s.ripple, s.atten, a.data(), m + 2, b.data(),
                          m + 2);
            break;
        case Fam::Bessel:
            st = Bessel_Coef(c.type, c.order, kFs, s.fl, s.fh, a.data(), m + 2, b.data(), m + 2);
            break;
        }
        ASSERT_EQ(st, 0) << name(s);
        EXPECT_EQ(a[0], 1.0);
        EXPECT_EQ(a[m], 7.0);
        EXPECT_EQ(b[m + 1], 7.0);
        for (double fr : grid(1, kFs / 2 - 1, 50)) {
            const double w = 2 * std::numbers::pi * fr / kFs;
            const cplx direct = poly_at(b.data(), m, w) / poly_at(a.data(), m, w);
            const cplx cascade = cascade_response(*f, fr, kFs);
            EXPECT_NEAR(std::abs(direct - cascade), 0.0, 1e-8 * std::max(1.0, std::abs(cascade)))
                << name(s) << " at " << fr;
        }
    }
}
