#include "identify/blade_events.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <numeric>

namespace vibrolan::identify {

namespace {

constexpr int kSmooth = 5, kSmoothLong = 25; // revolutions averaged by the levels
// A peak on the tail of a stronger one counts when it rises this many times
// above the tail where they meet.
constexpr double kProminence = 1.5;
// ... and this many times above the median level of its surroundings.
constexpr double kAboveSurroundings = 2;

double medianOf(std::vector<double> &v)
{
    if (v.empty())
        return 0;
    const auto mid = v.begin() + static_cast<long>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

// Medians of blocks of revolutions of one pair, linearly interpolated
// between the blocks' centres: the baseline of that pair.
void subtractBaseline(std::vector<double> &resid, std::size_t R, std::size_t P, std::size_t k)
{
    const std::size_t block = std::clamp<std::size_t>(R / 16, 64, 4096);
    std::vector<double> centre, value, buf;
    for (std::size_t from = 0; from < R; from += block) {
        const std::size_t to = std::min(R, from + block);
        buf.clear();
        for (std::size_t r = from; r < to; ++r)
            if (!std::isnan(resid[r * P + k]))
                buf.push_back(resid[r * P + k]);
        if (buf.size() * 4 < to - from) // too few samples to say where the middle is
            continue;
        centre.push_back(0.5 * static_cast<double>(from + to - 1));
        value.push_back(medianOf(buf));
    }
    if (centre.empty())
        return;
    std::size_t j = 0;
    for (std::size_t r = 0; r < R; ++r) {
        const double x = static_cast<double>(r);
        while (j + 1 < centre.size() && centre[j + 1] < x)
            ++j;
        // Linear between the centres and beyond the outer ones.
        double base = value[j];
        if (j + 1 < centre.size())
            base += (value[j + 1] - value[j]) * (x - centre[j]) / (centre[j + 1] - centre[j]);
        resid[r * P + k] -= base;
    }
}

// Sets level[r] to the z-score of the residue averaged over `smooth`
// revolutions centred on r, RMS over the pairs.
void addLevel(std::vector<double> &level, const BladeLevel &out, std::size_t R, std::size_t P, int smooth)
{
    std::vector<double> sum(P, 0.0);
    std::vector<double> count(P, 0.0);
    auto add = [&](std::size_t r, double sign) {
        for (std::size_t k = 0; k < P; ++k) {
            const double v = out.resid[r * P + k];
            if (!std::isnan(v)) {
                sum[k] += sign * v;
                count[k] += sign;
            }
        }
    };
    const auto half = static_cast<std::size_t>(smooth / 2);
    const double enough = (smooth + 1) / 2;
    for (std::size_t r = 0; r < std::min(R, half); ++r)
        add(r, 1);
    for (std::size_t r = 0; r < R; ++r) {
        if (r + half < R)
            add(r + half, 1);
        if (r > half)
            add(r - half - 1, -1);
        double z2 = 0;
        int used = 0;
        for (std::size_t k = 0; k < P; ++k)
            if (count[k] >= enough) {
                const double mean = sum[k] / count[k];
                z2 += mean * mean * count[k];
                ++used;
            }
        if (used > 0)
            level[r] = std::sqrt(z2 / used) / out.noise;
    }
}

} // namespace

BladeLevel MeasureBlade(const StageSamples &st, const std::vector<double> &y)
{
    const std::size_t P = st.pairs.size(), R = st.revolutions();
    BladeLevel out;
    out.resid = y;
    for (std::size_t k = 0; k < P; ++k)
        subtractBaseline(out.resid, R, P, k);

    std::vector<double> diffs;
    diffs.reserve(R * P);
    for (std::size_t k = 0; k < P; ++k)
        for (std::size_t r = 1; r < R; ++r) {
            const double a = out.resid[(r - 1) * P + k], b = out.resid[r * P + k];
            if (!std::isnan(a) && !std::isnan(b) && st.step[r - 1] == 1)
                diffs.push_back(b - a);
        }
    double scale = 0;
    if (!diffs.empty()) {
        const double m = medianOf(diffs);
        for (double &d : diffs)
            d = std::fabs(d - m);
        scale = 1.4826 * medianOf(diffs) / std::sqrt(2.0);
    }
    // Noise-free (computed) input still needs a floor to divide by.
    double largest = 0;
    for (double v : out.resid)
        if (!std::isnan(v))
            largest = std::max(largest, std::fabs(v));
    out.noise = std::max({scale, largest * 1e-9, 1e-300});

    // The level at two scales: a fast sweep crosses a resonance in a few
    // revolutions, a slow one in hundreds, where the longer average lifts a
    // weak response further out of the noise.
    out.level.assign(R, 0.0);
    out.levelLong.assign(R, 0.0);
    addLevel(out.level, out, R, P, kSmooth);
    addLevel(out.levelLong, out, R, P, kSmoothLong);
    return out;
}

std::vector<BladePeak> FindPeaks(const std::vector<double> &level, double threshold, int blade)
{
    const int R = static_cast<int>(level.size());
    std::vector<int> order;
    for (int r = 0; r < R; ++r)
        if (level[static_cast<std::size_t>(r)] > threshold)
            order.push_back(r);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return level[static_cast<std::size_t>(a)] > level[static_cast<std::size_t>(b)];
    });
    std::vector<char> taken(static_cast<std::size_t>(R), 0);
    std::vector<BladePeak> peaks;
    std::vector<double> around;
    auto lv = [&](int r) { return level[static_cast<std::size_t>(r)]; };
    for (int r : order) {
        if (taken[static_cast<std::size_t>(r)])
            continue;
        const double pk = lv(r), floor = std::max(threshold, pk / 20);
        int from = r, to = r;
        // Out to the floor, or to a valley behind which the level climbs to
        // twice the valley again (another resonance's rise).
        auto extend = [&](int &edge, int dir) {
            int valley = edge;
            for (int q = edge + dir; q >= 0 && q < R && !taken[static_cast<std::size_t>(q)] && lv(q) >= floor;
                 q += dir) {
                if (lv(q) < lv(valley)) {
                    valley = q;
                } else if (lv(q) > 2 * lv(valley) && lv(q) > threshold) {
                    edge = valley;
                    return;
                }
                edge = q;
            }
        };
        extend(from, -1);
        extend(to, +1);
        std::fill(taken.begin() + from, taken.begin() + to + 1, 1);
        if (to - from + 1 < 3)
            continue;
        // Stopped by a stronger peak's extent while still above the floor: the
        // tail of that peak, unless it stands out of the tail clearly.
        double shoulder = 0;
        if (from > 0 && taken[static_cast<std::size_t>(from - 1)] && lv(from) >= floor)
            shoulder = std::max(shoulder, lv(from));
        if (to + 1 < R && taken[static_cast<std::size_t>(to + 1)] && lv(to) >= floor)
            shoulder = std::max(shoulder, lv(to));
        if (pk < kProminence * shoulder)
            continue;
        // It must stand out of its surroundings too: the median level over
        // twice its extent on either side (a slow residue of the baseline
        // lifts long stretches a little, a resonance a short one a lot).
        const int span = std::max(20, to - from + 1);
        around.clear();
        for (int q = std::max(0, from - 3 * span); q < from - span; ++q)
            around.push_back(lv(q));
        for (int q = to + 1 + span; q < std::min(R, to + 1 + 3 * span); ++q)
            around.push_back(lv(q));
        if (!around.empty() && pk < kAboveSurroundings * medianOf(around))
            continue;
        BladePeak p{blade, from, to, r, pk, r, r};
        while (p.halfFrom > from && lv(p.halfFrom - 1) >= pk / std::sqrt(2.0))
            --p.halfFrom;
        while (p.halfTo < to && lv(p.halfTo + 1) >= pk / std::sqrt(2.0))
            ++p.halfTo;
        peaks.push_back(p);
    }
    std::sort(peaks.begin(), peaks.end(),
              [](const BladePeak &a, const BladePeak &b) { return a.from < b.from; });
    return peaks;
}

} // namespace vibrolan::identify

namespace vibrolan::identify {

std::vector<BladePeak> FindBladePeaks(const BladeLevel &lv, double threshold, int blade)
{
    std::vector<BladePeak> peaks = FindPeaks(lv.level, threshold, blade);
    for (const BladePeak &p : FindPeaks(lv.levelLong, threshold, blade)) {
        const bool seen = std::any_of(peaks.begin(), peaks.end(),
                                      [&](const BladePeak &q) { return q.from <= p.to && p.from <= q.to; });
        if (!seen)
            peaks.push_back(p);
    }
    std::sort(peaks.begin(), peaks.end(),
              [](const BladePeak &a, const BladePeak &b) { return a.from < b.from; });
    return peaks;
}

} // namespace vibrolan::identify
