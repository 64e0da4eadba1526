#include "sim/shaft.hpp"

#include <cmath>
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

double Shaft::rpmAt(double t) const
{
    std::size_t i = 0;
    while (i + 1 < seg_.size() && t >= seg_[i].t1)
        ++i;
    const Segment &s = seg_[i];
    return 60.0 * (s.w0 + s.a * (t - s.t0));
}

double Shaft::angleAt(double t) const
{
    std::size_t i = 0;
    while (i + 1 < seg_.size() && t >= seg_[i].t1)
        ++i;
    const Segment &s = seg_[i];
    const double d = t - s.t0;
    return s.theta0 + s.w0 * d + 0.5 * s.a * d * d;
}

std::size_t Shaft::segmentForAngle(double theta) const
{
    std::size_t i = hint_;
    if (theta < seg_[i].theta0)
        i = 0;
    while (i + 1 < seg_.size() && theta >= seg_[i].theta1)
        ++i;
    hint_ = i;
    return i;
}

double Shaft::timeAtAngle(double theta) const
{
    const Segment &s = seg_[segmentForAngle(theta)];
    const double dth = theta - s.theta0;
    // Root of a/2 d^2 + w0 d - dth = 0 in the form that stays exact for a -> 0.
    const double disc = s.w0 * s.w0 + 2.0 * s.a * dth;
    const double d = 2.0 * dth / (s.w0 + std::sqrt(disc > 0 ? disc : 0));
    return s.t0 + d;
}

} // namespace vibrolan::sim
