#include "sim/shaft.hpp"

#include "sim/lanes.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace vibrolan::sim {

Shaft::Shaft(const std::vector<SpeedPoint> &points)
{
    double theta = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        Segment s;
        s.t0 = points[i].timeS;
        s.w0 = points[i].rpm / 60.0;
        s.theta0 = theta;
        if (i + 1 < points.size()) {
            s.t1 = points[i + 1].timeS;
            s.a = (points[i + 1].rpm / 60.0 - s.w0) / (s.t1 - s.t0);
            const double d = s.t1 - s.t0;
            theta += s.w0 * d + 0.5 * s.a * d * d;
            s.theta1 = theta;
        } else {
            s.t1 = std::numeric_limits<double>::infinity();
            s.a = 0;
            s.theta1 = std::numeric_limits<double>::infinity();
        }
        seg_.push_back(s);
    }
}

namespace {

struct SegmentLanes {
    double t0, w0, a, theta0;
};

// timeAtAngle() within one segment for kLanes angles: the same operations.
__attribute__((target_clones("avx512f", "avx2", "default"))) void
timesInSegment(const SegmentLanes &s, const double *theta, double *t)
{
    Lanes th;
    std::memcpy(&th, theta, sizeof th);
    const Lanes z{};
    const Lanes dth = th - s.theta0;
    const Lanes disc = s.w0 * s.w0 + 2.0 * s.a * dth;
    const Lanes clamped = disc > 0 ? disc : z;
    Lanes root;
    for (std::size_t k = 0; k < kLanes; ++k)
        root[k] = std::sqrt(clamped[k]);
    const Lanes d = 2.0 * dth / (s.w0 + root);
    const Lanes out = s.t0 + d;
    std::memcpy(t, &out, sizeof out);
}

} // namespace

const Shaft::Segment *Shaft::segmentOfLanes(const double *theta) const
{
    const Segment &s = seg_[segmentForAngle(theta[0])];
    bool one = true;
    for (std::size_t k = 0; k < kLanes; ++k)
        one &= theta[k] >= s.theta0 && theta[k] < s.theta1;
    return one ? &s : nullptr;
}

void Shaft::timesAtAngles(const double *theta, double *t, std::size_t n) const
{
    double in[kLanes], out[kLanes];
    for (std::size_t i = 0; i < n; i += kLanes) {
        const std::size_t used = std::min(kLanes, n - i);
        for (std::size_t k = 0; k < kLanes; ++k)
            in[k] = theta[i + std::min(k, used - 1)];
        const Segment *s = segmentOfLanes(in);
        if (!s) {
            for (std::size_t k = 0; k < used; ++k)
                t[i + k] = timeAtAngle(in[k]);
            continue;
        }
        timesInSegment({s->t0, s->w0, s->a, s->theta0}, in, out);
        std::copy_n(out, used, t + i);
    }
}

} // namespace vibrolan::sim
