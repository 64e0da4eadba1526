// The resonance window on a real run of a simulated run-up: opened from the
// menu after the run, its table holding the identification's result, a click
// on a Campbell marker drawing that blade's fit, the diagram saved as PNG.
// On a simulated stall and flutter, its asynchronous tab holds what the
// command line's asynchronous command writes for the same recording.
#include "identify/async_table.hpp"
#include "identify/identify.hpp"
#include "plot/async_track_plot.hpp"
#include "plot/campbell_plot.hpp"
#include "plot/trace_plot.hpp"
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"
#include "support/modes_file.hpp"
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"
#include "window/main_window.hpp"
#include "windows/resonance_form.hpp"

#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

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
// The rows of a CSV file, header first; an empty last cell kept.
std::vector<QStringList> csvRows(const std::string &text)
{
    std::vector<QStringList> rows;
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line))
        rows.push_back(QString::fromStdString(line).split(QLatin1Char(',')));
    return rows;
}

// A table cell against the CSV's value of the same column: the same number
// to the table's rounding, or (a value the layout or the blades leave open)
// the table's words where the CSV is empty.
bool sameValue(const QString &tableCell, const QString &csvCell, double rounding)
{
    if (csvCell.isEmpty())
        return tableCell == QString::fromUtf8(identify::kAmbiguousText) ||
               tableCell == QString::fromUtf8(identify::kUndeterminedText);
    QString t = tableCell;
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok1 = false, ok2 = false;
    const double a = t.toDouble(&ok1), b = csvCell.toDouble(&ok2);
    return ok1 && ok2 && std::abs(a - b) <= rounding * (1 + 1e-9) + 1e-12;
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

    void asynchronousTabsOnARealRun()
    {
        test::TempDir dir;
        sim::SimulationOptions so;
        so.outDir = dir.path();
        const auto simulated = sim::simulate(
            sim::loadScenarioFile(std::filesystem::path(VIBROLAN_TEST_DATA_DIR) / "sim_async.json"), so);
        const auto truth = test::readModes(simulated.modes);
        // The command line's segments of the same recording.
        const auto csvFile = dir / "segments.csv";
        const auto cli = test::runProcess(
            VIBROLAN_CLI_PATH, {"asynchronous", simulated.lfm.string(), "--csv", csvFile.string()});
        QVERIFY2(cli.status == 0, cli.err.c_str());
        const auto rows = csvRows(test::slurpFile(csvFile.string()));
        QVERIFY(rows.size() >= 3); // header, the stall, the flutter

        RecordingMessageSink sink;
        TMainOptions o;
        o.arguments = {qs(simulated.lfm)};
        o.programDir = qs(dir.path());
        o.greetingMs = 0;
        o.messages = &sink;
        TMain w(o);
        w.fmt.decimalSeparator = ',';
        w._NStartMI->setEnabled(true);
        w._NStartMI->trigger();
        QVERIFY(!w.NoResults);
        w._NResonances->trigger();
        for (const auto &m : sink.messages())
            qInfo("message: %s / %s", m.caption.c_str(), m.text.c_str());
        QVERIFY(w.ResonanceForm);
        TResonanceForm &f = *w.ResonanceForm;
        QCOMPARE(f.Tabs->count(), 3);
        QCOMPARE(f.Tabs->tabText(0), QStringLiteral("Резонансы"));
        QCOMPARE(f.Tabs->tabText(1), QStringLiteral("Асинхронные колебания"));
        QCOMPARE(f.Tabs->tabText(2), QStringLiteral("Частота во времени"));
        QCOMPARE(f.AsyncTable->horizontalHeaderItem(identify::acFrequency)->text(),
                 QStringLiteral("Частота, Гц"));

        // Row by row what the command line wrote: stage, from, to, speed,
        // frequency, nodal diameter, amplitudes, blades, quality (CSV
        // columns 0 ... 9), to the table's rounding, with a decimal comma.
        QCOMPARE(f.AsyncTable->rowCount(), static_cast<int>(rows.size()) - 1);
        const int columns[10] = {identify::acStage,         identify::acTimeFrom,
                                 identify::acTimeTo,        identify::acSpeed,
                                 identify::acFrequency,     identify::acNodalDiameter,
                                 identify::acAmplitudeMean, identify::acAmplitudeMax,
                                 identify::acBlades,        identify::acQuality};
        for (int row = 0; row < f.AsyncTable->rowCount(); ++row) {
            const QStringList &csv = rows[static_cast<std::size_t>(row) + 1];
            QCOMPARE(csv.size(), 10);
            const auto &seg = f.asyncResult().segments[static_cast<std::size_t>(row)];
            // The table names the stage as the configuration does; the CSV numbers it.
            QCOMPARE(cell(*f.AsyncTable, row, identify::acStage),
                     QString::fromStdString(w.CfgDfm->Stages[static_cast<std::size_t>(seg.stage)].NameStage));
            QCOMPARE(csv[0].toInt(), seg.stage + 1);
            // Amplitudes to four significant digits.
            const double amplitudeRounding = 5e-4 * seg.amplitudeMax;
            const double rounding[10] = {0, 0.005, 0.005, 0.5, 0.005, 0, amplitudeRounding, amplitudeRounding,
                                         0, 5e-4};
            for (int c = 1; c < 10; ++c)
                QVERIFY2(sameValue(cell(*f.AsyncTable, row, columns[c]), csv[c], rounding[c]),
                         qPrintable(QStringLiteral("row %1, column %2: %3 against %4")
                                        .arg(row)
                                        .arg(c)
                                        .arg(cell(*f.AsyncTable, row, columns[c]), csv[c])));
            QVERIFY(cell(*f.AsyncTable, row, identify::acTimeTo).contains(QLatin1Char(',')));
        }
        // And what both found is the simulated stall and flutter.
        for (const auto &m : truth) {
            if (m.kind == "resonance" || m.blade != 1)
                continue;
            bool found = false;
            for (const auto &seg : f.asyncResult().segments)
                found = found ||
                        (seg.stage == m.stage - 1 && seg.nodalDiameter == m.nodalDiameter &&
                         std::abs(seg.frequencyHz / (0.5 * (m.frequencyHz + m.frequencyEndHz)) - 1) < 0.01);
            QVERIFY2(found, qPrintable(QString::fromStdString(m.kind)));
        }

        // The segments on the Campbell diagram and in the track view.
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.Tabs->setCurrentIndex(2);
        QVERIFY(QTest::qWaitForWindowExposed(f.Track));
        for (int i = 0; i < f.AsyncTable->rowCount(); ++i) {
            const auto &seg = f.asyncResult().segments[static_cast<std::size_t>(i)];
            QCOMPARE(f.Campbell->hasAsyncMarker(i), seg.frequencyKnown);
            QCOMPARE(f.Track->drawn(i), seg.frequencyKnown);
            if (seg.frequencyKnown)
                QCOMPARE(f.Track->pointCount(i), static_cast<int>(seg.track.size()));
        }
        QVERIFY(sink.messages().empty());
    }

    void valuesTheLayoutOrTheBladesLeaveOpenAreNamed()
    {
        TCfgDfm cfg;
        cfg.InitDefault();
        cfg.Stages[0].NameStage = "St1";
        RecordingMessageSink sink;
        identify::AsyncResult a;
        auto seg = [](bool ambiguous, bool frequency, bool nd, const char *remark) {
            identify::AsyncSegment s;
            s.timeFrom = 1.25;
            s.timeTo = 3.5;
            s.speedRpm = 6000;
            s.frequencyHz = 169.5;
            s.rotorFrequencyHz = 470;
            s.nodalDiameter = -3;
            s.ambiguous = ambiguous;
            s.frequencyKnown = frequency;
            s.nodalDiameterKnown = nd;
            s.remark = remark;
            return s;
        };
        a.segments = {seg(false, true, true, ""), seg(true, true, false, "порядки неоднозначны"),
                      seg(true, false, false, "частота неоднозначна"),
                      seg(false, false, false, "не одной волной")};
        TResonanceForm f(cfg, {}, a, QLatin1Char(','), sink, {});
        QCOMPARE(f.AsyncTable->rowCount(), 4);
        const QString amb = QStringLiteral("неоднозначно"), open = QStringLiteral("не определено");
        struct Row {
            QString frequency, nd, rotor;
        };
        const Row rows[4] = {{QStringLiteral("169,50"), QStringLiteral("-3"), QStringLiteral("470,00")},
                             {QStringLiteral("169,50"), amb, amb},
                             {amb, amb, amb},
                             {open, open, open}};
        for (int row = 0; row < 4; ++row) {
            QCOMPARE(cell(*f.AsyncTable, row, identify::acStage), QStringLiteral("St1"));
            QCOMPARE(cell(*f.AsyncTable, row, identify::acTimeFrom), QStringLiteral("1,25"));
            QCOMPARE(cell(*f.AsyncTable, row, identify::acFrequency), rows[row].frequency);
            QCOMPARE(cell(*f.AsyncTable, row, identify::acNodalDiameter), rows[row].nd);
            QCOMPARE(cell(*f.AsyncTable, row, identify::acRotorFrequency), rows[row].rotor);
        }
        // The remarks in the notes, by row; an open frequency has no diamond.
        QCOMPARE(f.AsyncNotes->toPlainText(), QStringLiteral("Строка 2: порядки неоднозначны\n"
                                                             "Строка 3: частота неоднозначна\n"
                                                             "Строка 4: не одной волной"));
        QVERIFY(f.Campbell->hasAsyncMarker(1));
        QVERIFY(!f.Campbell->hasAsyncMarker(2));
        QVERIFY(!f.Track->drawn(3));
    }

    void emptyResultSaysSoAndListsWhatWasNotIdentified()
    {
        TCfgDfm cfg;
        cfg.InitDefault();
        RecordingMessageSink sink;
        {
            TResonanceForm f(cfg, {}, {}, QLatin1Char(','), sink, {});
            QCOMPARE(f.Table->rowCount(), 0);
            QCOMPARE(f.AsyncTable->rowCount(), 0);
            QCOMPARE(f.AsyncNotes->toPlainText(), QStringLiteral("Асинхронных колебаний не найдено."));
            QCOMPARE(f.Notes->toPlainText(), QStringLiteral("Резонансы не обнаружены."));
        }
        identify::IdentifyResult r;
        r.notIdentifiable.push_back({0, 3, 0, 5000, 5400.4, "порядок возбуждения не определить"});
        r.notes.push_back("отброшено 2 значения");
        TResonanceForm f(cfg, r, {}, QLatin1Char(','), sink, {});
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
