// The shaft: rpm piecewise linear in time (constant after the last point),
// its angle in revolutions and the inverse, the time at which it reaches an angle.
#pragma once

#include "sim/scenario.hpp"

#include <cmath>
#include <vector>

namespace vibrolan::sim {

class Shaft {
public:
    explicit Shaft(const std::vector<SpeedPoint> &points);

    double rpmAt(double t) const
    {
        const Segment &s = seg_[segmentForTime(t)];
        return 60.0 * (s.w0 + s.a * (t - s.t0));
    }
    double angleAt(double t) const // revolutions since t = 0
    {
        const Segment &s = seg_[segmentForTime(t)];
        const double d = t - s.t0;
        return s.theta0 + s.w0 * d + 0.5 * s.a * d * d;
    }
    // Time at which the angle reaches `theta` (>= 0). Searches forward from the
    // segment of the previous call, so monotone queries cost O(1).
    double timeAtAngle(double theta) const
    {
        const Segment &s = seg_[segmentForAngle(theta)];
        const double dth = theta - s.theta0;
        // Root of a/2 d^2 + w0 d - dth = 0 in the form that stays exact for a -> 0.
        const double disc = s.w0 * s.w0 + 2.0 * s.a * dth;
        const double d = 2.0 * dth / (s.w0 + std::sqrt(disc > 0 ? disc : 0));
        return s.t0 + d;
    }

    // timeAtAngle() of n angles into t, the same numbers; quicker when
    // neighbouring angles lie in one speed segment.
    void timesAtAngles(const double *theta, double *t, std::size_t n) const;

    // The shaft around the instant it reaches `theta`: that instant, the
    // speed (rev/s) and acceleration there, and the span of time over which
    // they hold (the speed segment). Same search as timeAtAngle().
    struct Local {
        double t, w, perW, a; // perW = 1 / w
        double from, to;      // the segment's times
    };
    Local localAtAngle(double theta) const
    {
        const Segment &s = seg_[segmentForAngle(theta)];
        const double dth = theta - s.theta0;
        const double disc = s.w0 * s.w0 + 2.0 * s.a * dth;
        const double root = std::sqrt(disc > 0 ? disc : 0);
        // One division for both 1 / (w0 + root) and 1 / root.
        const double sum = s.w0 + root, inv = root > 0 ? 1.0 / (sum * root) : 0.0; // w > 0 for valid speeds
        return {s.t0 + 2.0 * dth * root * inv, root, sum * inv, s.a, s.t0, s.t1};
    }

    // Over the whole profile: the least and the greatest speed (rev/s), and
    // the greatest size of the acceleration (rev/s^2).
    struct Range {
        double minSpeed, maxSpeed, maxAcceleration;
    };
    Range range() const;

private:
    struct Segment {
        double t0, t1;         // t1 = +inf for the last one
        double w0, a;          // rev/s at t0 and its slope (rev/s^2)
        double theta0, theta1; // angle at t0 and t1
    };
    // The segment in which the shaft reaches theta[0] (the one localAtAngle()
    // and timeAtAngle() use), and how many of the n angles from theta[0] on
    // lie in it: a run that a vector kernel may treat with one segment.
    std::size_t segmentRun(const double *theta, std::size_t n, const Segment *&s) const
    {
        s = &seg_[segmentForAngle(theta[0])];
        std::size_t k = 1;
        while (k < n && theta[k] >= s->theta0 && theta[k] < s->theta1)
            ++k;
        return k;
    }

    // The first segment that ends after t (the last one for any later t).
    std::size_t segmentForTime(double t) const
    {
        std::size_t i = 0;
        while (i + 1 < seg_.size() && t >= seg_[i].t1)
            ++i;
        return i;
    }
    std::size_t segmentForAngle(double theta) const
    {
        std::size_t i = hint_;
        if (theta < seg_[i].theta0)
            i = 0;
        while (i + 1 < seg_.size() && theta >= seg_[i].theta1)
            ++i;
        hint_ = i;
        return i;
    }
    std::vector<Segment> seg_;
    mutable std::size_t hint_ = 0;
};

} // namespace vibrolan::sim
