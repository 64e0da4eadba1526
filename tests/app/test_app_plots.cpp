// The plot controls on results placed into the configuration by hand: blade
// selectors, graph check boxes, blade arrows, scale group, zoom and cursor mode.
#include "chart/chart.hpp"
#include "support/temp_dir.hpp"
#include "window/main_window.hpp"
#include "window/up_down.hpp"
#include "windows/float_edit.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

using namespace vibrolan;
using namespace vibrolan::app;

namespace {

constexpr int kSize = 12;

// One stage, pair 0 checked, six blades; blade b deflects by b + i / 10 on a
// middle line of 1, speed 1000 + 100 i rpm, one revolution per 0.5 s.
void fillResults(TCfgDfm &cfg)
{
    cfg.CountStage = 1;
    TStage &st = cfg.Stages[0];
    st.NameStage = "S";
    st.CountBlade = 6;
    for (TPair &p : st.Pairs)
        p.Checked = false;
    TPair &p = st.Pairs[0];
    p.NamePair = "P";
    p.Checked = true;
    p.Size = kSize;
    for (int i = 0; i < kSize; ++i) {
        p.Freq.push_back(1000.0f + 100.0f * i);
        p.Time.push_back(0.5f * i);
    }
    for (int b = 0; b < 6; ++b)
        for (int i = 0; i < kSize; ++i) {
            p.Ampl[static_cast<std::size_t>(b)].push_back(static_cast<float>(b) + 0.1f * i);
            p.MiddleLine[static_cast<std::size_t>(b)].push_back(1.0f);
        }
}

struct Window {
    test::TempDir dir;
    RecordingMessageSink sink;
    std::unique_ptr<TMain> w;
    Window()
    {
        TMainOptions o;
        o.programDir = QString::fromStdString(dir.path().string());
        o.greetingMs = 0;
        o.messages = &sink;
        w = std::make_unique<TMain>(o);
        w->fmt.decimalSeparator = '.';
        fillResults(*w->CfgDfm);
        w->ShowNewResults();
    }
};

} // namespace

class PlotsTest : public QObject {
    Q_OBJECT
private slots:
    void firstGraphsAfterResults()
    {
        Window f;
        TMain &w = *f.w;
        QCOMPARE(w.CbxName[0]->count(), 6);
        QCOMPARE(w.CbxName[3]->currentText(), QStringLiteral("S:P:Лопатка4"));
        // Graph g shows blade g: y = Ampl + MiddleLine against rpm; series 4 the middle line.
        QCOMPARE(w.Chart1->pointCount(2), kSize - 1);
        QCOMPARE(w.Chart1->point(2, 3), QPointF(1300, 2 + 0.3f + 1));
        QCOMPARE(w.Chart1->point(4, 3), QPointF(1300, 1));
        QCOMPARE(w.Edit1->text(), QStringLiteral("1000"));
        QCOMPARE(w.Edit5->text(), QStringLiteral("0"));
        QCOMPARE(w.SpinEdit2->value(), kSize - 1);
        QCOMPARE(w.CbxNmScale->currentText(), QStringLiteral("X"));
        QVERIFY(w.ChbxAuto->isChecked());

        // "Hz": the next redraw divides by 60.
        w.ComboBox1->setCurrentIndex(1);
        w.CbxName[0]->setCurrentIndex(5);
        QCOMPARE(w.Chart1->point(0, 0).x(), double(1000.0f / 60.0f));
        QCOMPARE(w.Chart1->axisTitle(ChartAxis::X), QStringLiteral("Hz"));
    }

