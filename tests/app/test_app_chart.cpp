// The chart wrapper and the thinning rules of the plots.
#include "chart/chart.hpp"
#include "chart/plot_curve.hpp"
#include "chart/plot_thinning.hpp"

#include <QSignalSpy>
#include <QtTest>

using namespace vibrolan::app;

class ChartTest : public QObject {
    Q_OBJECT
private slots:
    void thinningTable_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("lastIndex");
        QTest::newRow("3 points draw nothing") << 3 << 0 << 0 << -1;
        QTest::newRow("4 points: last dropped") << 4 << 1 << 3 << 2;
        QTest::newRow("100002: step 1 without the last") << 100002 << 1 << 100001 << 100000;
        QTest::newRow("100003: step 2") << 100003 << 2 << 50001 << 100000;
        QTest::newRow("250002: step 3") << 250002 << 3 << 83334 << 249999;
        QTest::newRow("1000001 samples") << 1000001 << 10 << 100000 << 999990;
    }
    void thinningTable()
    {
        QFETCH(int, n);
        QFETCH(int, step);
        QFETCH(int, count);
        QFETCH(int, lastIndex);
        const ThinPlan plan =
            PlanThinning(static_cast<std::size_t>(n), [](std::size_t i) { return float(i); });
        QCOMPARE(int(plan.step), step);
        QCOMPARE(int(plan.count), count);
        QVERIFY(plan.count <= kPlotPointLimit + 1);
        const auto idx = ThinnedIndices(plan);
        QCOMPARE(int(idx.size()), count);
        if (count > 0) {
            QCOMPARE(int(idx.front()), 0);
            QCOMPARE(int(idx.back()), lastIndex);
        }
    }

    // A falling curve is added from its end, so x rises along the series.
    void fallingCurveIsReversed()
    {
        Chart chart;
        TMArray curve;
        for (int i = 0; i < 10; ++i)
            curve.push_back({float(3000 - 100 * i), float(i)});
        PlotCurve(chart, 2, curve);
        QCOMPARE(chart.pointCount(2), 9);
        QCOMPARE(chart.point(2, 0), QPointF(2200, 8)); // index 8 is the last taken
        QCOMPARE(chart.point(2, 8), QPointF(3000, 0));
        // A rising one keeps its order; PlotArrays takes the shorter length.
        std::vector<float> x{1, 2, 3, 4, 5, 6}, y{10, 20, 30, 40, 50};
        PlotArrays(chart, 1, x, y);
        QCOMPARE(chart.pointCount(1), 4);
        QCOMPARE(chart.point(1, 3), QPointF(4, 40));
    }

    void seriesLooks()
    {
        Chart chart;
        const QRgb colours[6] = {0x0000FF, 0xFF0000, 0x800000, 0x800080, 0x000000, 0xFF8040};
        QCOMPARE(chart.seriesCount(), 6);
        for (int s = 0; s < 6; ++s) {
            QCOMPARE(chart.seriesColor(s).rgb() & 0xFFFFFF, colours[s]);
            QCOMPARE(chart.seriesPenStyle(s), s == 4 ? Qt::DashLine : Qt::SolidLine);
        }
    }

    void axesAutomaticAndManual()
    {
        Chart chart;
        chart.setSeriesPoints(0, {10, 20, 30}, {-1, 5, 2});
        QCOMPARE(chart.axisMin(ChartAxis::X), 10.0);
        QCOMPARE(chart.axisMax(ChartAxis::X), 30.0);
        QCOMPARE(chart.axisMin(ChartAxis::Y), -1.0);
        QCOMPARE(chart.axisMax(ChartAxis::Y), 5.0);
        chart.setAxisRange(ChartAxis::X, 0, 2400);
        QVERIFY(!chart.axisAutomatic(ChartAxis::X));
        chart.setSeriesPoints(1, {100, 5000}, {0, 1});
        QCOMPARE(chart.axisMax(ChartAxis::X), 2400.0); // manual axes stay put
        chart.setAxisTitle(ChartAxis::X, QStringLiteral("sec"));
        QCOMPARE(chart.axisTitle(ChartAxis::X), QStringLiteral("sec"));
        chart.setAxisAutomatic(ChartAxis::X, true);
        QCOMPARE(chart.axisMax(ChartAxis::X), 5000.0);
    }

    // Clicks, pixel conversion and marker double-clicks on a shown chart.
    void mouseOnTheChart()
    {
        Chart chart;
        chart.resize(800, 500);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        std::vector<double> x, y;
        for (int i = 0; i < 50; ++i) {
            x.push_back(i);
            y.push_back(i % 2 ? 10 : 0);
        }
        chart.setSeriesPoints(1, x, y);
        chart.setAxisRange(ChartAxis::Y, -5, 15);
        QSignalSpy clicks(&chart, &Chart::seriesClicked);
        const QPoint at = chart.valueToPixel(QPointF(17, 10)).toPoint();
        QVERIFY(std::abs(chart.pixelToValue(ChartAxis::X, at.x()) - 17.0) < 0.1);
        QTest::mouseClick(chart.plotWidget(), Qt::LeftButton, Qt::ControlModifier, at);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks[0][0].toInt(), 1);
        QCOMPARE(clicks[0][1].toInt(), 17);
        QCOMPARE(clicks[0][3].value<Qt::KeyboardModifiers>(), Qt::KeyboardModifiers(Qt::ControlModifier));
        // Far from any curve: no click on a series.
        QTest::mouseClick(chart.plotWidget(), Qt::LeftButton, Qt::NoModifier,
                          chart.valueToPixel(QPointF(17, -4)).toPoint());
        QCOMPARE(clicks.count(), 1);

        const int m = chart.addMarker(Qt::black, 3);
        QVERIFY(!chart.markerVisible(m));
        chart.setMarkerRect(m, QRectF(QPointF(20, 7), QPointF(30, 3)));
        chart.setMarkerVisible(m, true);
        QSignalSpy dbl(&chart, &Chart::markerDoubleClicked);
        QTest::mouseDClick(chart.plotWidget(), Qt::LeftButton, Qt::NoModifier,
                           chart.valueToPixel(QPointF(25, 5)).toPoint());
        QCOMPARE(dbl.count(), 1);
        QCOMPARE(dbl[0][0].toInt(), m);
    }

    void zoomAndScrollReportEvents()
    {
        Chart chart;
        chart.resize(800, 500);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        chart.setSeriesPoints(0, {0, 100}, {0, 100});
        QSignalSpy zoomed(&chart, &Chart::zoomed);
        QSignalSpy scrolled(&chart, &Chart::scrolled);
        chart.setZoomEnabled(true);
        QWidget *w = chart.plotWidget();
        const QPoint a = chart.valueToPixel(QPointF(20, 80)).toPoint();
        const QPoint b = chart.valueToPixel(QPointF(60, 20)).toPoint();
        QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, a);
        QMouseEvent move(QEvent::MouseMove, b, w->mapToGlobal(b), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(w, &move);
        QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, b);
        QCOMPARE(zoomed.count(), 1);
        QVERIFY(std::abs(chart.axisMin(ChartAxis::X) - 20) < 1);
        QVERIFY(std::abs(chart.axisMax(ChartAxis::X) - 60) < 1);
        chart.undoZoom();
        QCOMPARE(chart.axisMax(ChartAxis::X), 100.0);

        const double before = chart.axisMin(ChartAxis::X);
        const QPoint c = chart.valueToPixel(QPointF(50, 50)).toPoint();
        QTest::mousePress(w, Qt::RightButton, Qt::NoModifier, c);
        QMouseEvent drag(QEvent::MouseMove, c + QPoint(100, 0), w->mapToGlobal(c + QPoint(100, 0)),
                         Qt::NoButton, Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(w, &drag);
        QTest::mouseRelease(w, Qt::RightButton, Qt::NoModifier, c + QPoint(100, 0));
        QVERIFY(scrolled.count() >= 1);
        QVERIFY(chart.axisMin(ChartAxis::X) < before); // dragged right: earlier values come in
    }
};

QTEST_MAIN(ChartTest)
#include "test_app_chart.moc"
