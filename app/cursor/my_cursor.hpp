// A measuring cursor of the main chart: a cross standing at one point of a
// curve. Every move is reported to a display procedure with the cursor's x
// and y in general number format and its point index.
#pragma once

#include "base/number_format.hpp"
#include "chart/chart.hpp"

#include <QObject>

#include <functional>

namespace vibrolan::app {

struct TAPoint {
    float x = 0;
    float y = 0;
};

using TStrProc = std::function<void(const QString &x, const QString &y, int index)>;

class TmyCursor : public QObject {
    Q_OBJECT
public:
    // The cursor is a child of the chart and is numbered 1, 2, 3 ... in the
    // order of creation on that chart.
    TmyCursor(Chart *AOwner, const QColor &Color, TStrProc Proc, NumberFormat fmt = {});

    // One point forward / back along the curve; the new index, or -1 when
    // the cursor cannot move (nothing changes then).
    int IncIndex();
    int DecIndex();
    // Attaches the cursor to series Ind and snaps it to its current index.
    void SetSerIndex(int Ind);

    float XAxisValue() const { return XAV; }
    void SetXAxisValue(float v);
    float YAxisValue() const { return YAV; }
    void SetYAxisValue(float v);
    TAPoint AxisPoint() const { return {XAV, YAV}; }
    void SetAxisPoint(TAPoint p);
    unsigned ValueIndex() const { return static_cast<unsigned>(ValIndex); }
    void SetValueIndex(unsigned v);

    int Ser() const { return Ser_; } // -1: no curve yet
    unsigned number() const { return number_; }
    bool Active() const;
    Chart *TeeChar() const { return TeeChar_; }
    int marker() const { return marker_; }

    // The chart's click on a curve (also reachable for tests).
    void SeriesClick(int series, int index, Qt::MouseButton button, Qt::KeyboardModifiers shift,
                     QPoint pixel);

private:
    void Redraw();
    bool snapTo(int i);

    Chart *TeeChar_;
    int Ser_ = -1;
    TStrProc DisplProc;
    float XAV = 0;
    float YAV = 0;
    int ValIndex = 0;
    unsigned number_ = 0;
    int marker_ = -1;
    NumberFormat fmt_;
};

} // namespace vibrolan::app
