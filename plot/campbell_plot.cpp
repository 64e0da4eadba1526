#include "plot/campbell_plot.hpp"

#include "plot/plot_style.hpp"

#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

namespace vibrolan::plot {

namespace {
// Marker radii in pixels: the largest amplitude gets the largest.
constexpr double kMinRadius = 3, kMaxRadius = 11;
} // namespace

CampbellPlot::CampbellPlot(QWidget *parent) : QWidget(parent), plot_(new QCustomPlot(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);
    styleAxes(*plot_, QStringLiteral("Частота вращения, об/мин"), QStringLiteral("Частота, Гц"));
    addTitle(*plot_, QStringLiteral("Диаграмма Кэмпбелла"));
    connect(plot_, &QCustomPlot::plottableClick, this, &CampbellPlot::onPlottableClick);
    setResult({});
}

QWidget *CampbellPlot::plotWidget() const { return plot_; }

void CampbellPlot::setResult(const identify::IdentifyResult &result, const identify::AsyncResult &async)
{
    plot_->clearGraphs();
    plot_->clearItems();
    groups_.clear();
    const auto &res = result.resonances;
    markers_.assign(res.size(), {});
    radius_.assign(res.size(), 0);

    // The speeds the run's events cover, a little wider.
    double rpmMin = INFINITY, rpmMax = -INFINITY, hzMax = 0, ampMax = 0, asyncHzMax = 0;
    eoTop_ = 1;
    auto cover = [&](const identify::ResonanceWindow &w) {
        if (std::isfinite(w.rpmFrom) && std::isfinite(w.rpmTo) && w.rpmTo >= w.rpmFrom) {
            rpmMin = std::min(rpmMin, w.rpmFrom);
            rpmMax = std::max(rpmMax, w.rpmTo);
        }
    };
    for (const auto &e : result.events)
        cover(e.window);
    for (const auto &r : res) {
        cover(r.window);
        if (std::isfinite(r.speedRpm)) {
            rpmMin = std::min(rpmMin, r.speedRpm);
            rpmMax = std::max(rpmMax, r.speedRpm);
        }
        if (std::isfinite(r.frequencyHz))
            hzMax = std::max(hzMax, r.frequencyHz);
        if (std::isfinite(r.amplitude))
            ampMax = std::max(ampMax, r.amplitude);
        eoTop_ = std::max(eoTop_, std::min(r.engineOrder, 200));
    }
    // The segments: a frequency the layout leaves open has no place on the diagram.
    asyncMarkers_.assign(async.segments.size(), QPointF(NAN, NAN));
    for (std::size_t i = 0; i < async.segments.size(); ++i) {
        const identify::AsyncSegment &s = async.segments[i];
        if (!s.frequencyKnown || !std::isfinite(s.speedRpm) || !std::isfinite(s.frequencyHz))
            continue;
        asyncMarkers_[i] = QPointF(s.speedRpm, s.frequencyHz);
        rpmMin = std::min(rpmMin, s.speedRpm);
        rpmMax = std::max(rpmMax, s.speedRpm);
        hzMax = std::max(hzMax, s.frequencyHz);
        asyncHzMax = std::max(asyncHzMax, s.frequencyHz);
    }
    if (!(rpmMax > rpmMin)) {
        const double c = std::isfinite(rpmMin) ? rpmMin : 3000;
        rpmMin = c * 0.9;
        rpmMax = c * 1.1 + 1;
    }
    const double pad = 0.05 * (rpmMax - rpmMin);
    rpmMin = std::max(0.0, rpmMin - pad);
    rpmMax += pad;
    eoTop_ += 1; // one line above the highest identified order
    // Where the segments stand above those lines: the orders up to theirs too.
    if (asyncHzMax > 0)
        eoTop_ = std::max(eoTop_, std::min(200, static_cast<int>(std::ceil(60.0 * asyncHzMax / rpmMax)) + 1));
    // Up to a little above the highest marker (the lines of all orders below it cross the diagram).
    const double top = hzMax > 0 ? 1.15 * hzMax : 1.05 * eoTop_ * rpmMax / 60.0;

    // The engine-order lines, labelled where they leave the diagram.
    for (int eo = 1; eo <= eoTop_; ++eo) {
        QCPGraph *g = plot_->addGraph();
        g->setPen(QPen(QColor(150, 150, 150), 1, Qt::DashLine));
        g->setData({rpmMin, rpmMax}, {eo * rpmMin / 60.0, eo * rpmMax / 60.0}, true);
        g->removeFromLegend();
        auto *label = new QCPItemText(plot_);
        const double endHz = eo * rpmMax / 60.0;
        const bool right = endHz <= top;
        label->position->setCoords(right ? rpmMax : 60.0 * top / eo, right ? endHz : top);
        label->setPositionAlignment(right ? (Qt::AlignRight | Qt::AlignBottom)
                                          : (Qt::AlignHCenter | Qt::AlignTop));
        label->setText(QStringLiteral("k=%1").arg(eo));
        label->setColor(QColor(110, 110, 110));
        label->setClipToAxisRect(true);
    }

    // Markers: one graph per stage and size, its points by speed.
    std::map<std::pair<int, int>, std::vector<int>> bySize;
    for (std::size_t i = 0; i < res.size(); ++i) {
        const auto &r = res[i];
        markers_[i] = QPointF(r.speedRpm, r.frequencyHz);
        const double share =
            ampMax > 0 && std::isfinite(r.amplitude) ? std::max(0.0, r.amplitude) / ampMax : 0.0;
        const int size =
            static_cast<int>(std::lround(2 * (kMinRadius + (kMaxRadius - kMinRadius) * std::sqrt(share))));
        radius_[i] = size / 2.0;
        bySize[{r.stage, size}].push_back(static_cast<int>(i));
    }
    std::map<int, bool> inLegend;
    for (auto &[key, members] : bySize) {
        std::stable_sort(members.begin(), members.end(), [&](int a, int b) {
            return markers_[static_cast<std::size_t>(a)].x() < markers_[static_cast<std::size_t>(b)].x();
        });
        QVector<double> x, y;
        for (int i : members) {
            x.push_back(markers_[static_cast<std::size_t>(i)].x());
            y.push_back(markers_[static_cast<std::size_t>(i)].y());
        }
        QCPGraph *g = plot_->addGraph();
        const QColor c = stageColor(key.first);
        QColor fill = c;
        fill.setAlpha(110);
        g->setLineStyle(QCPGraph::lsNone);
        g->setScatterStyle(
            QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(c, 1.5), QBrush(fill), key.second));
        g->setData(x, y, true);
        g->setName(QStringLiteral("Ступень %1").arg(key.first + 1));
        if (inLegend[key.first])
            g->removeFromLegend();
        inLegend[key.first] = true;
        groups_.emplace_back(g, members);
    }
    // Diamonds for the segments, one graph per stage.
    std::map<int, std::vector<std::size_t>> segmentsOf;
    for (std::size_t i = 0; i < asyncMarkers_.size(); ++i)
        if (std::isfinite(asyncMarkers_[i].x()))
            segmentsOf[async.segments[i].stage].push_back(i);
    for (auto &[stage, members] : segmentsOf) {
        std::stable_sort(members.begin(), members.end(), [&](std::size_t a, std::size_t b) {
            return asyncMarkers_[a].x() < asyncMarkers_[b].x();
        });
        QVector<double> x, y;
        for (std::size_t i : members) {
            x.push_back(asyncMarkers_[i].x());
            y.push_back(asyncMarkers_[i].y());
        }
        QCPGraph *g = plot_->addGraph();
        const QColor c = stageColor(stage);
        g->setLineStyle(QCPGraph::lsNone);
        g->setScatterStyle(
            QCPScatterStyle(QCPScatterStyle::ssDiamond, QPen(c.darker(130), 1.5), QBrush(c), 12));
        g->setData(x, y, true);
        g->setName(QStringLiteral("Ступень %1, асинхронные").arg(stage + 1));
    }
    plot_->legend->setVisible(!res.empty() || !segmentsOf.empty());
    plot_->xAxis->setRange(rpmMin, rpmMax);
    plot_->yAxis->setRange(0, top);
    plot_->replot();
}

