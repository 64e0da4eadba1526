// The menu commands of the main window.
#include "window/main_window.hpp"

#include "base/errors.hpp"
#include "base/number_text.hpp"
#include "calc/calc_form.hpp"
#include "cfg_general/cfg_general_dlg.hpp"
#include "cfg_stage/cfg_bandag_dlg.hpp"
#include "cfg_stage/cfg_free_dlg.hpp"
#include "chart/chart.hpp"
#include "chart/plot_curve.hpp"
#include "config/cfg_dump.hpp"
#include "config/recording_path.hpp"
#include "cursor/my_cursor.hpp"
#include "export/data_file_input.hpp"
#include "export/pair_save.hpp"
#include "export/run_hdf5.hpp"
#include "identify/run_identification.hpp"
#include "output/report.hpp"
#include "plots/blade_locations.hpp"
#include "plots/graph_kinds.hpp"
#include "recording/opening_channels.hpp"
#include "recording/recording_image.hpp"
#include "run/processing_run.hpp"
#include "run/tacho_read.hpp"
#include "vibrolan/version.h"
#include "windows/about_dlg.hpp"
#include "windows/blade_form.hpp"
#include "windows/float_edit.hpp"
#include "windows/progress_form.hpp"
#include "windows/waiting_form.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QUrl>

#include <filesystem>

