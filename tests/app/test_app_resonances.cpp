// The resonance window on a real run of a simulated run-up: opened from the
// menu after the run, its table holding the identification's result, a click
// on a Campbell marker drawing that blade's fit, the diagram saved as PNG.
#include "identify/identify.hpp"
#include "plot/campbell_plot.hpp"
#include "plot/trace_plot.hpp"
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"
#include "support/modes_file.hpp"
#include "support/temp_dir.hpp"
#include "window/main_window.hpp"
#include "windows/resonance_form.hpp"

#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <cmath>
#include <set>

using namespace vibrolan;
using namespace vibrolan::app;

namespace {
QString qs(const std::filesystem::path &p) { return QString::fromStdString(p.string()); }

QString cell(const QTableWidget &t, int row, int col) { return t.item(row, col)->text(); }
double number(const QTableWidget &t, int row, int col)
{
    QString s = cell(t, row, col);
    s.replace(QLatin1Char(','), QLatin1Char('.'));
    return s.toDouble();
}
} // namespace

class ResonancesTest : public QObject {
    Q_OBJECT
private slots:
    void windowOnARealRun()
    {
        test::TempDir dir;
        sim::SimulationOptions so;
        so.outDir = dir.path();
        const auto simulated = sim::simulate(
            sim::loadScenarioFile(std::filesystem::path(VIBROLAN_TEST_DATA_DIR) / "sim_runup_slow.json"), so);
        const auto truth = test::readModes(simulated.modes);

        RecordingMessageSink sink;
        TMainOptions o;
        o.arguments = {qs(simulated.lfm)};
        o.programDir = qs(dir.path());
        o.greetingMs = 0;
        o.messages = &sink;
        QString pngTitle;
        const auto png = dir / "campbell.png";
        o.chooseFile = [&](const FileRequest &r) {
            pngTitle = r.caption;
            return QStringList{qs(png)};
        };
        TMain w(o);
        w.fmt.decimalSeparator = ',';
        QVERIFY(!w._NResonances->isEnabled()); // nothing to identify before a run
        w._NStartMI->setEnabled(true);
        w._NStartMI->trigger();
        QVERIFY(!w.NoResults);
        QVERIFY(w._NResonances->isEnabled());
        w._NResonances->trigger();
        for (const auto &m : sink.messages())
            qInfo("message: %s / %s", m.caption.c_str(), m.text.c_str());
        QVERIFY(w.ResonanceForm);
        TResonanceForm &f = *w.ResonanceForm;
        QVERIFY(f.isVisible());
        QCOMPARE(f.windowTitle(), QStringLiteral("Резонансы"));
        QCOMPARE(f.Table->horizontalHeaderItem(2)->text(), QStringLiteral("Кратность"));

        // The table is the result, row by row, with the window's decimal comma.
        const auto &res = f.result().resonances;
        QVERIFY(!res.empty());
        QCOMPARE(f.Table->rowCount(), static_cast<int>(res.size()));
        for (int row = 0; row < f.Table->rowCount(); ++row) {
            const auto &r = res[static_cast<std::size_t>(row)];
            QCOMPARE(cell(*f.Table, row, 0).toInt(), r.stage + 1);
            QCOMPARE(cell(*f.Table, row, 1).toInt(), r.blade + 1);
            QCOMPARE(cell(*f.Table, row, 2).toInt(), r.engineOrder);
            QVERIFY(std::abs(number(*f.Table, row, 3) - r.speedRpm) <= 0.05 + 1e-9);
            QVERIFY(std::abs(number(*f.Table, row, 4) - r.frequencyHz) <= 5e-4 + 1e-9);
            QVERIFY(std::abs(number(*f.Table, row, 6) - r.amplitude) <= 5e-5 + 1e-12);
            QCOMPARE(cell(*f.Table, row, 8).toInt(), r.pairs);
            QVERIFY(cell(*f.Table, row, 4).contains(QLatin1Char(',')));
        }
        // What was found are the simulated modes: every row's engine order is
        // one of the scenario's, its frequency that blade's within a percent.
        const std::set<int> orders = {3, 5, 8};
        for (const auto &r : res) {
            QVERIFY(orders.count(r.engineOrder));
            bool matched = false;
            for (const auto &t : truth)
                matched = matched || (t.blade == r.blade + 1 && t.engineOrder == r.engineOrder &&
                                      std::abs(r.frequencyHz / t.naturalHz - 1) < 0.01);
            QVERIFY2(matched,
                     qPrintable(QStringLiteral("blade %1 EO %2").arg(r.blade + 1).arg(r.engineOrder)));
        }

        // A click on a marker draws that blade's deflection and fit, and selects its row.
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const int pick = static_cast<int>(res.size() / 2);
        QCOMPARE(f.shown(), -1);
        QTest::mouseClick(f.Campbell->plotWidget(), Qt::LeftButton, {},
                          f.Campbell->markerPixel(pick).toPoint());
        // Markers may overlap: the one under the click is the one drawn.
        QVERIFY(f.shown() >= 0);
        const auto &shown = res[static_cast<std::size_t>(f.shown())];
        QVERIFY(std::hypot(f.Campbell->markerPixel(f.shown()).x() - f.Campbell->markerPixel(pick).x(),
                           f.Campbell->markerPixel(f.shown()).y() - f.Campbell->markerPixel(pick).y()) < 12);
        QCOMPARE(f.Table->currentRow(), f.shown());
        QVERIFY(f.Trace->title().contains(QStringLiteral("лопатка %1").arg(shown.blade + 1)));
        const auto trace = identify::TraceResonance(*w.CfgDfm, shown);
        QVERIFY(!trace.pairs.empty());
        QCOMPARE(f.Trace->measuredCount(0), static_cast<int>(trace.pairs[0].points.size()));
        QVERIFY(f.Trace->modelCount(0) > 10);

        // The diagram as PNG through the save button.
        f.BtnSave->click();
        QCOMPARE(pngTitle, QStringLiteral("Сохранение диаграммы Кэмпбелла"));
        QImage img;
        QVERIFY(img.load(qs(png), "PNG"));
        QCOMPARE(img.size(), QSize(1200, 800));
        QVERIFY(sink.messages().empty());

        // A new run closes the window of the old one.
        w._NStartMI->trigger();
        QVERIFY(!w.ResonanceForm);
    }

    void emptyResultSaysSoAndListsWhatWasNotIdentified()
    {
        TCfgDfm cfg;
        cfg.InitDefault();
        RecordingMessageSink sink;
        {
            TResonanceForm f(cfg, {}, QLatin1Char(','), sink, {});
            QCOMPARE(f.Table->rowCount(), 0);
            QCOMPARE(f.Notes->toPlainText(), QStringLiteral("Резонансы не обнаружены."));
        }
        identify::IdentifyResult r;
        r.notIdentifiable.push_back({0, 3, 0, 5000, 5400.4, "порядок возбуждения не определить"});
        r.notes.push_back("отброшено 2 значения");
        TResonanceForm f(cfg, r, QLatin1Char(','), sink, {});
        QCOMPARE(
            f.Notes->toPlainText(),
            QStringLiteral("Ступень 1, лопатка 4, 5000 … 5400 об/мин: порядок возбуждения не определить\n"
                           "отброшено 2 значения"));
        // A row that is not there draws nothing and says nothing.
        f.showResonance(0);
        QCOMPARE(f.shown(), -1);
        QVERIFY(sink.messages().empty());
    }
};

QTEST_MAIN(ResonancesTest)
#include "test_app_resonances.moc"
