#include "compute/series_ops.hpp"

#include "base/errors.hpp"

#include <cmath>
#include <string>

namespace vibrolan {

namespace {

void requireLength(std::span<const float> in, std::size_t n, const char *routine)
{
    if (in.size() < n)
        throw ValueError(std::string(routine) + ": input series has " + std::to_string(in.size()) +
                         " samples, " + std::to_string(n) + " needed");
}

} // namespace

void AddSeries(std::span<const float> a, std::span<const float> d, std::span<float> b)
{
    requireLength(a, b.size(), "AddSeries");
    requireLength(d, b.size(), "AddSeries");
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = a[i] + d[i];
}

void SubConst(std::span<const float> src, float v, std::span<float> dst)
{
    requireLength(src, dst.size(), "SubConst");
    for (std::size_t i = 0; i < dst.size(); ++i)
        dst[i] = src[i] - v;
}

void AbsDiff(std::span<const float> a, std::span<const float> b, std::span<float> d)
{
    requireLength(a, d.size(), "AbsDiff");
    requireLength(b, d.size(), "AbsDiff");
    for (std::size_t i = 0; i < d.size(); ++i)
        d[i] = std::fabs(a[i] - b[i]);
}

void ScaleSeries(std::span<const float> src, double f, std::span<float> dst)
{
    requireLength(src, dst.size(), "ScaleSeries");
    for (std::size_t i = 0; i < dst.size(); ++i)
        dst[i] = static_cast<float>(f * static_cast<double>(src[i]));
}

double TProductSums::Denominator() const { return std::sqrt(aa) * std::sqrt(bb); }

TProductSums ProductSums(std::span<const float> a, std::span<const float> b, std::size_t n)
{
    requireLength(a, n, "ProductSums");
    requireLength(b, n, "ProductSums");
    TProductSums s;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = a[i];
        const double y = b[i];
        s.ab += x * y;
        s.aa += x * x;
        s.bb += y * y;
    }
    return s;
}

double Correlate(std::span<const float> a, std::span<const float> b, std::size_t n)
{
    const TProductSums s = ProductSums(a, b, n);
    const double denominator = s.Denominator();
    if (denominator == 0)
        return 1000000.0;
    return s.ab / denominator;
}

float ClampToSingle(double x)
{
    if (!(x >= kSingleTiny)) // NaN fails every comparison and lands here too
        return static_cast<float>(kSingleTiny);
    if (x > kSingleHuge)
        return static_cast<float>(kSingleHuge);
    return static_cast<float>(x);
}

} // namespace vibrolan
