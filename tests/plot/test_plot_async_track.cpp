// The asynchronous frequency tracks: each segment with a determined
// frequency a line of its windows at their time and frequency in its
// stage's colour, none for a frequency the layout leaves open.
#include "plot/async_track_plot.hpp"
#include "plot/plot_style.hpp"

#include <QtTest>

#include <cmath>

using namespace vibrolan;

namespace {
identify::AsyncSegment segment(int stage, bool known, double t0, double t1, double f0, double f1, int points)
{
    identify::AsyncSegment s;
    s.stage = stage;
    s.frequencyKnown = known;
    s.ambiguous = !known;
    for (int i = 0; i < points; ++i) {
        identify::AsyncTrackPoint p;
        p.time = t0 + (t1 - t0) * i / (points - 1);
        p.frequencyHz = f0 + (f1 - f0) * i / (points - 1);
        s.track.push_back(p);
    }
    return s;
}

bool colourNear(const QImage &img, QPointF at, QColor c)
{
    int best = 1 << 30;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const int x = static_cast<int>(std::lround(at.x())) + dx,
                      y = static_cast<int>(std::lround(at.y())) + dy;
            if (x < 0 || y < 0 || x >= img.width() || y >= img.height())
                continue;
            const QColor p = img.pixelColor(x, y);
            best = std::min(best, std::abs(p.red() - c.red()) + std::abs(p.green() - c.green()) +
                                      std::abs(p.blue() - c.blue()));
        }
    return best < 24;
}
} // namespace

class AsyncTrackTest : public QObject {
    Q_OBJECT
private slots:
    void tracksSitAtTheirTimesAndFrequencies()
    {
        plot::AsyncTrackPlot p;
        p.resize(900, 600);
        p.show();
        identify::AsyncResult r;
        // A stall drifting 481 -> 491 Hz from 3 to 9 s, an ambiguous one, a
        // steady flutter of another stage from 2 to 10 s.
        r.segments = {segment(0, true, 3, 9, 481, 491, 13), segment(0, false, 4, 5, 700, 700, 3),
                      segment(1, true, 2, 10, 218, 218, 9)};
        p.setResult(r);
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        QVERIFY(p.drawn(0));
        QVERIFY(!p.drawn(1));
        QVERIFY(p.drawn(2));
        QCOMPARE(p.pointCount(0), 13);
        QCOMPARE(p.pointCount(2), 9);
        auto *w = p.plotWidget();
        const QImage img = p.picture(w->width(), w->height());
        for (int s : {0, 2})
            for (int i = 0; i < p.pointCount(s); ++i) {
                const QPointF px = p.pointPixel(s, i);
                QVERIFY(px.x() > 0 && px.x() < w->width());
                QVERIFY(px.y() > 0 && px.y() < w->height());
                QVERIFY(colourNear(img, px, plot::stageColor(r.segments[static_cast<std::size_t>(s)].stage)));
                if (i > 0)
                    QVERIFY(px.x() > p.pointPixel(s, i - 1).x()); // later to the right
            }
        // The drift rises, the flutter stays level and lies below it.
        QVERIFY(p.pointPixel(0, 12).y() < p.pointPixel(0, 0).y() - 5);
        QCOMPARE(p.pointPixel(2, 8).y(), p.pointPixel(2, 0).y());
        QVERIFY(p.pointPixel(2, 0).y() > p.pointPixel(0, 0).y());
        // One time axis: 6 s of the stall (its point 6) and of the flutter (its point 4).
        QCOMPARE(p.pointPixel(0, 6).x(), p.pointPixel(2, 4).x());
        // Nothing to draw: the axes only.
        p.setResult({});
        QVERIFY(!p.picture(300, 200).isNull());
    }
};

QTEST_MAIN(AsyncTrackTest)
#include "test_plot_async_track.moc"
