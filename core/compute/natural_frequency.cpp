#include "compute/natural_frequency.hpp"

#include "compute/series_ops.hpp"
#include "compute/series_stats.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vibrolan {

std::optional<double> NormalizedProduct(std::span<const float> x, std::span<const float> y)
{
    const TProductSums s = ProductSums(x, y, std::min(x.size(), y.size()));
    if (s.aa == 0 || s.bb == 0)
        return std::nullopt;
    const double r = s.ab / s.Denominator();
    if (!std::isfinite(r))
        return std::nullopt;
    return r;
}

double PhaseOf(double r) { return std::acos(std::clamp(r, -1.0, 1.0)); }

// Mean of a column of values; a single value is its own mean.
static TColumnStats ColumnStats(const std::vector<float> &values)
{
    TColumnStats c;
    c.count = values.size();
    if (values.size() == 1) {
        c.mean = values[0];
    } else if (values.size() > 1) {
        const TSeriesStats s = SeriesStats(values);
        c.mean = s.Mean;
        c.rms = s.RMS;
    }
    return c;
}

std::optional<double> MeanRotation(const TPair &pair)
{
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(pair.Size, 0)), pair.Freq.size());
    if (n == 0)
        return std::nullopt;
    if (n == 1)
        return pair.Freq[0];
    return SeriesStats(std::span<const float>(pair.Freq.data(), n)).Mean;
}

// Samples first .. first+length-1 of a blade series, cut to what it holds.
static std::span<const float> Stretch(std::span<const float> s, std::size_t first, std::size_t length)
{
    if (first >= s.size())
        return {};
    return s.subspan(first, std::min(length, s.size() - first));
}

std::vector<float> TFrequencyTable::ResultArray(std::size_t column) const
{
    std::vector<float> out(blades.size() + 1, 0.0f);
    out[0] = static_cast<float>(columns.at(column).mean);
    for (std::size_t b = 0; b < blades.size(); ++b)
        if (blades[b].r)
            out[b + 1] = static_cast<float>(blades[b].f.at(column));
    return out;
}

std::optional<TFrequencyTable> FrequencyTable(const TPair &p1, const TPair &p2, std::size_t countBlade,
                                              const TFrequencyRequest &request)
{
    if (request.dFi == 0 || !std::isfinite(request.dFi) || p1.Size <= 3 || p2.Size <= 3)
        return std::nullopt;
    countBlade = std::min(countBlade, kMaxBlades);

    TFrequencyTable t;
    t.k = kNfThreeOverPi / request.dFi * request.meanRpm;

    const auto shorter = static_cast<std::size_t>(std::min(p1.Size, p2.Size));
    const std::int64_t span = std::int64_t{request.endIndex} - std::int64_t{request.startIndex};
    if (span > 99) {
        t.fromCursors = true;
        t.first = static_cast<std::size_t>(std::max(request.startIndex, 0));
        const auto wanted = static_cast<std::size_t>(std::int64_t{request.endIndex} - std::int64_t(t.first));
        t.length = t.first >= shorter ? 0 : std::min(wanted, shorter - t.first);
    } else {
        t.first = 0;
        t.length = shorter - 2;
    }

    t.blades.resize(countBlade);
    std::array<std::vector<float>, 4> columns;
    for (std::size_t b = 0; b < countBlade; ++b) {
        TBladeFrequencies &row = t.blades[b];
        row.r = NormalizedProduct(Stretch(p1.AmplSeries(b), t.first, t.length),
                                  Stretch(p2.AmplSeries(b), t.first, t.length));
        if (!row.r)
            continue;
        row.phi = PhaseOf(*row.r);
        row.f = {row.phi * t.k, (kNfTwoPi - row.phi) * t.k, (kNfTwoPi + row.phi) * t.k,
                 (2 * kNfTwoPi - row.phi) * t.k};
        for (std::size_t c = 0; c < 4; ++c)
            columns[c].push_back(static_cast<float>(row.f[c]));
    }
    for (std::size_t c = 0; c < 4; ++c)
        t.columns[c] = ColumnStats(columns[c]);
    return t;
}

} // namespace vibrolan
