// The Campbell diagram: markers where their speed and frequency are, sized by
// amplitude, a click naming the resonance under it, the engine-order lines,
// the asynchronous segments' diamonds at their speed and frequency, and the
// picture file (valid PNG, whole or not at all).
#include "plot/campbell_file.hpp"
#include "plot/campbell_plot.hpp"
#include "support/temp_dir.hpp"

#include "base/errors.hpp"

#include <QSignalSpy>
#include <QtTest>

#include <fstream>

#include <sys/stat.h>

using namespace vibrolan;

namespace {
identify::BladeResonance resonance(int stage, int blade, int eo, double hz, double amplitude)
{
    identify::BladeResonance r;
    r.stage = stage;
    r.blade = blade;
    r.engineOrder = eo;
    r.frequencyHz = hz;
    r.speedRpm = 60 * hz / eo;
    r.amplitude = amplitude;
    r.window = {0, 1, r.speedRpm - 50, r.speedRpm + 50};
    return r;
}

// Three resonances of two stages; two of them at nearly the same place.
identify::IdentifyResult sample()
{
    identify::IdentifyResult r;
    r.resonances = {resonance(0, 0, 5, 520, 0.19), resonance(0, 1, 3, 330, 0.05),
                    resonance(1, 4, 8, 960, 0.10), resonance(0, 2, 5, 522, 0.02)};
    r.events.push_back({0, {0, 20, 5500, 7500}, 6240, 24});
    return r;
}

identify::AsyncSegment segment(int stage, double rpm, double hz, bool known)
{
    identify::AsyncSegment s;
    s.stage = stage;
    s.speedRpm = rpm;
    s.frequencyHz = hz;
    s.frequencyKnown = known;
    s.ambiguous = !known;
    return s;
}

// The colour nearest `c` within a few pixels of `at` is it.
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

class CampbellTest : public QObject {
    Q_OBJECT
private slots:
    void markersSitAtTheirSpeedAndFrequency()
    {
        plot::CampbellPlot p;
        p.resize(900, 600);
        p.show();
        const auto r = sample();
        p.setResult(r);
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        auto *w = p.plotWidget();
        // Every marker on the diagram, the speeds increasing to the right and the frequencies upwards.
        for (int i = 0; i < 4; ++i) {
            const QPointF px = p.markerPixel(i);
            QVERIFY(px.x() > 0 && px.x() < w->width());
            QVERIFY(px.y() > 0 && px.y() < w->height());
        }
        QVERIFY(p.markerPixel(1).x() > p.markerPixel(0).x()); // 6600 rpm right of 6240 rpm
        QVERIFY(p.markerPixel(2).y() < p.markerPixel(0).y()); // 960 Hz above 520 Hz
        // The largest amplitude has the largest marker.
        QVERIFY(p.markerRadius(0) > p.markerRadius(2));
        QVERIFY(p.markerRadius(2) > p.markerRadius(1));
        QVERIFY(p.markerRadius(1) > p.markerRadius(3));
        // Lines up to one order above the highest identified.
        QCOMPARE(p.highestEngineOrder(), 9);
    }

