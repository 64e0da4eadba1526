#include "compute/natural_frequency_nodal.hpp"

#include "compute/natural_frequency.hpp"

#include <algorithm>
#include <cmath>

namespace vibrolan {

std::vector<TPitchRow> PitchList(std::size_t countBlade)
{
    std::vector<TPitchRow> rows;
    const std::size_t n = countBlade;
    for (std::size_t i = 1; i <= n; ++i)
        rows.push_back({"Fi" + std::to_string(i % n + 1) + " - Fi" + std::to_string(i), 360.0 / double(n)});
    return rows;
}

double RoundHalfEven(double v)
{
    const double r = std::round(v); // halves away from zero
    if (std::abs(v - std::trunc(v)) == 0.5)
        return 2.0 * std::round(v / 2.0);
    return r;
}

double ChooseNodalDiameter(double m1, double m2)
{
    const double r1 = RoundHalfEven(m1);
    const double r2 = RoundHalfEven(m2);
    if (r1 == 0)
        return r2; // 0 when both round to 0
    if (r2 == 0)
        return r1;
    return std::abs((m1 - r1) / r1) < std::abs((m2 - r2) / r2) ? r1 : r2;
}

TNodalEstimate NodalDiameters(const TPair &pair, std::size_t countBlade, const TNodalRequest &request)
{
    const std::size_t n = std::min(countBlade, kMaxBlades);
    TNodalEstimate e;
    e.q.resize(n);
    const auto length = static_cast<std::size_t>(std::max(pair.Size - 2, 0));
    auto head = [&](std::size_t b) {
        const std::span<const float> s = pair.AmplSeries(b);
        return s.first(std::min(length, s.size()));
    };

    double sum = 0;
    std::size_t count = 0;
    for (std::size_t b = 0; b < n; ++b) {
        const std::optional<double> r = NormalizedProduct(head(b), head((b + 1) % n));
        const double psi = b < request.pitchDeg.size() ? request.pitchDeg[b] * kNfDegToRad : 0.0;
        if (!r || psi == 0 || !std::isfinite(psi))
            continue;
        double theta = PhaseOf(*r);
        if (b < request.checked.size() && request.checked[b])
            theta = kNfTwoPi - theta;
        e.q[b] = theta / psi;
        sum += *e.q[b];
        ++count;
    }
    if (count == 0)
        return e;
    e.qMean = sum / double(count);

    const double fRot = request.meanRpm / 60.0;
    if (fRot == 0 || !std::isfinite(fRot) || !std::isfinite(request.meanFrequency))
        return e;
    e.m1 = *e.qMean + request.meanFrequency / fRot;
    e.m2 = *e.qMean - request.meanFrequency / fRot;
    e.m = ChooseNodalDiameter(*e.m1, *e.m2);
    return e;
}

} // namespace vibrolan
