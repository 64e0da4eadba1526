#include "plot/async_track_plot.hpp"

#include "plot/plot_style.hpp"

#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace vibrolan::plot {

AsyncTrackPlot::AsyncTrackPlot(QWidget *parent) : QWidget(parent), plot_(new QCustomPlot(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);
    styleAxes(*plot_, QStringLiteral("Время, с"), QStringLiteral("Частота, Гц"));
    addTitle(*plot_, QStringLiteral("Частота асинхронных колебаний во времени"));
    setResult({});
}

QWidget *AsyncTrackPlot::plotWidget() const { return plot_; }

void AsyncTrackPlot::setResult(const identify::AsyncResult &result)
{
    plot_->clearGraphs();
    points_.assign(result.segments.size(), {});
    double tMin = INFINITY, tMax = -INFINITY, hzMin = INFINITY, hzMax = -INFINITY;
    std::map<int, bool> inLegend;
    for (std::size_t i = 0; i < result.segments.size(); ++i) {
        const identify::AsyncSegment &s = result.segments[i];
        // A frequency the layout leaves open has no track to show.
        if (!s.frequencyKnown)
            continue;
        QVector<double> x, y;
        for (const identify::AsyncTrackPoint &p : s.track) {
            if (!std::isfinite(p.time) || !std::isfinite(p.frequencyHz))
                continue;
            x.push_back(p.time);
            y.push_back(p.frequencyHz);
            points_[i].emplace_back(p.time, p.frequencyHz);
            tMin = std::min(tMin, p.time);
            tMax = std::max(tMax, p.time);
            hzMin = std::min(hzMin, p.frequencyHz);
            hzMax = std::max(hzMax, p.frequencyHz);
        }
        if (x.isEmpty())
            continue;
        QCPGraph *g = plot_->addGraph();
        const QColor c = stageColor(s.stage);
        g->setPen(QPen(c, 1.5));
        g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDiamond, QPen(c, 1.5), QBrush(c), 7));
        g->setData(x, y, true);
        g->setName(QStringLiteral("Ступень %1").arg(s.stage + 1));
        if (inLegend[s.stage])
            g->removeFromLegend();
        inLegend[s.stage] = true;
    }
    if (!(tMax > tMin)) {
        const double c = std::isfinite(tMin) ? tMin : 0;
        tMin = c - 1;
        tMax = c + 1;
    }
    if (!(hzMax > hzMin)) {
        const double c = std::isfinite(hzMin) ? hzMin : 100;
        hzMin = c * 0.9;
        hzMax = c * 1.1 + 1;
    }
    const double tPad = 0.05 * (tMax - tMin), hzPad = 0.1 * (hzMax - hzMin);
    plot_->xAxis->setRange(std::max(0.0, tMin - tPad), tMax + tPad);
    plot_->yAxis->setRange(std::max(0.0, hzMin - hzPad), hzMax + hzPad);
    plot_->legend->setVisible(!inLegend.empty());
    plot_->replot();
}

bool AsyncTrackPlot::drawn(int segment) const
{
    return !points_.at(static_cast<std::size_t>(segment)).empty();
}

int AsyncTrackPlot::pointCount(int segment) const
{
    return static_cast<int>(points_.at(static_cast<std::size_t>(segment)).size());
}

QPointF AsyncTrackPlot::pointPixel(int segment, int point) const
{
    const QPointF &p = points_.at(static_cast<std::size_t>(segment)).at(static_cast<std::size_t>(point));
    return {plot_->xAxis->coordToPixel(p.x()), plot_->yAxis->coordToPixel(p.y())};
}

QImage AsyncTrackPlot::picture(int width, int height) { return plot_->toPixmap(width, height).toImage(); }

} // namespace vibrolan::plot
