#include "base/histogram.hpp"

#include "base/errors.hpp"

#include <algorithm>
#include <cmath>
#include <string>

namespace vibrolan {

THistogramm::THistogramm(int n, double Mn, double Mx, MessageSink &sink) : sink_(&sink)
{
    if (n < 1)
        throw ValueError("histogram needs at least one bin, got " + std::to_string(n));
    const double hi = std::max(Mn, Mx);
    const double lo = std::min(Mn, Mx);
    FNs = n;
    stick.assign(static_cast<std::size_t>(n), 0);
    FStep = (hi - lo) / n;
    Fbounds.resize(static_cast<std::size_t>(n) + 1);
    for (int t = 0; t <= n; ++t)
        Fbounds[static_cast<std::size_t>(t)] = lo + t * FStep;
    Ffmedian = Fbounds[static_cast<std::size_t>(n / 2)];
}

void THistogramm::Add(double x)
{
    const double width = Fbounds.back() - Fbounds.front();
    if (width == 0)
        return;
    const double u = (x - Fbounds.front()) / width;
    // Written as "not inside" so that a NaN is reported too instead of
    // indexing a bin with it.
    if (!(u >= 0 && u < 1)) {
        sink_->show(Message{"histogramm", "Overrunning", Buttons::Ok, Severity::Information});
    } else {
        // u < 1 can still round to Ns when multiplied; keep it in the last bin.
        const auto k = std::min(static_cast<std::size_t>(u * FNs), stick.size() - 1);
        ++stick[k];
        if (stick[k] > Fstmax)
            Fstmax = stick[k];
    }
    FsummaXm += x - Ffmedian;
    FsummaXXm += (x - Ffmedian) * (x - Ffmedian);
    ++FCount;
}

void THistogramm::AddN(std::span<const double> x)
{
    for (double v : x)
        Add(v);
}

void THistogramm::Clear()
{
    std::fill(stick.begin(), stick.end(), 0u);
    Fstmax = 0;
    FsummaXm = 0;
    FsummaXXm = 0;
    FCount = 0;
}

std::size_t THistogramm::wrap(int i) const
{
    long j = i;
    if (j < 0)
        j += FNs;
    else if (j >= FNs)
        j -= FNs;
    if (j < 0 || j >= FNs)
        throw ValueError("histogram bin " + std::to_string(i) + " is outside the " + std::to_string(FNs) +
                         " bins");
    return static_cast<std::size_t>(j);
}

std::uint32_t THistogramm::readonestick(int i) const { return stick[wrap(i)]; }

float THistogramm::readdens(int i) const
{
    const std::size_t k = wrap(i);
    if (FStep == 0 || FCount <= 2)
        return 0;
    return static_cast<float>(static_cast<double>(stick[k]) / FCount / FStep);
}

double THistogramm::MV() const
{
    if (FCount == 0)
        return 0;
    return FsummaXm / FCount + Ffmedian;
}

double THistogramm::RMSV() const
{
    if (FCount == 0)
        return 0;
    const double m = FsummaXm / FCount;
    // Rounding can make the variance of equal values a hair below zero.
    return std::sqrt(std::max(0.0, FsummaXXm / FCount - m * m));
}

} // namespace vibrolan
