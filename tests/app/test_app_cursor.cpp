// The chart cursors and the main window's cursor read-outs.
#include "chart/chart.hpp"
#include "chart/plot_curve.hpp"
#include "cursor/my_cursor.hpp"
#include "window/main_window.hpp"
#include "window/up_down.hpp"

#include <QLineEdit>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

using namespace vibrolan;
using namespace vibrolan::app;

namespace {
struct Shown {
    QString x, y;
    int index = -1;
    int calls = 0;
};

// Four graphs of 40 points: graph g has y = 100 g + i at x = 10 i.
void fillGraphs(Chart &chart)
{
    for (int g = 0; g < 4; ++g) {
        std::vector<double> x, y;
        for (int i = 0; i < 40; ++i) {
            x.push_back(10.0 * i);
            y.push_back(100.0 * g + i);
        }
        chart.setSeriesPoints(g, x, y);
    }
}
} // namespace

class CursorTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void numberingAndInactiveStart()
    {
        Chart chart;
        Shown shown;
        TmyCursor c1(&chart, Qt::black, {});
        TmyCursor c2(&chart, QColor(0x008000), [&](const QString &, const QString &, int) { ++shown.calls; });
        QCOMPARE(c1.number(), 1u);
        QCOMPARE(c2.number(), 2u);
        QVERIFY(!c1.Active());
        QCOMPARE(c2.ValueIndex(), 0u);
        // Without a curve nothing moves and nothing is shown.
        QCOMPARE(c2.IncIndex(), -1);
        QCOMPARE(c2.DecIndex(), -1);
        c2.SetValueIndex(3);
        QCOMPARE(shown.calls, 0);
        QCOMPARE(chart.markerColor(c1.marker()), QColor(Qt::black));
    }

    // Moves along a curve: the ends refuse, snapping beyond the end leaves the cursor.
    void movesAlongTheCurve()
    {
        Chart chart;
        fillGraphs(chart);
        Shown shown;
        TmyCursor c(&chart, Qt::black, [&](const QString &x, const QString &y, int i) {
            shown = {x, y, i, shown.calls + 1};
        });
        c.SetSerIndex(2);
        QVERIFY(c.Active());
        QCOMPARE(shown.index, 0);
        QCOMPARE(shown.y, QStringLiteral("200"));
        QCOMPARE(c.DecIndex(), -1);
        QCOMPARE(c.IncIndex(), 1);
        QCOMPARE(shown.x, QStringLiteral("10"));
        QCOMPARE(shown.y, QStringLiteral("201"));
        c.SetValueIndex(39);
        QCOMPARE(c.ValueIndex(), 39u);
        QCOMPARE(c.IncIndex(), -1);
        QCOMPARE(c.ValueIndex(), 39u);
        c.SetValueIndex(40); // beyond the last point: stays
        QCOMPARE(c.ValueIndex(), 39u);
        QCOMPARE(c.XAxisValue(), 390.0f);
        // Another graph keeps the index.
        c.SetSerIndex(0);
        QCOMPARE(c.YAxisValue(), 39.0f);
        // Setting the axis values moves the cross but keeps the index.
        c.SetAxisPoint({5.5f, 2.25f});
        QCOMPARE(shown.x, QStringLiteral("5.5"));
        QCOMPARE(shown.y, QStringLiteral("2.25"));
        QCOMPARE(c.ValueIndex(), 39u);
    }

    void crossSpansATwelfth()
    {
        Chart chart;
        fillGraphs(chart);
        chart.setAxisRange(ChartAxis::X, 0, 2400);
        chart.setAxisRange(ChartAxis::Y, 0, 480);
        TmyCursor c(&chart, Qt::black, {});
        c.SetSerIndex(0);
        c.SetValueIndex(5);
        const QRectF r = chart.markerRect(c.marker());
        QCOMPARE(r.right() - r.left(), 200.0);
        QCOMPARE(r.top() - r.bottom(), 40.0);
        QCOMPARE((r.left() + r.right()) / 2, 50.0);
    }

    // Which button and keys move which cursor.
    void clickRules_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("mods");
        QTest::addColumn<bool>("moves1");
        QTest::addColumn<bool>("moves2");
        QTest::newRow("ctrl+left") << int(Qt::LeftButton) << int(Qt::ControlModifier) << true << false;
        QTest::newRow("ctrl+right") << int(Qt::RightButton) << int(Qt::ControlModifier) << false << true;
        QTest::newRow("left alone") << int(Qt::LeftButton) << int(Qt::NoModifier) << false << false;
        QTest::newRow("ctrl+shift+left")
            << int(Qt::LeftButton) << int(Qt::ControlModifier | Qt::ShiftModifier) << false << false;
        QTest::newRow("ctrl+middle") << int(Qt::MiddleButton) << int(Qt::ControlModifier) << false << false;
    }
    void clickRules()
    {
        QFETCH(int, button);
        QFETCH(int, mods);
        QFETCH(bool, moves1);
        QFETCH(bool, moves2);
        Chart chart;
        fillGraphs(chart);
        TmyCursor c1(&chart, Qt::black, {});
        TmyCursor c2(&chart, Qt::green, {});
        emit chart.seriesClicked(1, 17, Qt::MouseButton(button), Qt::KeyboardModifiers(mods), QPoint(10, 10));
        QCOMPARE(c1.Active(), moves1);
        QCOMPARE(c2.Active(), moves2);
        TmyCursor &moved = moves1 ? c1 : c2;
        if (moves1 || moves2) {
            QCOMPARE(moved.Ser(), 1);
            QCOMPARE(moved.ValueIndex(), 17u);
        }
    }

    // The whole path on the main window: a real Ctrl+click on point 17 of
    // graph 2, the next arrow, the read-outs, a double click to hide.
    void mainWindowReadouts()
    {
        TMainOptions o;
        o.greetingMs = 0;
        o.programDir = QDir::tempPath();
        RecordingMessageSink sink;
        o.messages = &sink;
        TMain w(o);
        w.fmt.decimalSeparator = '.';
        w.resize(1200, 800);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Chart &chart = *w.Chart1;
        fillGraphs(chart);
        chart.setAxisRange(ChartAxis::Y, -10, 450);
        const QPoint at = chart.valueToPixel(QPointF(170, 117)).toPoint();
        QTest::mouseClick(chart.plotWidget(), Qt::LeftButton, Qt::ControlModifier, at);
        QCOMPARE(w.Cursor1->Ser(), 1);
        QCOMPARE(w.Cursor1->ValueIndex(), 17u);
        QCOMPARE(w.CursorIndex1, 17);
        // Where the user clicked, not the point's exact value.
        QVERIFY(std::abs(w.Cursor1->XAxisValue() - 170) < 3);
        w.UpDown1->nextButton()->click();
        QCOMPARE(w.Cursor1->ValueIndex(), 18u);
        QCOMPARE(w.Edit1->text(), QStringLiteral("180"));
        QCOMPARE(w.Edit5->text(), QStringLiteral("118"));
        QCOMPARE(w.CursorIndex1, 18);

        // Cursor 2 writes its own fields and the differences only.
        const QString e1 = w.Edit1->text(), e5 = w.Edit5->text();
        w.UpDCrPlot2->nextButton()->click(); // graph 2 (index 1), point 0
        QCOMPARE(w.CursorPlot2, 1);
        QCOMPARE(w.Edit2->text(), QStringLiteral("0"));
        QCOMPARE(w.Edit6->text(), QStringLiteral("100"));
        QCOMPARE(w.Edit3->text(), QStringLiteral("180.000"));
        QCOMPARE(w.Edit4->text(), QStringLiteral("18.000"));
        QCOMPARE(w.Edit1->text(), e1);
        QCOMPARE(w.Edit5->text(), e5);

        // Graph arrows clamp to 0 .. 3.
        for (int i = 0; i < 5; ++i)
            w.UpDCrPlot1->nextButton()->click();
        QCOMPARE(w.CursorPlot1, 3);
        QCOMPARE(w.Cursor1->Ser(), 3);
        for (int i = 0; i < 5; ++i)
            w.UpDCrPlot1->prevButton()->click();
        QCOMPARE(w.CursorPlot1, 0);

        // A double click on the cross hides it.
        QVERIFY(w.Cursor1->Active());
        const QPointF p(w.Cursor1->XAxisValue(), w.Cursor1->YAxisValue());
        QTest::mouseDClick(chart.plotWidget(), Qt::LeftButton, Qt::NoModifier,
                           chart.valueToPixel(p).toPoint());
        QVERIFY(!w.Cursor1->Active());
        QVERIFY(w.Cursor2->Active());
    }
};

QTEST_MAIN(CursorTest)
#include "test_app_cursor.moc"
