#include "chart/plot_curve.hpp"

#include <QApplication>

#include <algorithm>

namespace vibrolan::app {

namespace {

struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

template <class XAt, class YAt>
void plot(Chart &chart, int series, std::size_t n, XAt xAt, YAt yAt, std::size_t limit)
{
    BusyCursor busy;
    const ThinPlan plan = PlanThinning(n, xAt, limit);
    std::vector<double> xs, ys;
    xs.reserve(plan.count);
    ys.reserve(plan.count);
    for (std::size_t i : ThinnedIndices(plan)) {
        xs.push_back(xAt(i));
        ys.push_back(yAt(i));
    }
    chart.setSeriesPoints(series, std::move(xs), std::move(ys));
}

} // namespace

void PlotCurve(Chart &chart, int series, const TMArray &curve, std::size_t limit)
{
    plot(
        chart, series, curve.size(), [&](std::size_t i) { return curve[i].x; },
        [&](std::size_t i) { return curve[i].y; }, limit);
}

void PlotArrays(Chart &chart, int series, std::span<const float> x, std::span<const float> y,
                std::size_t limit)
{
    plot(
        chart, series, std::min(x.size(), y.size()), [&](std::size_t i) { return x[i]; },
        [&](std::size_t i) { return y[i]; }, limit);
}

} // namespace vibrolan::app
