// Putting result curves on the chart and drawing it (offscreen). Ratios
// against baselines measured in the same run:
//   x_unthinned  one 1000001-sample curve thinned to 100000 points, set and
//                drawn, against the same curve set and drawn unthinned;
// BM_SixCurves draws the four blade curves and the two auxiliary ones of
// 100000 points each, the largest picture the window shows:
//   x_sorted_graph  against the library's fastest path, its key-sorted graph
//                   with adaptive sampling, on a plot of the same size. Our
//                   series keep the points in the order given (a rotation
//                   speed that wavers must not be re-sorted), which costs this.
#include "bench_timing.hpp"
#include "chart/chart.hpp"
#include "chart/plot_curve.hpp"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <qcustomplot.h>

#include <chrono>
#include <cmath>
#include <functional>

using namespace vibrolan::app;

namespace {

TMArray makeCurve(std::size_t n, double phase)
{
    TMArray c(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(n);
        c[i] = {static_cast<float>(600 + 2600 * t),
                static_cast<float>(std::sin(40 * t + phase) + 0.3 * std::sin(900 * t))};
    }
    return c;
}

using vibrolan::bench::bestSecondsOf;

Chart &chart()
{
    static Chart *c = [] {
        auto *ch = new Chart;
        ch->resize(1200, 600);
        ch->show();
        return ch;
    }();
    return *c;
}

void BM_LongCurve(benchmark::State &state)
{
    const TMArray curve = makeCurve(1000001, 0);
    Chart &c = chart();
    const double unthinned = bestSecondsOf([&] {
        PlotCurve(c, 0, curve, curve.size());
        benchmark::DoNotOptimize(c.grabImage());
    });
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        PlotCurve(c, 0, curve);
        benchmark::DoNotOptimize(c.grabImage());
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    const double each = total / static_cast<double>(state.iterations());
    state.counters["x_unthinned"] = each / unthinned;
    c.clearAllSeries();
}

void BM_SixCurves(benchmark::State &state)
{
    std::vector<TMArray> curves;
    for (int s = 0; s < 6; ++s)
        curves.push_back(makeCurve(100002, s));
    Chart &c = chart();
    QCustomPlot plain;
    plain.resize(c.plotWidget()->size());
    plain.show();
    std::vector<QCPGraph *> plainCurves;
    for (int s = 0; s < 6; ++s) {
        plainCurves.push_back(plain.addGraph());
        QPen pen(c.seriesColor(s));
        pen.setStyle(c.seriesPenStyle(s));
        plainCurves.back()->setPen(pen);
    }
    const double library = bestSecondsOf([&] {
        for (int s = 0; s < 6; ++s) {
            if (s == 4 && !state.range(0))
                continue;
            const TMArray &cv = curves[static_cast<std::size_t>(s)];
            QVector<double> x, y;
            for (std::size_t i = 0; i + 1 < cv.size(); ++i) {
                x.push_back(cv[i].x);
                y.push_back(cv[i].y);
            }
            plainCurves[static_cast<std::size_t>(s)]->setData(x, y, true);
        }
        plain.rescaleAxes();
        benchmark::DoNotOptimize(plain.toPixmap());
    });
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int s = 0; s < 6; ++s)
            if (s != 4 || state.range(0))
                PlotCurve(c, s, curves[static_cast<std::size_t>(s)]);
        benchmark::DoNotOptimize(c.grabImage());
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    state.counters["x_sorted_graph"] = total / static_cast<double>(state.iterations()) / library;
    c.clearAllSeries();
}

} // namespace

BENCHMARK(BM_LongCurve)->Unit(benchmark::kMillisecond);
// Argument 0 leaves out the dashed auxiliary curve.
BENCHMARK(BM_SixCurves)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // Drawing needs no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
