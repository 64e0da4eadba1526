#include "cursor/my_cursor.hpp"

#include "base/number_text.hpp"

namespace vibrolan::app {

TmyCursor::TmyCursor(Chart *AOwner, const QColor &Color, TStrProc Proc, NumberFormat fmt)
    : QObject(AOwner), TeeChar_(AOwner), DisplProc(std::move(Proc)), fmt_(std::move(fmt))
{
    marker_ = TeeChar_->addMarker(Color, 3); // created inactive
    number_ = static_cast<unsigned>(TeeChar_->findChildren<TmyCursor *>(Qt::FindDirectChildrenOnly).size());
    connect(TeeChar_, &Chart::seriesClicked, this, &TmyCursor::SeriesClick);
    connect(TeeChar_, &Chart::markerDoubleClicked, this, [this](int m) {
        if (m == marker_)
            TeeChar_->setMarkerVisible(marker_, false);
    });
}

bool TmyCursor::Active() const { return TeeChar_->markerVisible(marker_); }

void TmyCursor::Redraw()
{
    TeeChar_->setMarkerVisible(marker_, false);
    const float dx =
        static_cast<float>((TeeChar_->axisMax(ChartAxis::X) - TeeChar_->axisMin(ChartAxis::X)) / 24);
    const float dy =
        static_cast<float>((TeeChar_->axisMax(ChartAxis::Y) - TeeChar_->axisMin(ChartAxis::Y)) / 24);
    TeeChar_->setMarkerRect(marker_, QRectF(QPointF(XAV - dx, YAV + dy), QPointF(XAV + dx, YAV - dy)));
    TeeChar_->setMarkerVisible(marker_, true);
    if (DisplProc)
        DisplProc(FormatGeneral(XAV, fmt_), FormatGeneral(YAV, fmt_), ValIndex);
}

bool TmyCursor::snapTo(int i)
{
    // The last point a curve holds is its last visible one: the chart shows
    // every point it was given.
    if (Ser_ < 0 || i < 0 || i > TeeChar_->pointCount(Ser_) - 1)
        return false;
    ValIndex = i;
    const QPointF p = TeeChar_->point(Ser_, i);
    XAV = static_cast<float>(p.x());
    YAV = static_cast<float>(p.y());
    Redraw();
    return true;
}

int TmyCursor::IncIndex() { return snapTo(ValIndex + 1) ? ValIndex : -1; }
int TmyCursor::DecIndex() { return snapTo(ValIndex - 1) ? ValIndex : -1; }

void TmyCursor::SetValueIndex(unsigned v)
{
    if (v <= static_cast<unsigned>(INT32_MAX))
        snapTo(static_cast<int>(v));
}

void TmyCursor::SetSerIndex(int Ind)
{
    if (Ind < 0 || Ind >= TeeChar_->seriesCount())
        return;
    Ser_ = Ind;
    SetValueIndex(static_cast<unsigned>(ValIndex));
    Redraw();
}

void TmyCursor::SetXAxisValue(float v)
{
    XAV = v;
    Redraw();
}

void TmyCursor::SetYAxisValue(float v)
{
    YAV = v;
    Redraw();
}

void TmyCursor::SetAxisPoint(TAPoint p)
{
    XAV = p.x;
    YAV = p.y;
    Redraw();
}

void TmyCursor::SeriesClick(int series, int index, Qt::MouseButton button, Qt::KeyboardModifiers shift,
                            QPoint pixel)
{
    static constexpr Qt::MouseButton kButtons[] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
    if (number_ < 1 || number_ > 3 || button != kButtons[number_ - 1])
        return;
    // Ctrl and nothing else: Ctrl+Shift moves no cursor.
    if ((shift & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return;
    Ser_ = series;
    ValIndex = index;
    // The cross stands where the user clicked, not on the point itself.
    XAV = static_cast<float>(TeeChar_->pixelToValue(ChartAxis::X, pixel.x()));
    YAV = static_cast<float>(TeeChar_->pixelToValue(ChartAxis::Y, pixel.y()));
    Redraw();
}

} // namespace vibrolan::app