namespace vibrolan::app {

namespace {
std::filesystem::path toPath(const QString &s) { return std::filesystem::path(s.toStdU16String()); }
QString fromStd(const std::string &s) { return QString::fromStdString(s); }

// A sensor row for a channel descriptor of an opened recording: the name
// ("no_name" for an empty one), the channel label, the sensor-type text and
// first blade 1. A row of the same name among the `earlierRows` that were
// there before this opening is rewritten rather than repeated, so opening a
// recording again does not multiply the sensors.
void addRecordingSensor(TCfgGeneralDlg &dlg, int earlierRows, const QString &caption, const QString &label,
                        int type)
{
    QTreeWidgetItem *row = nullptr;
    for (int i = 0; i < earlierRows; ++i)
        if (dlg.LVSensors->topLevelItem(i)->text(0) == caption)
            row = dlg.LVSensors->topLevelItem(i);
    if (!row) {
        row = new QTreeWidgetItem(dlg.LVSensors);
        row->setText(0, caption);
    }
    const bool known = type < dlg.CbxTypeSensor->count();
    row->setText(1, label);
    row->setText(2, known ? dlg.CbxTypeSensor->itemText(type) : QString());
    row->setText(3, QStringLiteral("1"));
    dlg.EdNmSensor->setText(caption);
    dlg.CbxTypeSensor->setCurrentIndex(known ? type : -1);
}
} // namespace

void TMain::_NExitExecute() { close(); }

void TMain::_N3Execute() { AboutDlg->Show(QString(), QString()); }

void TMain::OpenHelp(const QString &file)
{
    if (!QFileInfo::exists(file)) {
        messages_->show(
            {"Справка", "Файл справки не найден: " + file.toStdString(), Buttons::Ok, Severity::Warning});
        return;
    }
    const bool opened = openHelp_ ? openHelp_(file) : QDesktopServices::openUrl(QUrl::fromLocalFile(file));
    if (!opened)
        messages_->show(
            {"Справка", "Не удалось открыть " + file.toStdString(), Buttons::Ok, Severity::Warning});
}

void TMain::_NGeneralExecute()
{
    CloseResonances();
    GeneralDlg->CfgRead(*CfgDfm);
    GeneralDlg->setWindowTitle(QStringLiteral("Настройка - ") + CfgFileName);
    // OK writes the picture into the configuration (the dialog stays open
    // while an entry is wrong); the graph kinds follow a changed mode.
    if (runModal(*GeneralDlg) == QDialog::Accepted)
        FillGraphKinds();
    GeneralDlg->hide();
    setCaption(QStringLiteral("Анализ вибрации лопаточного аппарата - ") + fromStd(CfgDfm->FileName));
    _NStartMI->setEnabled(true);
}

void TMain::_NCfgFreeExecute()
{
    CloseResonances();
    TCfgFreeDlg &dlg = *GeneralDlg->CfgFreeDlg;
    dlg.SetCfgDfm(*CfgDfm);
    dlg.ReadData(*CfgDfm);
    dlg.setWindowTitle(QStringLiteral("Настройка - ") + CfgFileName);
    runModal(dlg);
}

void TMain::_NCfgShroudedExecute()
{
    CloseResonances();
    TCfgBandagDlg &dlg = *GeneralDlg->CfgBandagDlg;
    dlg.SetCfgDfm(*CfgDfm);
    dlg.ReadData(*CfgDfm);
    dlg.setWindowTitle(QStringLiteral("Настройка - ") + CfgFileName);
    runModal(dlg);
}

// Linked stages have no dialog.
void TMain::_NCfgConnectExecute() { beep(); }

void TMain::_CalcMIExecute()
{
    if (CfgDfm->Mode != TMode::mdStatic) {
        messages_->show({"Ошибка вызова калькулятора", "Нельзя считать собственные частоты на проходе",
                         Buttons::Ok, Severity::Error});
        return;
    }
    CalcForm->SetIndexes(Cursor1->ValueIndex(), Cursor2->ValueIndex());
    CalcForm->show();
    CalcForm->raise();
}

void TMain::_NReportExecute()
{
    if (_NReport->isChecked()) {
        if (Memo)
            Memo->hide();
        ChartArea->setCurrentWidget(Chart1);
        _NReport->setChecked(false);
        return;
    }
    if (!Memo) {
        Memo = new QPlainTextEdit(ChartArea);
        Memo->setReadOnly(true);
        Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
        Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        f.setPointSize(11);
        f.setBold(true);
        Memo->setFont(f);
        Memo->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(Memo, &QWidget::customContextMenuRequested, this, [this] { MemoContextPopup(); });
        ChartArea->addWidget(Memo);
    }
    Memo->setPlainText(reportLines().join(QLatin1Char('\n')));
    Memo->show();
    ChartArea->setCurrentWidget(Memo);
    Memo->setFocus();
    _NReport->setChecked(true);
    _NTaho->setChecked(false);
}

void TMain::MemoContextPopup()
{
    // The answer leads nowhere: printing from here was never offered.
    messages_->show({"Печать", "Напечатать лист?", Buttons::OkCancel, Severity::Question});
}

void TMain::_NRptExecute()
{
    FileRequest request;
    request.mode = FileRequest::Mode::Save;
    request.caption = QStringLiteral("Сохранение текстового отчета");
    request.filter = QStringLiteral("Текст|*.txt|Все|*.*");
    request.directory = QFileInfo(fromStd(CfgDfm->FileName)).absolutePath();
    const QStringList names = chooseFile_(request);
    if (names.isEmpty() || !Report || Report->LineCount() == 0)
        return;
    const QFileInfo chosen(names.first());
    const QString name =
        chosen.path() + QLatin1Char('/') + chosen.completeBaseName() + QStringLiteral(".txt");
    try {
        Report->WriteReport(toPath(name));
    } catch (const std::exception &e) {
        messages_->show({"Ошибка", e.what(), Buttons::Ok, Severity::Error});
    }
}

void TMain::_NOpenFileExecute()
{
    FileRequest request;
    request.mode = FileRequest::Mode::OpenMany;
    request.filter = QStringLiteral("Файл записи вибрации (.BLD)|*.BLD;*.bld|Файл ПРКС(.PRX)|*.PRX;*.prx|"
                                    "Файл ПРКС(.zami)|*.zami;*ZAMI");
    const QStringList names = chooseFile_(request);
    if (names.isEmpty())
        return;
    CloseResonances();
    _NResonances->setEnabled(false);
    Chart1->clearAllSeries();
    // Data files take the pairs of stage 0 in the order selected; a
    // recording keeps its position unused.
    std::vector<std::filesystem::path> files;
    for (const QString &n : names)
        files.push_back(toPath(n));
    DataFileEnv env;
    env.numberFormat = fmt;
    try {
        const TDataFileInput in = OpenDataFiles(*CfgDfm, files, *messages_, env);
        if (in.TachoPresent) {
            TachoPending = false;
            if (in.RevCount0)
                RevCount[0] = *in.RevCount0;
        }
    } catch (const std::exception &e) {
        messages_->show({"Ошибка", e.what(), Buttons::Ok, Severity::Error});
    }
    const QString name = names.first();
    if (name.contains(QStringLiteral("BLD")) || name.contains(QStringLiteral("bld")))
        openRecording(name);
    _NStartMI->setEnabled(true);
}

void TMain::openRecording(const QString &name)
{
    CfgDfm->TypeFile = 0;
    CfgDfm->FileName = name.toStdString();
    OpeningChannels channels;
    try {
        // Only the header, or the records up to the first repeated channel,
        // are read: the mapping spares reading a whole large file.
        const RecordingImage image = RecordingImage::mapFile(toPath(name));
        channels = ChannelsForOpening(image.bytes(), image.file());
    } catch (const std::exception &e) {
        messages_->show({"Ошибка", e.what(), Buttons::Ok, Severity::Error});
        return;
    }
    GeneralDlg->CbxNmChan->clear();
    for (const std::string &label : channels.labels)
        GeneralDlg->CbxNmChan->addItem(fromStd(label));
    // The dialog writes its source field back on OK: it names the new recording.
    GeneralDlg->EdSource->setText(name);
    if (channels.fromHeader) {
        const int earlierRows = GeneralDlg->LVSensors->topLevelItemCount();
        for (const ChannelDescriptor &d : channels.descriptors)
            addRecordingSensor(*GeneralDlg, earlierRows, fromStd(d.nameUtf8()),
                               fromStd(ChannelLabel(d.ChanNo & 255u)), d.ChanSensorType);
        if (GeneralDlg->LVSensors->topLevelItemCount() > 0)
            GeneralDlg->EdNmSensor->setText(GeneralDlg->LVSensors->topLevelItem(0)->text(0));
    }
    GeneralDlg->CbxNmChan->setCurrentIndex(channels.labels.empty() ? -1 : 0);
    GeneralDlg->setWindowTitle(QStringLiteral("Настройка - ") + CfgFileName);
    if (runModal(*GeneralDlg) == QDialog::Accepted) {
        const QStringList entries = BladeListEntries(*CfgDfm);
        for (int k = 0; k < 4; ++k) {
            QComboBox *box = CbxName[static_cast<std::size_t>(k)];
            QSignalBlocker block(box);
            box->clear();
            box->addItems(entries);
            box->setCurrentIndex(k < entries.size() ? k : -1);
        }
        FillGraphKinds();
    }
    GeneralDlg->hide();
}

namespace {

// Paint events are processed at most this often during a run: the pass
// reports every revolution, hundreds of thousands of them.
constexpr qint64 kRepaintMs = 25;

bool repaintDue(QElapsedTimer &clock)
{
    if (clock.isValid() && clock.elapsed() < kRepaintMs)
        return false;
    clock.start();
    return true;
}

} // namespace

void TMain::PassProgress(std::int64_t Total, std::int64_t Position, double Time, double Speed,
                         double Distance)
{
    // The bar moves in 200 steps; a step is taken when the position passes
    // into it (the marks seldom fall on its exact boundary).
    const std::int64_t every = std::max<std::int64_t>(1, Total / 200);
    const std::int64_t step = Position / every;
    const bool newStep = step != passStep_;
    if (!newStep && !repaintDue(paintClock_))
        return;
    passStep_ = step;
    ProgressForm->Freq->setText(FormatFixed(Speed, 6, 3, fmt));
    ProgressForm->Time->setText(FormatFixed(Time, 6, 3, fmt));
    ProgressForm->LbDist->setText(FormatFixed(Distance, 6, 2, fmt));
    const int total = static_cast<int>(std::clamp<std::int64_t>(Total, 0, INT32_MAX));
    ProgressForm->ProgressBar1->setMaximum(total);
    ProgressForm->ProgressBar1->setValue(static_cast<int>(std::clamp<std::int64_t>(Position, 0, total)));
    if (newStep && !repaintDue(paintClock_))
        return;
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TMain::BladeProgress(std::uint16_t blade)
{
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    BladeForm->Label2->setText(QString::number(blade));
}

void TMain::CalcProgress(const TCalcPosition &at)
{
    const TStage &st = CfgDfm->Stages[at.Stage];
    BladeForm->Where->setText(
        QStringLiteral("Ступень %1, пара %2")
            .arg(QString::fromStdString(st.NameStage), QString::fromStdString(st.Pairs[at.Pair].NamePair)));
    BladeForm->Label2->setText(QString::number(at.Blade));
    const int total = static_cast<int>(std::min<std::size_t>(at.Total, INT32_MAX));
    BladeForm->Bar->setVisible(true);
    BladeForm->Bar->setRange(0, std::max(1, total));
    BladeForm->Bar->setValue(static_cast<int>(std::min<std::size_t>(at.Done, INT32_MAX)));
    if (repaintDue(paintClock_) || at.Done == at.Total)
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QStringList TMain::reportLines() const
{
    QStringList out;
    if (Report)
        for (const std::string &l : Report->Lines())
            out << QString::fromStdString(l);
    return out;
}

void TMain::_NStartMIExecute()
{
    CloseResonances();
    _NResonances->setEnabled(false);
    Chart1->clearAllSeries();
    std::unique_ptr<TWaitingForm> waiting;
    TRunCallbacks cb;
    cb.phase = [&](std::string_view caption) {
        if (caption == kUnpackCaption) {
            waiting = std::make_unique<TWaitingForm>(this, QString::fromUtf8(caption.data(), caption.size()));
            waiting->show();
        } else if (!caption.empty()) {
            waiting.reset();
            ProgressForm->setWindowTitle(QString::fromUtf8(caption.data(), caption.size()));
            ProgressForm->show();
        } else {
            ProgressForm->hide();
            BladeForm->Where->clear();
            BladeForm->Bar->setVisible(false);
            BladeForm->show();
        }
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    cb.pass = [this](std::int64_t t, std::int64_t p, double tm, double sp, double d) {
        PassProgress(t, p, tm, sp, d);
    };
    cb.unpack = [&](std::int64_t done, std::int64_t total) {
        if (waiting && total > 0)
            waiting->WFProgressFunct(static_cast<double>(done) / static_cast<double>(total));
    };
    cb.calc = [this](const TCalcPosition &at) { CalcProgress(at); };
    passStep_ = -1;
    paintClock_.invalidate();
    cb.report = [this](const TCfgDfm &cfg) {
        if (Report) {
            Report->Clear();
        } else {
            Report = std::make_unique<TBladeReport>();
            _NRpt->setEnabled(true);
        }
        Report->GenerateReport(cfg, fmt);
    };
    TRunInputs inputs;
    inputs.CfgFileName = toPath(CfgFileName);
    inputs.Gates = Gates.get();
    TRunResult result;
    // A relative recording name of the configuration is looked up beside it
    // first; the configuration keeps the name as it is stored.
    const std::string storedRecording = CfgDfm->FileName;
    if (CfgDfm->TypeFile == 0)
        CfgDfm->FileName = ResolveRecordingPath(storedRecording, inputs.CfgFileName);
    try {
        result = ProcessingRun(*CfgDfm, inputs, *messages_, fmt, cb);
        CfgDfm->FileName = storedRecording;
    } catch (const std::exception &e) {
        CfgDfm->FileName = storedRecording;
        waiting.reset();
        ProgressForm->hide();
        BladeForm->hide();
        messages_->show({"Ошибка", e.what(), Buttons::Ok, Severity::Error});
        return;
    }
    waiting.reset();
    ProgressForm->hide();
    BladeForm->hide();
    if (result.status == TRunStatus::NoRecording)
        return;

    FillGraphKinds();
    CbxGraph->setCurrentIndex(0);
    _NPausMI->setEnabled(true);
    if (!result.CaptionSuffix.empty()) {
        // A second run of the same recording must not append the date twice.
        QString title = windowTitle();
        if (!runSuffix_.isEmpty()) {
            const qsizetype at = title.lastIndexOf(runSuffix_);
            if (at >= 0)
                title.truncate(at);
        }
        runSuffix_ = fromStd(result.CaptionSuffix);
        setCaption(title + runSuffix_);
    }
    if (CfgDfm->TypeFile != 1) // data files bring their own revolution count, set when they were opened
        RevCount = result.RevCount;
    if (Memo && _NReport->isChecked())
        Memo->setPlainText(reportLines().join(QLatin1Char('\n'))); // the report on show is the new one
    ShowNewResults();

    NSavePairs->clear();
    NSaveSlices->clear();
    runPairs_ = result.CheckedPairs;
    runTickPeriod_ = result.TickPeriod;
    _NSaveRun->setEnabled(true);
    for (const auto &[stage, pair] : result.CheckedPairs) {
        const QString name = fromStd(
            CfgDfm->Stages[static_cast<std::size_t>(stage)].Pairs[static_cast<std::size_t>(pair)].NamePair);
        connect(NSavePairs->addAction(name), &QAction::triggered, this, [this, name] { NPairClick(name); });
        connect(NSaveSlices->addAction(name), &QAction::triggered, this, [this, name] { NsliceClick(name); });
    }
    _NStopMI->setEnabled(true);
    _NPausMI->setEnabled(true);
    _NResonances->setEnabled(true);
}

namespace {
// Both save commands: a data set for the pair the entry names.
void savePair(TMain &w, const QString &pairName, bool slice, MessageSink &messages, const FileChooser &choose)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    FileRequest request;
    request.mode = FileRequest::Mode::Save;
    request.caption = QString::fromUtf8(slice ? kSaveSliceTitle : kSavePairTitle);
    request.filter = QStringLiteral("файл данных|*.zami");
    request.defaultSuffix = QStringLiteral("zami");
    const QStringList names = choose(request);
    if (names.isEmpty())
        return;
    const auto at = FindPairByName(*w.CfgDfm, pairName.toStdString());
    if (!at)
        return;
    DataFileEnv env;
    env.numberFormat = w.fmt;
    const auto unit = w.ComboBox1->currentIndex() == 1 ? TSpeedUnit::suHz : TSpeedUnit::suRpm;
    const int kind = std::max(0, w.CbxGraph->currentIndex());
    w.BladeForm->Where->clear();
    w.BladeForm->Bar->setVisible(false);
    w.BladeForm->show();
    const TSaveProgress progress = [&w](std::string_view label) {
        if (!label.empty())
            w.BladeForm->Label2->setText(
                QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    try {
        const auto file = toPath(names.first());
        if (slice)
            SavePairSlice(*w.CfgDfm, *at, kind, unit, file, env, progress);
        else
            SavePairSeries(*w.CfgDfm, *at, kind, unit, file, env, progress);
    } catch (const std::exception &e) {
        messages.show({"Ошибка", e.what(), Buttons::Ok, Severity::Error});
    }
    w.BladeForm->hide();
}
} // namespace

void TMain::NSaveRunExecute()
{
    FileRequest request;
    request.mode = FileRequest::Mode::Save;
    request.caption = QStringLiteral("Сохранение всего расчёта");
    request.filter = QStringLiteral("файл HDF5|*.h5");
    request.defaultSuffix = QStringLiteral("h5");
    const QStringList names = chooseFile_(request);
    if (names.isEmpty())
        return;
    TRunHdf5Info info;
    info.ProgramVersion = VIBROLAN_VERSION;
    info.ConfigFile = toPath(CfgFileName);
    info.RecordingFile =
        CfgDfm->TypeFile == 1 ? std::filesystem::path() : std::filesystem::path(CfgDfm->FileName);
    info.TickPeriod = runTickPeriod_;
    std::copy_n(RevCount.begin(), info.RevCount.size(), info.RevCount.begin());
    info.Pairs = runPairs_;
    // The file carries the identification's tables too; the blade window
    // shows how far it has got, as during the run.
    BladeForm->show();
    const auto progressOf = [this](const QString &step) {
        return [this, step](std::int64_t done, std::int64_t total) {
            BladeForm->Label2->setText(step + QStringLiteral(" ") +
                                       QString::number(total > 0 ? 100 * done / total : 0) +
                                       QStringLiteral("%"));
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        };
    };
    identify::RunIdentificationProgress progress;
    progress.resonances = progressOf(QStringLiteral("Резонансы"));
    progress.asynchronous = progressOf(QStringLiteral("Асинхронные колебания"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        const identify::RunIdentification id = identify::IdentifyRun(*CfgDfm, progress);
        info.Identification = &id;
        SaveRunHdf5(*CfgDfm, info, toPath(names.first()));
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        BladeForm->hide();
        messages_->show({"Ошибка", e.what(), Buttons::Ok, Severity::Error});
        return;
    }
    QApplication::restoreOverrideCursor();
    BladeForm->hide();
}

void TMain::NPairClick(const QString &pairName) { savePair(*this, pairName, false, *messages_, chooseFile_); }
void TMain::NsliceClick(const QString &pairName) { savePair(*this, pairName, true, *messages_, chooseFile_); }

// Neither command has curves to work on yet (nothing fills them); they are
// enabled after a run and do nothing.
void TMain::_NStopMIExecute() {}
void TMain::_NPausMIExecute() {}

void TMain::_NTahoExecute()
{
    Chart1->clearAllSeries();
    if (_NTaho->isChecked()) {
        _NTaho->setChecked(false);
        if (_NReport->isChecked()) {
            _NReportExecute();
        } else if (!NoResults) {
            for (int g = 0; g < 4; ++g)
                if (ChbxGraph[g]->isChecked())
                    CbxNameChange(g);
        }
        return;
    }
    if (TachoPending) {
        _NTaho->setChecked(true);
        if (!CfgDfm->FileName.empty()) {
            {
                const int stages = std::min<int>(CfgDfm->CountStage, kMaxStages);
                for (int s = 0; s < stages; ++s) {
                    std::vector<float> times, speeds;
                    ProgressForm->setWindowTitle(QStringLiteral("Расчет частоты вращения"));
                    ProgressForm->show();
                    try {
                        if (TachoRead)
                            TachoRead(*CfgDfm, s, times, speeds);
                    } catch (const std::exception &e) {
                        messages_->show({"Тахо", e.what(), Buttons::Ok, Severity::Error});
                    }
                    ProgressForm->hide();
                    RevCount[static_cast<std::size_t>(s)] = static_cast<std::uint32_t>(times.size());
                    PlotArrays(*Chart1, s, times, speeds);
                    if (!times.empty()) {
                        XMin = times.front();
                        XMax = times.back();
                    }
                    XAuto = true;
                }
                YMin = Chart1->axisMin(ChartAxis::Y);
                YMax = Chart1->axisMax(ChartAxis::Y);
                YAuto = true;
                CbxNmScale->setCurrentIndex(0);
                ChbxAuto->setChecked(true);
                EdMin->setText(num2(XMin));
                EdMax->setText(num2(XMax));
                Cursor1->SetXAxisValue(static_cast<float>(CursorIndex1));
                Cursor2->SetXAxisValue(static_cast<float>(CursorIndex1));
                RefreshReadouts();
            }
        }
        TachoPending = false;
        return;
    }
    _NTaho->setChecked(true);
    const double divisor = FrequencyDivisor(ComboBox1->currentIndex());
    const int stages = std::min<int>(CfgDfm->CountStage, kMaxStages);
    for (int s = 0; s < stages; ++s) {
        if (RevCount[static_cast<std::size_t>(s)] == 0)
            continue;
        const TStage &st = CfgDfm->Stages[static_cast<std::size_t>(s)];
        for (const TPair &p : st.Pairs) {
            if (!p.Checked)
                continue;
            const std::size_t n =
                std::min({static_cast<std::size_t>(std::max(0, p.Size)), p.Time.size(), p.Freq.size()});
            std::vector<float> y(n);
            for (std::size_t i = 0; i < n; ++i)
                y[i] = static_cast<float>(p.Freq[i] / divisor);
            PlotArrays(*Chart1, s, std::span<const float>(p.Time.data(), n), y);
            break;
        }
    }
    if (_NReport->isChecked()) {
        if (Memo)
            Memo->hide();
        ChartArea->setCurrentWidget(Chart1);
        _NReport->setChecked(false);
    }
    Chart1->setAxisTitle(ChartAxis::Y, ComboBox1->currentText());
    Chart1->setAxisTitle(ChartAxis::X, QStringLiteral("sec"));
}

} // namespace vibrolan::app
