// The shaft: rpm piecewise linear in time (constant after the last point),
// its angle in revolutions and the inverse, the time at which it reaches an angle.
#pragma once

#include "sim/scenario.hpp"

#include <vector>

namespace vibrolan::sim {

class Shaft {
public:
    explicit Shaft(const std::vector<SpeedPoint> &points);

    double rpmAt(double t) const;
    double angleAt(double t) const; // revolutions since t = 0
    // Time at which the angle reaches `theta` (>= 0). Searches forward from the
    // segment of the previous call, so monotone queries cost O(1).
    double timeAtAngle(double theta) const;

private:
    struct Segment {
        double t0, t1;         // t1 = +inf for the last one
        double w0, a;          // rev/s at t0 and its slope (rev/s^2)
        double theta0, theta1; // angle at t0 and t1
    };
    std::size_t segmentForAngle(double theta) const;
    std::vector<Segment> seg_;
    mutable std::size_t hint_ = 0;
};

} // namespace vibrolan::sim
