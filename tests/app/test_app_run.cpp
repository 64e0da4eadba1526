// A whole run from the main window on a simulated recording, and the plots
// it leaves: blade lists, graph kinds, axis titles, the rotation-speed view.
#include "chart/chart.hpp"
#include "plots/blade_locations.hpp"
#include "plots/graph_kinds.hpp"
#include "sim/simulator.hpp"
#include "support/temp_dir.hpp"
#include "window/main_window.hpp"
#include "windows/blade_form.hpp"
#include "windows/progress_form.hpp"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <fstream>
#include <iterator>

using namespace vibrolan;
using namespace vibrolan::app;

namespace {
QString qs(const std::filesystem::path &p) { return QString::fromStdString(p.string()); }

// Answers the next file dialog with `file` and remembers its title.
void answerFileDialog(const QString &file, QString *title)
{
    QTimer::singleShot(0, [file, title] {
        auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(d);
        *title = d->windowTitle();
        d->selectFile(file);
        QMetaObject::invokeMethod(d, "accept");
    });
}

sim::SimulationResult simulateRunUp(const std::filesystem::path &dir)
{
    sim::SimulationOptions so;
    so.outDir = dir;
    so.name = "runup";
    so.truth = false;
    return sim::simulate(sim::scaledDuration(sim::preset("runup"), 0.05), so);
}
// The main window started on a configuration, without greeting, its
// messages recorded.
TMainOptions windowOn(const std::filesystem::path &lfm, const std::filesystem::path &dir, MessageSink &sink)
{
    TMainOptions o;
    o.arguments = {qs(lfm)};
    o.programDir = qs(dir);
    o.greetingMs = 0;
    o.messages = &sink;
    return o;
}
} // namespace

class RunTest : public QObject {
    Q_OBJECT
private slots:
    void runFromTheWindow()
    {
        test::TempDir dir;
        const auto simulated = simulateRunUp(dir.path());

        RecordingMessageSink sink;
        TMain w(windowOn(simulated.lfm, dir.path(), sink));
        w.fmt.decimalSeparator = '.';
        QVERIFY(!w.CfgDfm->FileName.empty());
        QVERIFY(!w._NSaveRun->isEnabled()); // nothing to save before a run
        w._NStartMI->setEnabled(true);
        w._NStartMI->trigger();
        for (const auto &m : sink.messages())
            qInfo("message: %s / %s", m.caption.c_str(), m.text.c_str());
        QVERIFY(!w.NoResults);
        QVERIFY(w._NStopMI->isEnabled());
        QVERIFY(w._NPausMI->isEnabled());
        QVERIFY(w._NRpt->isEnabled());
        QVERIFY(!w.reportLines().isEmpty());
        QVERIFY(w.windowTitle().contains(QStringLiteral(" от ")));
        // Running again keeps one date in the caption.
        const QString caption = w.windowTitle();
        w._NStartMI->trigger();
        QCOMPARE(w.windowTitle(), caption);

        // Blade lists: every slot of every checked pair, entries 0 .. 3 selected.
        const QStringList entries = BladeListEntries(*w.CfgDfm);
        QVERIFY(entries.size() >= 4);
        QVERIFY(entries[0].endsWith(QStringLiteral(":Лопатка1")));
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(w.CbxName[k]->count(), entries.size());
            QCOMPARE(w.CbxName[k]->currentIndex(), k);
        }
        // The first four blades and the fit of the last one are drawn.
        for (int s = 0; s < 5; ++s)
            QVERIFY2(w.Chart1->pointCount(s) > 10, qPrintable(QString::number(s)));
        QCOMPARE(w.Chart1->pointCount(5), 0);
        QVERIFY(w.Rbtn1->isChecked());
        QCOMPARE(w.Chart1->axisTitle(ChartAxis::Y), QStringLiteral("мм"));
        QCOMPARE(w.Chart1->axisTitle(ChartAxis::X), QStringLiteral("RPM"));
        // One save entry per checked pair.
        int checked = 0;
        for (int s = 0; s < w.CfgDfm->CountStage; ++s)
            for (const TPair &p : w.CfgDfm->Stages[static_cast<std::size_t>(s)].Pairs)
                checked += p.Checked ? 1 : 0;
        QCOMPARE(w.NSavePairs->actions().size(), checked);
        QCOMPARE(w.NSaveSlices->actions().size(), checked);

