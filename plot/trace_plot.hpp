// One blade's resonance over its fit window: the measured dynamic deflection
// of every pair used (points), the fitted model at the same revolutions
// (a line in the pair's colour) and the model's response amplitude (the
// envelope, dashed, plus and minus), against the speed.
#pragma once

#include "identify/identify.hpp"

#include <QImage>
#include <QWidget>

class QCustomPlot;

namespace vibrolan::plot {

class TracePlot : public QWidget {
    Q_OBJECT
public:
    explicit TracePlot(QWidget *parent = nullptr);

    // `decimal`: the separator of the numbers in the title.
    void setTrace(const identify::ModelTrace &trace, const identify::BladeResonance &resonance,
                  QChar decimal = QLatin1Char('.'));
    void clear();
    // Points of the measured series of pair k of the trace, and of its model.
    int measuredCount(int k) const;
    int modelCount(int k) const;
    QString title() const { return title_; }
    QImage picture(int width, int height);
    QWidget *plotWidget() const;

private:
    QCustomPlot *plot_ = nullptr;
    QString title_;
    std::vector<int> measured_, model_; // graph indices per pair
};

} // namespace vibrolan::plot