    void checkBoxesAndBladeArrows()
    {
        Window f;
        TMain &w = *f.w;
        // Unchecking graph 3 clears series 2 and leaves graph 4's companion.
        const QPointF aux = w.Chart1->point(4, 0);
        w.ChbxGraph[2]->click();
        QCOMPARE(w.Chart1->pointCount(2), 0);
        QCOMPARE(w.Chart1->point(4, 0), aux);
        // Blade arrows move every checked graph's selection, clamped at the end.
        w.UpDown3->nextButton()->click();
        QCOMPARE(w.CbxName[0]->currentIndex(), 1);
        QCOMPARE(w.CbxName[2]->currentIndex(), 2); // unchecked: unchanged
        QCOMPARE(w.CbxName[3]->currentIndex(), 4);
        w.UpDown3->nextButton()->click();
        w.UpDown3->nextButton()->click();
        QCOMPARE(w.CbxName[3]->currentIndex(), 5);
        QCOMPARE(w.Chart1->point(3, 0).y(), 5.0 + 1.0);
        // While the speed view is on, the check boxes do nothing.
        w._NTaho->setChecked(true);
        w.ChbxGraph[2]->click();
        QCOMPARE(w.Chart1->pointCount(2), 0);
    }

    void scaleGroup()
    {
        Window f;
        TMain &w = *f.w;
        // Manual range from the edits; an empty range is refused.
        w.EdMin->setText(QStringLiteral("1200"));
        w.EdMax->setText(QStringLiteral("1500"));
        w.ChbxAuto->click();
        QVERIFY(!w.ChbxAuto->isChecked());
        QCOMPARE(w.Chart1->axisMin(ChartAxis::X), 1200.0);
        QCOMPARE(w.Chart1->axisMax(ChartAxis::X), 1500.0);
        w.SetAxisRange(0, false, 100, 200);
        QCOMPARE(w.Chart1->axisMax(ChartAxis::X), 1500.0);
        // The spin edits put sample values on the horizontal axis (rpm).
        w.SpinEdit1->setValue(2);
        QCOMPARE(w.Chart1->axisMin(ChartAxis::X), 1200.0);
        QCOMPARE(w.EdMin->text(), QStringLiteral("1200.00"));
        w.SpinEdit2->setValue(8);
        QCOMPARE(w.Chart1->axisMax(ChartAxis::X), 1800.0);
        QVERIFY(!w.ChbxAuto->isChecked());
        // A minimum beyond the maximum would empty the range (the smallest
        // Single added to it vanishes in a double): the axis stays.
        w.SpinEdit1->setValue(10);
        QCOMPARE(w.Chart1->axisMin(ChartAxis::X), 1200.0);
        QCOMPARE(w.Chart1->axisMax(ChartAxis::X), 1800.0);
        QCOMPARE(w.EdMin->text(), QStringLiteral("2000.00"));
        // Back to automatic: the data's range.
        w.ChbxAuto->click();
        QCOMPARE(w.Chart1->axisMin(ChartAxis::X), 1000.0);
        // Switching the scale axis shows that axis's state.
        w.CbxNmScale->setCurrentIndex(1);
        w.CbxNmScaleChange();
        QCOMPARE(w.EdMax->text(), QString::number(w.Chart1->axisMax(ChartAxis::Y), 'f', 2));
    }

    void zoomAndCursorModesExclude()
    {
        Window f;
        TMain &w = *f.w;
        QVERIFY(w.BtnZoom->isEnabled());
        QVERIFY(!w.BtnCursor->isEnabled());
        w.BtnZoom->click();
        QVERIFY(!w.BtnZoom->isEnabled());
        QVERIFY(w.BtnCursor->isEnabled());
        QVERIFY(w.Chart1->zoomEnabled());
        // A mouse release in zoom mode fixes the current ranges.
        w.Chart1->setAxisRange(ChartAxis::X, 1100, 1400);
        w.CWGraphParamMouseUp();
        QCOMPARE(w.XMin, 1100.0);
        QVERIFY(!w.XAuto && !w.YAuto);
        QCOMPARE(w.EdMin->text(), QStringLiteral("1100.00"));
        w.BtnCursor->click();
        QVERIFY(w.BtnZoom->isEnabled());
        QVERIFY(!w.BtnCursor->isEnabled());
        QVERIFY(!w.Chart1->zoomEnabled());
    }
};

QTEST_MAIN(PlotsTest)
#include "test_app_plots.moc"