QPointF CampbellPlot::markerPixel(int i) const
{
    const QPointF &m = markers_.at(static_cast<std::size_t>(i));
    return {plot_->xAxis->coordToPixel(m.x()), plot_->yAxis->coordToPixel(m.y())};
}

double CampbellPlot::markerRadius(int i) const { return radius_.at(static_cast<std::size_t>(i)); }

bool CampbellPlot::hasAsyncMarker(int i) const
{
    return std::isfinite(asyncMarkers_.at(static_cast<std::size_t>(i)).x());
}

QPointF CampbellPlot::asyncMarkerPixel(int i) const
{
    const QPointF &m = asyncMarkers_.at(static_cast<std::size_t>(i));
    return {plot_->xAxis->coordToPixel(m.x()), plot_->yAxis->coordToPixel(m.y())};
}

void CampbellPlot::onPlottableClick(QCPAbstractPlottable *plottable, int dataIndex, QMouseEvent *)
{
    for (const auto &[g, members] : groups_)
        if (g == plottable && dataIndex >= 0 && dataIndex < static_cast<int>(members.size()))
            emit resonanceClicked(members[static_cast<std::size_t>(dataIndex)]);
}

QImage CampbellPlot::picture(int width, int height) { return plot_->toPixmap(width, height).toImage(); }

SaveFailure CampbellPlot::savePng(const QString &file, int width, int height)
{
    return savePicture(picture(width, height), file);
}

} // namespace vibrolan::plot