        // The report is saved as ".txt" in UTF-16LE; a pair as a ZAMI data set.
        QString title;
        answerFileDialog(qs(dir / "report.dat"), &title);
        w._NRpt->trigger();
        QCOMPARE(title, QStringLiteral("Сохранение текстового отчета"));
        QVERIFY(std::filesystem::exists(dir / "report.txt"));
        std::ifstream rep(dir / "report.txt", std::ios::binary);
        char bom[2] = {0, 0};
        rep.read(bom, 2);
        QCOMPARE(bom[1], '\0'); // the first character is ASCII in UTF-16LE
        answerFileDialog(qs(dir / "pair1"), &title);
        w.NSavePairs->actions().first()->trigger();
        QCOMPARE(title, QStringLiteral("Coxpaнение результатов по паре датчиков"));
        bool zami = false;
        for (const auto &e : std::filesystem::recursive_directory_iterator(dir.path()))
            zami = zami || e.path().extension() == ".zami";
        QVERIFY(zami);
        // The whole run as one HDF5 file, ".h5" added to a bare name.
        QVERIFY(w._NSaveRun->isEnabled());
        QCOMPARE(w._NSaveRun->text(), QStringLiteral("Весь расчёт (HDF5)..."));
        answerFileDialog(qs(dir / "run"), &title);
        w._NSaveRun->trigger();
        QCOMPARE(title, QStringLiteral("Сохранение всего расчёта"));
        {
            std::ifstream h5(dir / "run.h5", std::ios::binary);
            char signature[8] = {};
            h5.read(signature, 8);
            QCOMPARE(QByteArray(signature, 8), QByteArray("\x89HDF\r\n\x1a\n", 8));
            // With the identification's tables beside the pairs.
            const std::string bytes((std::istreambuf_iterator<char>(h5)), std::istreambuf_iterator<char>());
            for (const char *table : {"resonance_events", "asynchronous_track"})
                QVERIFY2(bytes.find(table) != std::string::npos, table);
        }
        const std::size_t before = sink.messages().size();

        // Graph kind "Скорость": new titles, series 4 keeps a curve.
        w.CbxGraph->setCurrentIndex(2);
        w.CbxGraphChange();
        QCOMPARE(w.Chart1->axisTitle(ChartAxis::Y), QStringLiteral("мм/с"));
        // Unchecking graph 3 clears series 2; graph 4 keeps series 4.
        const int aux = w.Chart1->pointCount(4);
        w.ChbxGraph[2]->setChecked(false);
        w.ChbxGraphClick(2);
        QCOMPARE(w.Chart1->pointCount(2), 0);
        QVERIFY(w.Chart1->pointCount(1) > 0);
        QCOMPARE(w.Chart1->pointCount(4), aux);

        // Time as abscissa.
        w.Rbtn2->click();
        QVERIFY(!w.AxesTaho);
        QCOMPARE(w.Chart1->axisTitle(ChartAxis::X), QStringLiteral("sec"));

        // The rotation-speed view after a run, in Hz: Freq / 60 against Time.
        w.ComboBox1->setCurrentIndex(1);
        w._NTaho->trigger();
        QVERIFY(w._NTaho->isChecked());
        QCOMPARE(w.Chart1->axisTitle(ChartAxis::Y), QStringLiteral("Hz"));
        BladeLocation first;
        QVERIFY(GetLocationByIndex(*w.CfgDfm, 0, first));
        const TPair &pair = w.CfgDfm->Stages[first.stage].Pairs[first.pair];
        QVERIFY(w.Chart1->pointCount(first.stage) > 0);
        const QPointF p0 = w.Chart1->point(first.stage, 0);
        QCOMPARE(float(p0.x()), pair.Time[0]);
        QCOMPARE(float(p0.y()), float(pair.Freq[0] / 60.0));
        // Off again: the blade graphs come back.
        w._NTaho->trigger();
        QVERIFY(!w._NTaho->isChecked());
        QVERIFY(w.Chart1->pointCount(0) > 0);
        QCOMPARE(sink.messages().size(), before);

