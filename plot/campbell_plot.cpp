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

void CampbellPlot::setResult(const identify::IdentifyResult &result)
{
    plot_->clearGraphs();
    plot_->clearItems();
    groups_.clear();
    const auto &res = result.resonances;
    markers_.assign(res.size(), {});
    radius_.assign(res.size(), 0);

    // The speeds the run's events cover, a little wider.
    double rpmMin = INFINITY, rpmMax = -INFINITY, hzMax = 0, ampMax = 0;
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
    if (!(rpmMax > rpmMin)) {
        const double c = std::isfinite(rpmMin) ? rpmMin : 3000;
        rpmMin = c * 0.9;
        rpmMax = c * 1.1 + 1;
    }
    const double pad = 0.05 * (rpmMax - rpmMin);
    rpmMin = std::max(0.0, rpmMin - pad);
    rpmMax += pad;
    eoTop_ += 1; // one line above the highest identified order
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
    plot_->legend->setVisible(!res.empty());
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
