#include "chart/chart.hpp"

#include <QMouseEvent>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace vibrolan::app {

namespace {

struct SeriesLook {
    QRgb rgb;
    Qt::PenStyle style;
};

// Graphs 1-4 match the marks beside the blade selectors; 4 and 5 are the
// auxiliary curves.
constexpr std::array<SeriesLook, Chart::kSeriesCount> kLooks = {{
    {0x0000FF, Qt::SolidLine},
    {0xFF0000, Qt::SolidLine},
    {0x800000, Qt::SolidLine},
    {0x800080, Qt::SolidLine},
    {0x000000, Qt::DashLine},
    {0xFF8040, Qt::SolidLine},
}};

constexpr int kClickSlack = 3;   // pixels a click may move and still be a click
constexpr double kHitPixels = 8; // how near a marker a double click must be

} // namespace

// The plotting widget; it hands its mouse events to the chart after its own
// handling, so that zoom results are already applied when the chart looks.
class ChartPlotView : public QCustomPlot {
public:
    ChartPlotView(Chart *owner) : QCustomPlot(owner), owner_(owner) {}

protected:
    void mousePressEvent(QMouseEvent *e) override
    {
        owner_->onPress(e);
        // The right button scrolls; the plot must not start a zoom rectangle with it.
        if (e->button() != Qt::RightButton)
            QCustomPlot::mousePressEvent(e);
    }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        if (!(e->buttons() & Qt::RightButton))
            QCustomPlot::mouseMoveEvent(e);
        owner_->onMove(e);
    }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        if (e->button() != Qt::RightButton)
            QCustomPlot::mouseReleaseEvent(e);
        owner_->onRelease(e);
    }
    void wheelEvent(QWheelEvent *e) override
    {
        QCustomPlot::wheelEvent(e);
        if (owner_->zoomEnabled())
            emit owner_->zoomed();
    }
    void mouseDoubleClickEvent(QMouseEvent *e) override
    {
        QCustomPlot::mouseDoubleClickEvent(e);
        owner_->onDoubleClick(e);
    }

private:
    Chart *owner_;
};

Chart::Chart(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    plot_ = new ChartPlotView(this);
    layout->addWidget(plot_);
    plot_->setNoAntialiasingOnDrag(true);
    plot_->setSelectionTolerance(static_cast<int>(kHitPixels));
    for (int s = 0; s < kSeriesCount; ++s) {
        auto *c = new QCPCurve(plot_->xAxis, plot_->yAxis);
        QPen pen(QColor::fromRgb(kLooks[s].rgb));
        pen.setStyle(kLooks[s].style);
        c->setPen(pen);
        c->setAntialiased(false);
        curves_.push_back(c);
    }
    plot_->xAxis->setRange(0, 1);
    plot_->yAxis->setRange(0, 1);
}

QWidget *Chart::plotWidget() const { return plot_; }

QColor Chart::seriesColor(int s) const { return curves_.at(static_cast<std::size_t>(s))->pen().color(); }

Qt::PenStyle Chart::seriesPenStyle(int s) const
{
    return curves_.at(static_cast<std::size_t>(s))->pen().style();
}