        // The saved data set opened as input: pair 0 of stage 0, then a run
        // that only computes.
        std::filesystem::path key;
        for (const auto &e : std::filesystem::recursive_directory_iterator(dir.path()))
            if (e.path().extension() == ".zami")
                key = e.path();
        answerFileDialog(qs(key), &title);
        w._NOpenFile->trigger();
        QCOMPARE(w.CfgDfm->TypeFile, std::uint16_t(1));
        QVERIFY(w.CfgDfm->Stages[0].Pairs[0].Size > 0);
        QVERIFY(!w.TachoPending);
        QVERIFY(w._NStartMI->isEnabled());
        w._NStartMI->trigger();
        QCOMPARE(sink.messages().size(), before);
        QVERIFY(w.Chart1->pointCount(0) > 0);
    }

    // The window of the stage computation is painted while it runs, naming
    // the stage and pair and showing the share done; the pass window too.
    void progressWindowsArePaintedDuringTheRun()
    {
        test::TempDir dir;
        const auto simulated = simulateRunUp(dir.path());
        RecordingMessageSink sink;
        TMain w(windowOn(simulated.lfm, dir.path(), sink));
        struct PaintLog : QObject {
            TMain *w = nullptr;
            QStringList where;
            QList<int> done;
            int passPaints = 0;
            bool eventFilter(QObject *o, QEvent *e) override
            {
                if (e->type() == QEvent::Paint && o == w->BladeForm &&
                    !w->BladeForm->Where->text().isEmpty()) {
                    where << w->BladeForm->Where->text();
                    done << w->BladeForm->Bar->value();
                }
                if (e->type() == QEvent::Paint && o == w->ProgressForm)
                    ++passPaints;
                return false;
            }
        } log;
        log.w = &w;
        w.BladeForm->installEventFilter(&log);
        w.ProgressForm->installEventFilter(&log);
        w._NStartMI->setEnabled(true);
        w._NStartMI->trigger();
        QVERIFY(!w.NoResults);
        QVERIFY(log.passPaints > 0);
        QVERIFY(!log.where.isEmpty());
        const TStage &st = w.CfgDfm->Stages[0];
        QCOMPARE(log.where.first(), QStringLiteral("Ступень %1, пара %2")
                                        .arg(QString::fromStdString(st.NameStage),
                                             QString::fromStdString(st.Pairs[0].NamePair)));
        for (int i = 1; i < log.done.size(); ++i)
            QVERIFY(log.done[i] >= log.done[i - 1]);
        QVERIFY(!w.BladeForm->isVisible());
    }

    // Before any run, "Тахо" computes the speed curve from the recording.
    void tahoFromTheRecording()
    {
        test::TempDir dir;
        const auto simulated = simulateRunUp(dir.path());
        RecordingMessageSink sink;
        TMain w(windowOn(simulated.lfm, dir.path(), sink));
        w._NTaho->trigger();
        QVERIFY(w._NTaho->isChecked());
        QVERIFY(!w.TachoPending);
        QVERIFY(sink.messages().empty());
        const int n = w.Chart1->pointCount(0);
        QVERIFY(n > 10);
        // A run-up: the speed rises, time starts after the first pulse.
        QVERIFY(w.Chart1->point(0, 0).x() > 0);
        QVERIFY(w.Chart1->point(0, n - 1).y() > w.Chart1->point(0, 0).y());
        QCOMPARE(w.XMin, w.Chart1->point(0, 0).x());
        QCOMPARE(w.CbxNmScale->currentText(), QStringLiteral("X"));
        // Off: nothing to redraw before a run.
        w._NTaho->trigger();
        QVERIFY(!w._NTaho->isChecked());
        QCOMPARE(w.Chart1->pointCount(0), 0);
    }

    // The curves of one blade slot for the graph kinds, on a hand-made pair.
    void curvesOfABlade()
    {
        TCfgDfm cfg;
        cfg.InitDefault();
        cfg.CountStage = 1;
        TStage &st = cfg.Stages[0];
        st.CountBlade = 2;
        for (TPair &other : st.Pairs)
            other.Checked = false;
        TPair &p = st.Pairs[1];
        p.Checked = true;
        p.Size = 5;
        p.Freq = {600, 1200, 1800, 2400, 3000};
        p.Time = {0, 1, 2, 3, 4};
        p.Ampl[1] = {0.5f, 1, 1.5f, 2, 2.5f};
        p.MiddleLine[1] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f};
        p.ResonanceCurve[1] = {10, 20, 30, 40, 50};
        p.CmprssResnceCurve[1] = {1, 3};
        p.CountInterval = 2;

        BladeLocation loc;
        QVERIFY(GetLocationByIndex(cfg, 1, loc));
        QCOMPARE(loc.pair, std::uint16_t(1));
        QCOMPARE(loc.blade, std::uint16_t(1));
        QVERIFY(!GetLocationByIndex(cfg, 2, loc));

        // "Расстояние" against frequency in Hz.
        auto c = GetXYByLocation(cfg, {0, 1, 1}, TMode::mdDynamic, 0, 5, true, FrequencyDivisor(1));
        QCOMPARE(c.xyData.size(), std::size_t(5));
        QCOMPARE(c.xyData[2].x, 30.0f);
        QCOMPARE(c.xyData[2].y, 1.8f);
        QCOMPARE(c.FitData[2].y, 0.3f);
        // "Сжатый": the selected samples of the resonance curve.
        c = GetXYByLocation(cfg, {0, 1, 1}, TMode::mdDynamic, 5, 5, true, FrequencyDivisor(1));
        QCOMPARE(c.xyData.size(), std::size_t(2));
        QCOMPARE(c.xyData[1].x, 40.0f);
        QCOMPARE(c.xyData[1].y, 40.0f);
        // Nothing for an empty pair, and kinds without data give no curve.
        QVERIFY(GetXYByLocation(cfg, {0, 1, 1}, TMode::mdDynamic, 0, 0, true, 1).xyData.empty());
        QVERIFY(GetXYByLocation(cfg, {0, 1, 1}, TMode::mdDynamic, 2, 5, false, 1).xyData.empty());

        // Titles by mode and kind.
        QCOMPARE(XAxisTitle(TMode::mdDynamic, 5, true, QStringLiteral("Hz")), QStringLiteral("Hz"));
        QCOMPARE(XAxisTitle(TMode::mdStatic, 5, true, QStringLiteral("Hz")), QStringLiteral("mm"));
        QCOMPARE(YAxisTitle(TMode::mdStatic, 5), QStringLiteral("плотность"));
        QCOMPARE(YAxisTitle(TMode::mdDynamic, 5), QString());
        QCOMPARE(YAxisTitle(TMode::mdDynamic, 3), QStringLiteral("кгс/мм*мм"));
    }
};

QTEST_MAIN(RunTest)
#include "test_app_run.moc"
