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

Shaft::Range Shaft::range() const
{
    // Piecewise linear: the extremes are at the segments' ends.
    Range r{seg_.front().w0, seg_.front().w0, 0.0};
    for (const Segment &s : seg_) {
        const double end = std::isfinite(s.t1) ? s.w0 + s.a * (s.t1 - s.t0) : s.w0;
        r.minSpeed = std::min({r.minSpeed, s.w0, end});
        r.maxSpeed = std::max({r.maxSpeed, s.w0, end});
        r.maxAcceleration = std::max(r.maxAcceleration, std::abs(s.a));
    }
    return r;
}

namespace {

struct SegmentLanes {
    double t0, w0, a, theta0;
};

// timeAtAngle() within one segment for `groups` times kLanes angles: the
// same operations. The groups do not depend on each other, so the processor
// works on several at once.
VIBROLAN_TARGET_CLONES void
timesInSegment(const SegmentLanes &s, const double *theta, double *t, std::size_t groups)
{
    for (std::size_t g = 0; g < groups; ++g) {
        Lanes th;
        std::memcpy(&th, theta + g * kLanes, sizeof th);
        const Lanes z{};
        const Lanes dth = th - s.theta0;
        const Lanes disc = s.w0 * s.w0 + 2.0 * s.a * dth;
        const Lanes clamped = disc > 0 ? disc : z;
        Lanes root;
        for (std::size_t k = 0; k < kLanes; ++k)
            root[k] = std::sqrt(clamped[k]);
        const Lanes d = 2.0 * dth / (s.w0 + root);
        const Lanes out = s.t0 + d;
        std::memcpy(t + g * kLanes, &out, sizeof out);
    }
}

} // namespace

void Shaft::timesAtAngles(const double *theta, double *t, std::size_t n) const
{
    for (std::size_t i = 0; i < n;) {
        const Segment *s;
        const std::size_t run = segmentRun(theta + i, n - i, s);
        const SegmentLanes lanes{s->t0, s->w0, s->a, s->theta0};
        const std::size_t whole = run / kLanes * kLanes;
        timesInSegment(lanes, theta + i, t + i, whole / kLanes);
        if (whole < run) { // the rest padded with its last angle
            double in[kLanes], out[kLanes];
            for (std::size_t k = 0; k < kLanes; ++k)
                in[k] = theta[i + std::min(whole + k, run - 1)];
            timesInSegment(lanes, in, out, 1);
            std::copy_n(out, run - whole, t + i + whole);
        }
        i += run;
    }
}

} // namespace vibrolan::sim
