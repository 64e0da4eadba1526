// The main window's chart: six line series, markers drawn in axis units,
// two axes with titles and automatic or manual ranges, rubber-band zoom and
// scrolling, clicks on curves with the point index. It wraps the plotting
// library so that nothing else in the program depends on it.
#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <span>
#include <vector>

class QCPCurve;
class QCPItemLine;
class QCPAxis;
class QMouseEvent;

namespace vibrolan::app {

class ChartPlotView;

enum class ChartAxis { X, Y };

class Chart : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSeriesCount = 6;

    explicit Chart(QWidget *parent = nullptr);

    // Line series 0 .. 5 with the program's fixed colours (series 4 dashed).
    int seriesCount() const { return kSeriesCount; }
    QColor seriesColor(int s) const;
    Qt::PenStyle seriesPenStyle(int s) const;
    void clearSeries(int s);
    void clearAllSeries();
    // Replaces the points of series s; they keep the order given.
    void setSeriesPoints(int s, std::vector<double> x, std::vector<double> y);
    int pointCount(int s) const;
    QPointF point(int s, int index) const;

    // Axes.
    void setAxisTitle(ChartAxis a, const QString &title);
    QString axisTitle(ChartAxis a) const;
    // Automatic axes follow the data after every change of the series.
    void setAxisAutomatic(ChartAxis a, bool automatic);
    bool axisAutomatic(ChartAxis a) const;
    // Manual range [min, max]; the axis is no longer automatic.
    void setAxisRange(ChartAxis a, double min, double max);
    double axisMin(ChartAxis a) const;
    double axisMax(ChartAxis a) const;
    // Pixel position (widget coordinates of the plot) and axis value.
    double pixelToValue(ChartAxis a, double pixel) const;
    double valueToPixel(ChartAxis a, double value) const;
    QPointF valueToPixel(QPointF value) const;

    // Rubber-band zoom with the left button; the wheel zooms too. Scrolling
    // (right-button drag) is always available.
    void setZoomEnabled(bool on);
    bool zoomEnabled() const { return zoomEnabled_; }
    // Back to the ranges the axes had before the user zoomed or scrolled.
    void undoZoom();

    // Cross markers: a plus sign filling a rectangle given in axis units.
    int addMarker(const QColor &color, int penWidth);
    void setMarkerRect(int m, const QRectF &axisRect); // left/right in x, top/bottom in y
    void setMarkerVisible(int m, bool visible);
    bool markerVisible(int m) const;
    QRectF markerRect(int m) const;
    QColor markerColor(int m) const;

    // Changes are drawn together at the next turn of the event loop; this
    // draws at once.
    void replot();
    QWidget *plotWidget() const; // the widget that receives mouse events
    // Renders the chart into an image, for checks and screenshots.
    QImage grabImage();

signals:
    // A click (press and release without dragging) near a curve.
    void seriesClicked(int series, int index, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                       QPoint pixel);
    void markerDoubleClicked(int marker);
    void mouseReleased(Qt::MouseButton button, QPoint pixel);
    void zoomed();
    void scrolled();

private:
    friend class ChartPlotView;
    void onPress(QMouseEvent *e);
    void onMove(QMouseEvent *e);
    void onRelease(QMouseEvent *e);
    void onDoubleClick(QMouseEvent *e);

    struct Marker {
        QCPItemLine *h = nullptr;
        QCPItemLine *v = nullptr;
        QRectF rect;
        QColor color;
        bool visible = false;
    };
    QCPAxis *axis(ChartAxis a) const;
    void rescaleAutomatic();
    int markerAt(QPoint pixel) const;
    void redrawMarker(Marker &m);

    ChartPlotView *plot_ = nullptr;
    std::vector<QCPCurve *> curves_;
    std::vector<Marker> markers_;
    bool autoX_ = true;
    bool autoY_ = true;
    bool zoomEnabled_ = false;
    bool scrolling_ = false;
    QPoint pressPos_;
    Qt::MouseButton pressButton_ = Qt::NoButton;
    QPoint lastDragPos_;
    double pressRanges_[4] = {0, 0, 0, 0};
    double manualX_[2] = {0, 1}; // the last range set by the program
    double manualY_[2] = {0, 1};
};

} // namespace vibrolan::app
