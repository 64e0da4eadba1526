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

} // namespace vibrolan::sim
