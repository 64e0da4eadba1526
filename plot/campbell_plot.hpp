// The Campbell diagram of an identification: frequency against speed, the
// engine-order lines over the run's speeds, every identified resonance a
// marker at (its speed, its natural frequency) sized by its amplitude and
// coloured by its stage; every asynchronous segment whose stationary
// frequency is determined a diamond at (its mean speed, that frequency). A
// click on a resonance marker names the resonance. The same
// widget draws the picture files of the command line (campbell_file.hpp).
#pragma once

#include "identify/async_vibration.hpp"
#include "identify/identify.hpp"
#include "plot/plot_style.hpp"

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <vector>

class QCustomPlot;
class QCPAbstractPlottable;
class QMouseEvent;

namespace vibrolan::plot {

class CampbellPlot : public QWidget {
    Q_OBJECT
public:
    explicit CampbellPlot(QWidget *parent = nullptr);

    // Draws the resonances of `result` and the segments of `async` (nothing
    // but the axes without any).
    void setResult(const identify::IdentifyResult &result, const identify::AsyncResult &async = {});

    // Where resonance i (an index into the result's resonances) is drawn,
    // in pixels of plotWidget(); its marker's radius in pixels.
    QPointF markerPixel(int i) const;
    double markerRadius(int i) const;
    // Whether segment i (an index into the asynchronous result's segments)
    // has a diamond, and where it is drawn in pixels of plotWidget().
    bool hasAsyncMarker(int i) const;
    QPointF asyncMarkerPixel(int i) const;
    int highestEngineOrder() const { return eoTop_; }
    QWidget *plotWidget() const;

    // The picture at the given size.
    QImage picture(int width, int height);
    // Saves it as PNG, complete or not at all (see savePicture()).
    SaveFailure savePng(const QString &file, int width, int height);

signals:
    void resonanceClicked(int index);

private:
    void onPlottableClick(QCPAbstractPlottable *plottable, int dataIndex, QMouseEvent *event);

    QCustomPlot *plot_ = nullptr;
    // Per marker graph: the resonances it draws, in the order of its points (by speed).
    std::vector<std::pair<QCPAbstractPlottable *, std::vector<int>>> groups_;
    std::vector<QPointF> markers_; // (rpm, Hz) per resonance
    std::vector<double> radius_;
    std::vector<QPointF> asyncMarkers_; // (rpm, Hz) per segment, NaN: not drawn
    int eoTop_ = 0;
};

} // namespace vibrolan::plot
