// The plot controls and cursor read-outs of the main window.
#include "window/main_window.hpp"

#include "base/number_text.hpp"
#include "chart/chart.hpp"
#include "chart/plot_curve.hpp"
#include "cursor/my_cursor.hpp"
#include "plots/graph_kinds.hpp"
#include "window/up_down.hpp"
#include "windows/float_edit.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>

#include <cmath>

namespace vibrolan::app {

namespace {
const QColor kGraphColours[4] = {QColor(0x00, 0x00, 0xFF), QColor(0xFF, 0x00, 0x00), QColor(0x80, 0x00, 0x00),
                                 QColor(0x80, 0x00, 0x80)};
constexpr double kSmallestSingle = 1.401298464324817e-45;

// Read-outs show the start of a long number, not its end.
void setReadout(QLineEdit *e, const QString &text)
{
    e->setText(text);
    e->setCursorPosition(0);
}
} // namespace

void TMain::CursorDisplay(int cursor, const QString &x, const QString &y, int index)
{
    if (cursor == 1) {
        setReadout(Edit1, x);
        setReadout(Edit5, y);
        CursorIndex1 = index;
    } else {
        setReadout(Edit2, x);
        setReadout(Edit6, y);
        CursorIndex2 = index;
    }
    updateDifferences();
}

void TMain::updateDifferences()
{
    const double dx = std::abs(ParseNumber(Edit1->text(), fmt) - ParseNumber(Edit2->text(), fmt));
    const double dy = std::abs(ParseNumber(Edit5->text(), fmt) - ParseNumber(Edit6->text(), fmt));
    setReadout(Edit3, FormatFixed(dx, 6, 3, fmt));
    setReadout(Edit4, FormatFixed(dy, 6, 3, fmt));
}

void TMain::RefreshReadouts()
{
    setReadout(Edit1, FormatFixed(Cursor1->XAxisValue(), 6, 3, fmt));
    setReadout(Edit5, FormatFixed(Cursor1->YAxisValue(), 6, 3, fmt));
    setReadout(Edit2, FormatFixed(Cursor2->XAxisValue(), 6, 3, fmt));
    setReadout(Edit6, FormatFixed(Cursor2->YAxisValue(), 6, 3, fmt));
    updateDifferences();
}

void TMain::UpDownClick(int cursor, bool next)
{
    TmyCursor *c = cursor == 1 ? Cursor1 : Cursor2;
    TUpDown *ud = cursor == 1 ? UpDown1 : UpDown2;
    const int i = next ? c->IncIndex() : c->DecIndex();
    if (i >= 0)
        ud->Position = i;
}

void TMain::UpDCrPlotClick(int cursor, bool next)
{
    int &plot = cursor == 1 ? CursorPlot1 : CursorPlot2;
    plot = std::clamp(plot + (next ? 1 : -1), 0, 3);
    (cursor == 1 ? Cursor1 : Cursor2)->SetSerIndex(plot);
    QFrame *mark = cursor == 1 ? ShpPlotCr1 : ShpPlotCr2;
    QPalette p = mark->palette();
    p.setColor(QPalette::Window, kGraphColours[plot]);
    mark->setPalette(p);
    BladeLocation loc;
    const int entry = CbxName[static_cast<std::size_t>(plot)]->currentIndex();
    if (entry >= 0 && GetLocationByIndex(*CfgDfm, static_cast<std::uint16_t>(entry), loc))
        Cur = loc;
}

int TMain::selectedKind() const { return std::max(0, CbxGraph->currentIndex()); }

const TPair *TMain::pairAt(const BladeLocation &loc) const
{
    if (loc.stage >= kMaxStages || loc.pair >= kMaxPairs)
        return nullptr;
    return &CfgDfm->Stages[loc.stage].Pairs[loc.pair];
}

void TMain::drawAux(int g)
{
    const int kind = selectedKind();
    const BladeCurves &c = lastCurves_[static_cast<std::size_t>(g)];
    PlotCurve(*Chart1, 4, kind == 4 ? c.StallData : c.FitData);
}

void TMain::drawGraph(int g, bool updateAux)
{
    QComboBox *cbx = CbxName[static_cast<std::size_t>(g)];
    BladeLocation loc;
    if (!ChbxGraph[static_cast<std::size_t>(g)]->isChecked() || cbx->currentIndex() < 0 ||
        !GetLocationByIndex(*CfgDfm, static_cast<std::uint16_t>(cbx->currentIndex()), loc))
        return;
    const TPair *p = pairAt(loc);
    const auto &sensors = CfgDfm->Sensors;
    if (p->Root < sensors.size() && p->Peak < sensors.size())
        cbx->setToolTip(QString::fromStdString(sensors[p->Root].NameSensor) + QLatin1Char('-') +
                        QString::fromStdString(sensors[p->Peak].NameSensor));
    AxesTaho = Rbtn1->isChecked();
    const int kind = selectedKind();
    auto &curves = lastCurves_[static_cast<std::size_t>(g)];
    curves =
        GetXYByLocation(*CfgDfm, loc, CfgDfm->Mode, kind, static_cast<std::uint32_t>(std::max(0, p->Size)),
                        AxesTaho, FrequencyDivisor(ComboBox1->currentIndex()));
    PlotCurve(*Chart1, g, curves.xyData);
    Chart1->setAxisTitle(ChartAxis::Y, YAxisTitle(CfgDfm->Mode, kind));
    Chart1->setAxisTitle(ChartAxis::X, XAxisTitle(CfgDfm->Mode, kind, AxesTaho, ComboBox1->currentText()));
    if (updateAux) {
        bool higherChecked = false;
        for (int h = g + 1; h < 4; ++h)
            higherChecked = higherChecked || ChbxGraph[static_cast<std::size_t>(h)]->isChecked();
        if (!higherChecked)
            drawAux(g);
    }
}

void TMain::CbxNameChange(int k)
{
    if (NoResults)
        return;
    QComboBox *cbx = CbxName[static_cast<std::size_t>(k)];
    BladeLocation loc;
    if (!ChbxGraph[static_cast<std::size_t>(k)]->isChecked() || cbx->currentIndex() < 0 ||
        !GetLocationByIndex(*CfgDfm, static_cast<std::uint16_t>(cbx->currentIndex()), loc))
        return;
    const int size = pairAt(loc)->Size;
    UpDown1->Max = UpDown2->Max = size >= 32767 ? 32767 : size;
    drawGraph(k, true);
}

void TMain::CbxGraphChange()
{
    if (NoResults)
        return;
    _NTaho->setChecked(false);
    int last = -1;
    for (int g = 0; g < 4; ++g)
        if (ChbxGraph[static_cast<std::size_t>(g)]->isChecked()) {
            drawGraph(g, false);
            last = g;
        }
    if (last >= 0) {
        const BladeCurves &c = lastCurves_[static_cast<std::size_t>(last)];
        const bool stall = selectedKind() == 4 && CfgDfm->Mode == TMode::mdDynamic;
        PlotCurve(*Chart1, 4, stall ? c.StallData : c.FitData);
    }
}

void TMain::ChbxGraphClick(int k)
{
    if (_NTaho->isChecked())
        return;
    if (ChbxGraph[static_cast<std::size_t>(k)]->isChecked()) {
        CbxNameChange(k);
        return;
    }
    Chart1->clearSeries(k);
    for (int g = k - 1; g >= 0; --g)
        if (ChbxGraph[static_cast<std::size_t>(g)]->isChecked()) {
            CbxNameChange(g);
            break;
        }
}

// Both axis radio buttons redraw the same way; they differ only in the axis.
void TMain::axisRedraw(bool taho)
{
    Chart1->clearAllSeries();
    AxesTaho = taho;
    if (!NoResults) {
        int last = -1;
        for (int g = 0; g < 4; ++g)
            if (ChbxGraph[static_cast<std::size_t>(g)]->isChecked()) {
                CbxNameChange(g);
                last = g;
            }
        const int kind = selectedKind();
        if (last >= 0 && kind != 1 && kind != 2)
            drawAux(last);
        else
            Chart1->clearSeries(4);
    }
    RefreshReadouts();
    EdMin->setText(num2(Chart1->axisMin(ChartAxis::X)));
    EdMax->setText(num2(Chart1->axisMax(ChartAxis::X)));
}

void TMain::Rbtn1Click() { axisRedraw(true); }

void TMain::Rbtn2Click() { axisRedraw(false); }

void TMain::UpDown3Click(bool next)
{
    for (int g = 0; g < 4; ++g) {
        if (!ChbxGraph[static_cast<std::size_t>(g)]->isChecked())
            continue;
        QComboBox *cbx = CbxName[static_cast<std::size_t>(g)];
        const int i = cbx->currentIndex() + (next ? 1 : -1);
        if (i >= 0 && i < cbx->count())
            cbx->setCurrentIndex(i); // its change handler redraws the graph
    }
}

void TMain::SetAxisRange(int axis, bool automatic, double max, double min)
{
    if (!(max > min))
        return;
    const ChartAxis a = axis == 0 ? ChartAxis::X : ChartAxis::Y;
    Chart1->setAxisRange(a, min, max);
    if (automatic)
        Chart1->setAxisAutomatic(a, true);
}

void TMain::ChbxAutoClick()
{
    const bool yAxis = CbxNmScale->currentIndex() == 1;
    if (ChbxAuto->isChecked()) {
        Chart1->setAxisAutomatic(ChartAxis::X, true);
        if (yAxis)
            Chart1->setAxisAutomatic(ChartAxis::Y, true);
        return;
    }
    (yAxis ? YAuto : XAuto) = false;
    bool okMin = false, okMax = false;
    const double mn = ParseNumber(EdMin->text(), fmt, &okMin);
    const double mx = ParseNumber(EdMax->text(), fmt, &okMax);
    if (okMin && okMax)
        SetAxisRange(yAxis ? 1 : 0, false, mx, mn);
}

void TMain::CbxNmScaleChange()
{
    const bool yAxis = CbxNmScale->currentIndex() == 1;
    {
        // Showing the remembered state must not apply it.
        QSignalBlocker block(ChbxAuto);
        ChbxAuto->setChecked(yAxis ? YAuto : XAuto);
    }
    EdMin->setText(FormatFixed(yAxis ? YMin : XMin, 6, 1, fmt));
    EdMax->setText(FormatFixed(yAxis ? YMax : XMax, 6, 1, fmt));
    const ChartAxis a = yAxis ? ChartAxis::Y : ChartAxis::X;
    EdMin->setText(num2(Chart1->axisMin(a)));
    EdMax->setText(num2(Chart1->axisMax(a)));
}

namespace {
// The abscissa value of sample i of graph 1's pair for the spin edits.
bool spinValue(const TMain &w, int i, double &v)
{
    BladeLocation loc;
    const int entry = w.CbxName[0]->currentIndex();
    if (entry < 0 || !GetLocationByIndex(*w.CfgDfm, static_cast<std::uint16_t>(entry), loc))
        return false;
    const TPair &p = w.CfgDfm->Stages[loc.stage].Pairs[loc.pair];
    if (i < 0 || i >= p.Size)
        return false;
    const auto idx = static_cast<std::size_t>(i);
    // Frequencies go in undivided (revolutions per minute), also with "Hz".
    const bool freq = w.CfgDfm->Mode == TMode::mdDynamic && w.Rbtn1->isChecked();
    const auto &arr = freq ? p.Freq : p.Time;
    if (idx >= arr.size())
        return false;
    v = arr[idx];
    return true;
}
} // namespace

void TMain::SpinEdit1Change()
{
    SpinMinIndex = SpinEdit1->value();
    if (CbxNmScale->currentIndex() != 0)
        return;
    double v = 0;
    if (!spinValue(*this, SpinMinIndex, v))
        return;
    BladeLocation loc;
    GetLocationByIndex(*CfgDfm, static_cast<std::uint16_t>(std::max(0, CbxName[0]->currentIndex())), loc);
    const int size = pairAt(loc)->Size;
    {
        QSignalBlocker block(ChbxAuto);
        ChbxAuto->setChecked(!(0 < SpinMinIndex && SpinMinIndex < size - 1));
    }
    double max = Chart1->axisMax(ChartAxis::X);
    if (!(v < max))
        max = v + kSmallestSingle;
    SetAxisRange(0, false, max, v);
    EdMin->setText(FormatFixed(v, 6, 2, fmt));
}

void TMain::SpinEdit2Change()
{
    SpinMaxIndex = SpinEdit2->value();
    if (CbxNmScale->currentIndex() != 0)
        return;
    double v = 0;
    if (!spinValue(*this, SpinMaxIndex, v))
        return;
    BladeLocation loc;
    GetLocationByIndex(*CfgDfm, static_cast<std::uint16_t>(std::max(0, CbxName[0]->currentIndex())), loc);
    const int size = pairAt(loc)->Size;
    {
        QSignalBlocker block(ChbxAuto);
        ChbxAuto->setChecked(!(0 < SpinMaxIndex && SpinMaxIndex < size - 1));
    }
    SetAxisRange(0, false, v, Chart1->axisMin(ChartAxis::X));
    EdMax->setText(FormatFixed(v, 6, 2, fmt));
}

void TMain::BtnZoomClick()
{
    Chart1->setZoomEnabled(true);
    BtnZoom->setEnabled(false);
    BtnCursor->setEnabled(true);
}

void TMain::BtnCursorClick()
{
    Chart1->undoZoom();
    Chart1->setZoomEnabled(false);
    BtnZoom->setEnabled(true);
    BtnCursor->setEnabled(false);
    UpDown1->Position = static_cast<int>(Cursor1->ValueIndex());
    UpDown2->Position = static_cast<int>(Cursor2->ValueIndex());
    RefreshReadouts();
}

void TMain::CWGraphParamMouseUp()
{
    if (!Chart1->zoomEnabled())
        return;
    XMin = Chart1->axisMin(ChartAxis::X);
    XMax = Chart1->axisMax(ChartAxis::X);
    YMin = Chart1->axisMin(ChartAxis::Y);
    YMax = Chart1->axisMax(ChartAxis::Y);
    XAuto = YAuto = false;
    const bool yAxis = CbxNmScale->currentIndex() == 1;
    EdMin->setText(num2(yAxis ? YMin : XMin));
    EdMax->setText(num2(yAxis ? YMax : XMax));
    {
        QSignalBlocker block(ChbxAuto);
        ChbxAuto->setChecked(false);
    }
    if (yAxis)
        Chart1->setAxisRange(ChartAxis::Y, YMin, YMax);
    else
        Chart1->setAxisRange(ChartAxis::X, XMin, XMax);
}

void TMain::OnZoomPan()
{
    const ChartAxis a = CbxNmScale->currentIndex() == 1 ? ChartAxis::Y : ChartAxis::X;
    EdMax->setText(num2(Chart1->axisMax(a)));
    EdMin->setText(num2(Chart1->axisMin(a)));
}

void TMain::ShowNewResults()
{
    NoResults = false;
    TachoPending = false;
    _NTaho->setChecked(false);
    const QStringList entries = BladeListEntries(*CfgDfm);
    for (int k = 0; k < 4; ++k) {
        QSignalBlocker block(CbxName[static_cast<std::size_t>(k)]);
        CbxName[static_cast<std::size_t>(k)]->clear();
        CbxName[static_cast<std::size_t>(k)]->addItems(entries);
        CbxName[static_cast<std::size_t>(k)]->setCurrentIndex(k < entries.size() ? k : -1);
    }
    const bool dynamic = CfgDfm->Mode == TMode::mdDynamic;
    Rbtn1->setVisible(dynamic);
    if (dynamic) {
        Rbtn1->setChecked(true);
        Rbtn2->setVisible(CfgDfm->TypeFile == 0);
    } else {
        Rbtn2->setVisible(true);
        Rbtn2->setChecked(true);
    }
    AxesTaho = Rbtn1->isChecked();

    Chart1->clearAllSeries();
    Chart1->setAxisAutomatic(ChartAxis::X, true);
    Chart1->setAxisAutomatic(ChartAxis::Y, true);
    // The first stage with a checked pair, and its first checked pair.
    bool found = false;
    BladeLocation first;
    for (std::size_t s = 0; s < std::min<std::size_t>(CfgDfm->CountStage, kMaxStages) && !found; ++s)
        for (std::size_t p = 0; p < kMaxPairs && !found; ++p)
            if (CfgDfm->Stages[s].Pairs[p].Checked) {
                first = {static_cast<std::uint16_t>(s), static_cast<std::uint16_t>(p), 0};
                found = true;
            }
    if (!found)
        return;
    const TPair &pr = *pairAt(first);
    // A run-down: the speed falls from the first sample to the last. Judged
    // only when the pair holds speed data above 2 revolutions per minute.
    if (dynamic && pr.Size >= 2 && static_cast<std::size_t>(pr.Size) <= pr.Freq.size()) {
        const auto n = static_cast<std::size_t>(pr.Size);
        if (*std::max_element(pr.Freq.begin(), pr.Freq.begin() + static_cast<std::ptrdiff_t>(n)) > 2)
            RunDown = pr.Freq[0] > pr.Freq[n - 1];
    }
    const std::size_t blades = CfgDfm->Stages[first.stage].CountBlade;
    int last = -1;
    for (int g = 0; g < 4; ++g) {
        if (!ChbxGraph[static_cast<std::size_t>(g)]->isChecked() || static_cast<std::size_t>(g) >= blades)
            continue;
        BladeLocation loc = first;
        loc.blade = static_cast<std::uint16_t>(g);
        lastCurves_[static_cast<std::size_t>(g)] =
            GetXYByLocation(*CfgDfm, loc, CfgDfm->Mode, 0, static_cast<std::uint32_t>(std::max(0, pr.Size)),
                            AxesTaho, FrequencyDivisor(ComboBox1->currentIndex()));
        PlotCurve(*Chart1, g, lastCurves_[static_cast<std::size_t>(g)].xyData);
        last = g;
    }
    if (last >= 0)
        PlotCurve(*Chart1, 4, lastCurves_[static_cast<std::size_t>(last)].FitData);
    Chart1->setAxisTitle(ChartAxis::Y, YAxisTitle(CfgDfm->Mode, 0));
    Chart1->setAxisTitle(ChartAxis::X, XAxisTitle(CfgDfm->Mode, 0, AxesTaho, ComboBox1->currentText()));

    // Read-outs from the pair at the remembered location.
    const TPair *cur = pairAt(Cur);
    const float f0 = cur && !cur->Freq.empty() ? cur->Freq[0] : 0.0f;
    const auto a = cur ? cur->AmplSeries(Cur.blade) : std::span<const float>();
    const float a0 = a.empty() ? 0.0f : a[0];
    setReadout(Edit1, FormatGeneral(f0, fmt));
    setReadout(Edit2, FormatGeneral(f0, fmt));
    setReadout(Edit5, FormatGeneral(a0, fmt));
    setReadout(Edit6, FormatGeneral(a0, fmt));
    updateDifferences();
    if (cur && cur->Size >= 4) {
        XMin = Chart1->axisMin(ChartAxis::X);
        XMax = Chart1->axisMax(ChartAxis::X);
        XAuto = true;
        const int n = cur->Size;
        const QSignalBlocker b1(SpinEdit1), b2(SpinEdit2);
        SpinEdit1->setRange(0, n - 1);
        SpinEdit2->setRange(0, n - 1);
        if (RunDown) {
            SpinEdit1->setValue(n - 1);
            SpinEdit2->setValue(0);
            SpinEdit1->setSingleStep(-1);
            SpinEdit2->setSingleStep(-1);
        } else {
            SpinEdit1->setValue(0);
            SpinEdit2->setValue(n - 1);
            SpinEdit1->setSingleStep(1);
            SpinEdit2->setSingleStep(1);
        }
        YMin = Chart1->axisMin(ChartAxis::Y);
        YMax = Chart1->axisMax(ChartAxis::Y);
        YAuto = true;
        CbxNmScale->setCurrentIndex(0);
        EdMin->setText(num2(XMin));
        EdMax->setText(num2(XMax));
        ChbxAuto->setChecked(true);
        ChbxAutoClick();
    }
}

} // namespace vibrolan::app