    void asynchronousSegmentsSitAtTheirSpeedAndFrequency()
    {
        plot::CampbellPlot p;
        p.resize(900, 600);
        p.show();
        const auto r = sample();
        identify::AsyncResult a;
        // At the speed of resonance 0 and the frequency of resonance 2; one
        // whose frequency the layout leaves open; one above every resonance.
        a.segments = {segment(0, r.resonances[0].speedRpm, r.resonances[2].frequencyHz, true),
                      segment(0, 6500, 700, false), segment(1, 7600, 1500, true)};
        p.setResult(r, a);
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        QVERIFY(p.hasAsyncMarker(0));
        QVERIFY(!p.hasAsyncMarker(1));
        QVERIFY(p.hasAsyncMarker(2));
        QCOMPARE(p.asyncMarkerPixel(0).x(), p.markerPixel(0).x());
        QCOMPARE(p.asyncMarkerPixel(0).y(), p.markerPixel(2).y());
        auto *w = p.plotWidget();
        const QImage img = p.picture(w->width(), w->height());
        for (int i : {0, 2}) {
            const QPointF px = p.asyncMarkerPixel(i);
            QVERIFY(px.x() > 0 && px.x() < w->width());
            QVERIFY(px.y() > 0 && px.y() < w->height());
            // The diamond is drawn there, in its stage's colour.
            QVERIFY(colourNear(img, px, plot::stageColor(a.segments[static_cast<std::size_t>(i)].stage)));
        }
        QVERIFY(p.asyncMarkerPixel(2).y() < p.markerPixel(2).y()); // 1500 Hz above 960 Hz
        // The engine-order lines reach up to the highest segment: at 7600 rpm
        // and more, 1500 Hz lies above order 11.
        QVERIFY(p.highestEngineOrder() >= 12);
        // Without segments, no diamonds and the lines as before.
        p.setResult(r);
        QCOMPARE(p.highestEngineOrder(), 9);
    }

    void clickNamesTheResonance()
    {
        plot::CampbellPlot p;
        p.resize(900, 600);
        p.show();
        p.setResult(sample());
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        QSignalSpy spy(&p, &plot::CampbellPlot::resonanceClicked);
        for (int i : {2, 1, 0}) {
            QTest::mouseClick(p.plotWidget(), Qt::LeftButton, {}, p.markerPixel(i).toPoint());
            QCOMPARE(spy.count(), 1);
            QCOMPARE(spy.takeFirst().at(0).toInt(), i);
        }
        // Far from every marker: nothing.
        QTest::mouseClick(p.plotWidget(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(spy.count(), 0);
    }

    void pictureFileIsAValidPng()
    {
        test::TempDir dir;
        const auto file = dir / "campbell.png";
        plot::saveCampbellPng(sample(), file, 800, 500);
        QImage img;
        QVERIFY(img.load(QString::fromStdString(file.string()), "PNG"));
        QCOMPARE(img.size(), QSize(800, 500));
        // Not blank: the markers' colours are in it.
        QSet<QRgb> colours;
        for (int y = 0; y < img.height(); y += 3)
            for (int x = 0; x < img.width(); x += 3)
                colours.insert(img.pixel(x, y));
        QVERIFY(colours.size() > 20);
        // An empty result still draws its axes.
        plot::saveCampbellPng({}, dir / "empty.png", 400, 300);
        QVERIFY(img.load(QString::fromStdString((dir / "empty.png").string()), "PNG"));
    }

    void protectedOrUnwritableFileIsLeftAlone()
    {
        test::TempDir dir;
        const auto file = dir / "mine.png";
        {
            std::ofstream(file) << "mine";
        }
        ::chmod(file.c_str(), 0444);
        QVERIFY_THROWS_EXCEPTION(FileError, plot::saveCampbellPng(sample(), file));
        // The window's words for it.
        plot::CampbellPlot p;
        const plot::SaveFailure f = p.savePng(QString::fromStdString(file.string()), 300, 200);
        QVERIFY(f.kind == plot::SaveFailure::Kind::ReadOnly);
        QVERIFY(f.message(QStringLiteral("mine.png")).contains(QStringLiteral("только для чтения")));
        std::ifstream in(file);
        std::string text;
        in >> text;
        QCOMPARE(text, std::string("mine"));
        QVERIFY_THROWS_EXCEPTION(FileError,
                                 plot::saveCampbellPng(sample(), dir / "no" / "such" / "folder.png"));
        // Nothing left beside it.
        int files = 0;
        for ([[maybe_unused]] const auto &e : std::filesystem::directory_iterator(dir.path()))
            ++files;
        QCOMPARE(files, 1);
    }
};

QTEST_MAIN(CampbellTest)
#include "test_plot_campbell.moc"
