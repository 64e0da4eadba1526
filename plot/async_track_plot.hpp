// The frequency tracks of the asynchronous segments: every segment whose
// stationary frequency is determined a line with a point per window,
// frequency against time, coloured by its stage. A drifting stall shows as
// a sloping line, a steady flutter as a flat one.
#pragma once

#include "identify/async_vibration.hpp"

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <vector>

class QCustomPlot;

namespace vibrolan::plot {

class AsyncTrackPlot : public QWidget {
    Q_OBJECT
public:
    explicit AsyncTrackPlot(QWidget *parent = nullptr);

    // Draws the tracks of `result` (nothing but the axes without any).
    void setResult(const identify::AsyncResult &result);

    // Whether segment i (an index into the result's segments) is drawn, its
    // number of points, and where point j of it is in pixels of plotWidget().
    bool drawn(int segment) const;
    int pointCount(int segment) const;
    QPointF pointPixel(int segment, int point) const;
    QWidget *plotWidget() const;
    QImage picture(int width, int height);

private:
    QCustomPlot *plot_ = nullptr;
    std::vector<std::vector<QPointF>> points_; // per segment: (s, Hz) per window; empty: not drawn
};

} // namespace vibrolan::plot
