#include "compute/series_stats.hpp"
#include "compute/stage_calc.hpp"

#include <cmath>
#include <numbers>

namespace vibrolan {

void CalcVelocityStress(std::span<const float> a, std::span<const float> m, std::span<const float> F,
                        double beta, double D, float K, std::span<float> velocity, std::span<float> stress)
{
    const double cosBeta = std::cos(std::numbers::pi * beta / 180);
    for (std::size_t i = 0; i < velocity.size(); ++i) {
        if (m[i] == 0)
            velocity[i] = 0;
        else
            velocity[i] = static_cast<float>((static_cast<double>(a[i]) / m[i]) * (D / 2) *
                                             (std::numbers::pi * F[i] / 30) * cosBeta);
    }
    for (std::size_t i = 0; i < velocity.size(); ++i)
        stress[i] = static_cast<float>(static_cast<double>(K) * velocity[i]);
}

float CalcStationarySwing(std::span<const float> a, std::span<const float> F, double beta, double D, float K,
                          float b1, float &stStallingOscill, float &stStress)
{
    return CalcStationarySwing(SeriesStats(a), SeriesStats(F), beta, D, K, b1, stStallingOscill, stStress);
}

float CalcStationarySwing(const TSeriesStats &sa, const TSeriesStats &sf, double beta, double D, float K,
                          float b1, float &stStallingOscill, float &stStress)
{
    const double amin = sa.Min, amax = sa.Max, amean = sa.Mean;
    if (amean == 0)
        stStallingOscill = 0;
    else
        stStallingOscill =
            static_cast<float>(std::cos(std::numbers::pi * beta / 180) * std::numbers::pi *
                               static_cast<double>(sf.Mean) * (amax - amin) * D / std::fabs(120 * amean));
    const double r = amean == amin ? 1.0 : (amax - amean) / (amean - amin);
    if (1 - static_cast<double>(b1) < r && r < 1 + static_cast<double>(b1))
        stStress = static_cast<float>(static_cast<double>(K) * stStallingOscill);
    return sa.Mean;
}

} // namespace vibrolan