void Chart::clearSeries(int s)
{
    curves_.at(static_cast<std::size_t>(s))->data()->clear();
    rescaleAutomatic();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void Chart::clearAllSeries()
{
    for (auto *c : curves_)
        c->data()->clear();
    rescaleAutomatic();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void Chart::setSeriesPoints(int s, std::vector<double> x, std::vector<double> y)
{
    const std::size_t n = std::min(x.size(), y.size());
    x.resize(n);
    y.resize(n);
    // The curve parameter is the point index, so points keep the order given
    // and a click reports the same index the caller used.
    QVector<double> t(static_cast<qsizetype>(n));
    for (std::size_t i = 0; i < n; ++i)
        t[static_cast<qsizetype>(i)] = static_cast<double>(i);
    curves_.at(static_cast<std::size_t>(s))
        ->setData(t, QVector<double>(x.begin(), x.end()), QVector<double>(y.begin(), y.end()), true);
    rescaleAutomatic();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

int Chart::pointCount(int s) const { return curves_.at(static_cast<std::size_t>(s))->data()->size(); }

QPointF Chart::point(int s, int index) const
{
    const auto &d = curves_.at(static_cast<std::size_t>(s))->data();
    if (index < 0 || index >= d->size())
        return {};
    const auto it = d->at(index);
    return {it->key, it->value};
}

QCPAxis *Chart::axis(ChartAxis a) const { return a == ChartAxis::X ? plot_->xAxis : plot_->yAxis; }

void Chart::setAxisTitle(ChartAxis a, const QString &title)
{
    axis(a)->setLabel(title);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

QString Chart::axisTitle(ChartAxis a) const { return axis(a)->label(); }

void Chart::setAxisAutomatic(ChartAxis a, bool automatic)
{
    (a == ChartAxis::X ? autoX_ : autoY_) = automatic;
    if (automatic) {
        rescaleAutomatic();
        plot_->replot(QCustomPlot::rpQueuedReplot);
    }
}

bool Chart::axisAutomatic(ChartAxis a) const { return a == ChartAxis::X ? autoX_ : autoY_; }

void Chart::setAxisRange(ChartAxis a, double min, double max)
{
    (a == ChartAxis::X ? autoX_ : autoY_) = false;
    double *m = a == ChartAxis::X ? manualX_ : manualY_;
    m[0] = min;
    m[1] = max;
    axis(a)->setRange(min, max);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

double Chart::axisMin(ChartAxis a) const { return axis(a)->range().lower; }
double Chart::axisMax(ChartAxis a) const { return axis(a)->range().upper; }

double Chart::pixelToValue(ChartAxis a, double pixel) const { return axis(a)->pixelToCoord(pixel); }
double Chart::valueToPixel(ChartAxis a, double value) const { return axis(a)->coordToPixel(value); }
QPointF Chart::valueToPixel(QPointF value) const
{
    return {valueToPixel(ChartAxis::X, value.x()), valueToPixel(ChartAxis::Y, value.y())};
}

void Chart::rescaleAutomatic()
{
    // Each automatic axis spans the data of the non-empty curves exactly.
    for (ChartAxis a : {ChartAxis::X, ChartAxis::Y}) {
        if (!axisAutomatic(a))
            continue;
        bool found = false;
        QCPRange r;
        for (auto *c : curves_) {
            if (c->data()->isEmpty())
                continue;
            bool ok = false;
            const QCPRange cr = a == ChartAxis::X ? c->getKeyRange(ok) : c->getValueRange(ok);
            if (!ok)
                continue;
            if (!found)
                r = cr;
            else
                r.expand(cr);
            found = true;
        }
        if (!found)
            continue;
        if (r.upper - r.lower <= 0) {
            // A flat curve still gets a visible band around its value.
            const double pad = r.lower == 0 ? 1 : std::abs(r.lower) * 0.05;
            r.lower -= pad;
            r.upper += pad;
        }
        axis(a)->setRange(r);
    }
    for (auto &m : markers_)
        redrawMarker(m);
}

void Chart::setZoomEnabled(bool on)
{
    zoomEnabled_ = on;
    plot_->setSelectionRectMode(on ? QCP::srmZoom : QCP::srmNone);
    plot_->setInteractions(on ? QCP::Interactions(QCP::iRangeZoom) : QCP::Interactions());
}

void Chart::undoZoom()
{
    if (!autoX_)
        plot_->xAxis->setRange(manualX_[0], manualX_[1]);
    if (!autoY_)
        plot_->yAxis->setRange(manualY_[0], manualY_[1]);
    rescaleAutomatic();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

int Chart::addMarker(const QColor &color, int penWidth)
{
    Marker m;
    m.color = color;
    QPen pen(color);
    pen.setWidth(penWidth);
    m.h = new QCPItemLine(plot_);
    m.v = new QCPItemLine(plot_);
    for (auto *line : {m.h, m.v}) {
        line->setPen(pen);
        line->setSelectable(false);
        line->setVisible(false);
        line->setClipToAxisRect(true);
    }
    markers_.push_back(m);
    return static_cast<int>(markers_.size()) - 1;
}

void Chart::redrawMarker(Marker &m)
{
    const QRectF &r = m.rect;
    const double cx = (r.left() + r.right()) / 2;
    const double cy = (r.top() + r.bottom()) / 2;
    m.h->start->setCoords(r.left(), cy);
    m.h->end->setCoords(r.right(), cy);
    m.v->start->setCoords(cx, r.top());
    m.v->end->setCoords(cx, r.bottom());
    m.h->setVisible(m.visible);
    m.v->setVisible(m.visible);
}

void Chart::setMarkerRect(int i, const QRectF &axisRect)
{
    auto &m = markers_.at(static_cast<std::size_t>(i));
    m.rect = axisRect;
    redrawMarker(m);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void Chart::setMarkerVisible(int i, bool visible)
{
    auto &m = markers_.at(static_cast<std::size_t>(i));
    m.visible = visible;
    redrawMarker(m);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

bool Chart::markerVisible(int i) const { return markers_.at(static_cast<std::size_t>(i)).visible; }
QRectF Chart::markerRect(int i) const { return markers_.at(static_cast<std::size_t>(i)).rect; }
QColor Chart::markerColor(int i) const { return markers_.at(static_cast<std::size_t>(i)).color; }

void Chart::replot() { plot_->replot(); }

QImage Chart::grabImage() { return plot_->toPixmap().toImage(); }

int Chart::markerAt(QPoint pixel) const
{
    int best = -1;
    double bestDist = kHitPixels;
    for (std::size_t i = 0; i < markers_.size(); ++i) {
        const auto &m = markers_[i];
        if (!m.visible)
            continue;
        for (auto *line : {m.h, m.v}) {
            const double d = line->selectTest(QPointF(pixel), false);
            if (d >= 0 && d < bestDist) {
                bestDist = d;
                best = static_cast<int>(i);
            }
        }
    }
    return best;
}

void Chart::onPress(QMouseEvent *e)
{
    pressPos_ = e->position().toPoint();
    lastDragPos_ = pressPos_;
    pressButton_ = e->button();
    scrolling_ = false;
    pressRanges_[0] = axisMin(ChartAxis::X);
    pressRanges_[1] = axisMax(ChartAxis::X);
    pressRanges_[2] = axisMin(ChartAxis::Y);
    pressRanges_[3] = axisMax(ChartAxis::Y);
}

void Chart::onMove(QMouseEvent *e)
{
    if (!(e->buttons() & Qt::RightButton))
        return;
    const QPoint pos = e->position().toPoint();
    if (!scrolling_ && (pos - pressPos_).manhattanLength() <= kClickSlack)
        return;
    scrolling_ = true;
    // Drag the picture with the pointer: move both ranges by the pixel delta.
    const double dx = pixelToValue(ChartAxis::X, lastDragPos_.x()) - pixelToValue(ChartAxis::X, pos.x());
    const double dy = pixelToValue(ChartAxis::Y, lastDragPos_.y()) - pixelToValue(ChartAxis::Y, pos.y());
    lastDragPos_ = pos;
    plot_->xAxis->moveRange(dx);
    plot_->yAxis->moveRange(dy);
    plot_->replot(QCustomPlot::rpQueuedReplot);
    emit scrolled();
}

void Chart::onRelease(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    const bool click = !scrolling_ && (pos - pressPos_).manhattanLength() <= kClickSlack;
    scrolling_ = false;
    if (zoomEnabled_ && e->button() == Qt::LeftButton &&
        (axisMin(ChartAxis::X) != pressRanges_[0] || axisMax(ChartAxis::X) != pressRanges_[1] ||
         axisMin(ChartAxis::Y) != pressRanges_[2] || axisMax(ChartAxis::Y) != pressRanges_[3]))
        emit zoomed();
    if (click) {
        int index = -1;
        auto *hit = plot_->plottableAt(QPointF(pos), false, &index);
        const auto it = std::find(curves_.begin(), curves_.end(), hit);
        if (hit && it != curves_.end() && index >= 0)
            emit seriesClicked(static_cast<int>(it - curves_.begin()), index, e->button(), e->modifiers(),
                               pos);
    }
    emit mouseReleased(e->button(), pos);
}

void Chart::onDoubleClick(QMouseEvent *e)
{
    const int m = markerAt(e->position().toPoint());
    if (m >= 0)
        emit markerDoubleClicked(m);
}

} // namespace vibrolan::app
