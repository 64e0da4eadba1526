#include "identify/fit_window.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vibrolan::identify {

FitWindow MakeFitWindow(const StageSamples &st, const std::vector<double> &y, int from, int to, int blockSize,
                        const std::vector<double> &arrival)
{
    const std::size_t P = st.pairs.size();
    FitWindow w;
    w.firstRev = from;
    w.lastRev = to;
    std::vector<int> slotOf(P, -1);
    std::vector<double> sum(P), lo(P);
    std::vector<int> count(P);
    double rpmLo = 1e300, rpmHi = -1e300;
    int r = from;
    while (r <= to) {
        // A block ends early where the grid skips revolutions.
        int end = r;
        while (end < to && end - r + 1 < blockSize && st.step[static_cast<std::size_t>(end)] == 1)
            ++end;
        const int n = end - r + 1;
        std::fill(sum.begin(), sum.end(), 0.0);
        std::fill(count.begin(), count.end(), 0);
        double rpm = 0, dt = 0;
        for (int q = r; q <= end; ++q) {
            const auto uq = static_cast<std::size_t>(q);
            rpm += st.rpm[uq] / n;
            dt += std::max(1, st.step[uq]) * 60.0 / st.rpm[uq];
            for (std::size_t k = 0; k < P; ++k) {
                const double v = y[uq * P + k];
                if (!std::isnan(v)) {
                    sum[k] += v;
                    ++count[k];
                }
            }
        }
        const int j = static_cast<int>(w.time.size());
        w.time.push_back(st.time[static_cast<std::size_t>(r)]);
        w.rpm.push_back(rpm);
        w.period.push_back(60.0 / rpm);
        w.dt.push_back(dt);
        w.mid.push_back((n - 1) / 2);
        rpmLo = std::min(rpmLo, rpm);
        rpmHi = std::max(rpmHi, rpm);
        for (std::size_t k = 0; k < P; ++k) {
            if (count[k] * 2 < n || count[k] == 0)
                continue;
            if (slotOf[k] < 0) {
                slotOf[k] = static_cast<int>(w.slot.size());
                w.slot.push_back(static_cast<int>(k));
                w.thetaRad.push_back(st.fiDeg[k] * std::numbers::pi / 180.0);
                w.arrival.push_back(arrival[k]);
            }
            w.y.push_back(sum[k] / count[k]);
            w.block.push_back(j);
            w.pair.push_back(slotOf[k]);
        }
        r = end + 1;
    }
    w.centreRpm = 0.5 * (rpmLo + rpmHi);
    w.halfRangeRpm = 0.5 * (rpmHi - rpmLo);
    return w;
}

} // namespace vibrolan::identify
