// The menu commands of the main window.
#include "window/main_window.hpp"

#include "base/errors.hpp"
#include "base/number_text.hpp"
#include "chart/chart.hpp"
#include "chart/plot_curve.hpp"
#include "config/cfg_dump.hpp"
#include "cursor/my_cursor.hpp"
#include "export/data_file_input.hpp"
#include "export/pair_save.hpp"
#include "output/report.hpp"
#include "plots/graph_kinds.hpp"
#include "run/processing_run.hpp"
#include "run/tacho_read.hpp"
#include "windows/about_dlg.hpp"
#include "windows/blade_form.hpp"
#include "windows/float_edit.hpp"
#include "windows/placeholder_dialog.hpp"
#include "windows/progress_form.hpp"
#include "windows/waiting_form.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStackedWidget>
#include <QUrl>

#include <filesystem>

namespace vibrolan::app {

namespace {
std::filesystem::path toPath(const QString &s) { return std::filesystem::path(s.toStdU16String()); }
QString fromStd(const std::string &s) { return QString::fromStdString(s); }
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
    // The general configuration editor is a stand-in for now: it shows the
    // configuration it would edit and leaves it unchanged.
    PlaceholderDialog dlg(this, QStringLiteral("Общая настройка"), fromStd(DescribeCfgDfm(*CfgDfm)));
    dlg.setWindowTitle(QStringLiteral("Настройка - ") + CfgFileName);
    if (dlg.exec() == QDialog::Accepted)
        FillGraphKinds();
    setCaption(QStringLiteral("Анализ вибрации лопаточного аппарата - ") + fromStd(CfgDfm->FileName));
    _NStartMI->setEnabled(true);
}

void TMain::_NCfgFreeExecute()
{
    PlaceholderDialog dlg(this, QStringLiteral("Свободная ступень"), fromStd(DescribeCfgDfm(*CfgDfm)));
    dlg.setWindowTitle(QStringLiteral("Настройка - ") + CfgFileName);
    dlg.exec();
}

void TMain::_NCfgShroudedExecute()
{
    PlaceholderDialog dlg(this, QStringLiteral("Бандажированная ступень"), fromStd(DescribeCfgDfm(*CfgDfm)));
    dlg.setWindowTitle(QStringLiteral("Настройка - ") + CfgFileName);
    dlg.exec();
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
    PlaceholderDialog dlg(
        this, QStringLiteral("Калькулятор"),
        QStringLiteral("Участок: точки %1 … %2").arg(Cursor1->ValueIndex()).arg(Cursor2->ValueIndex()));
    dlg.setWindowTitle(QStringLiteral("Калькулятор"));
    dlg.exec();
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
    QFileDialog dlg(this, QStringLiteral("Сохранение текстового отчета"),
                    QFileInfo(fromStd(CfgDfm->FileName)).absolutePath());
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setNameFilters({QStringLiteral("Текст(*.txt)"), QStringLiteral("Все(*.*)")});
    dlg.selectNameFilter(QStringLiteral("Все(*.*)"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty() || !Report ||
        Report->LineCount() == 0)
        return;
    const QFileInfo chosen(dlg.selectedFiles().first());
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
    QFileDialog dlg(this);
    dlg.setFileMode(QFileDialog::ExistingFiles);
    dlg.setNameFilters({QStringLiteral("Файл записи вибрации (.BLD)(*.BLD *.bld)"),
                        QStringLiteral("Файл ПРКС(.PRX)(*.PRX *.prx)"),
                        QStringLiteral("Файл ПРКС(.zami)(*.zami *ZAMI)")});
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return;
    const QStringList names = dlg.selectedFiles();
    Chart1->clearAllSeries();
    // Data files first (a recording keeps its position unused), then the
    // recording, exactly in the order the user selected them.
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
    if (name.contains(QStringLiteral("BLD")) || name.contains(QStringLiteral("bld"))) {
        CfgDfm->TypeFile = 0;
        CfgDfm->FileName = name.toStdString();
        // The general dialog maps the recording's channels; until it comes,
        // the command ends like the dialog: "Старт" is enabled.
        _NGeneralExecute();
        return;
    }
    _NStartMI->setEnabled(true);
}

void TMain::PassProgress(std::int64_t Total, std::int64_t Position, double Time, double Speed,
                         double Distance)
{
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    ProgressForm->Freq->setText(FormatFixed(Speed, 6, 3, fmt));
    ProgressForm->Time->setText(FormatFixed(Time, 6, 3, fmt));
    ProgressForm->LbDist->setText(FormatFixed(Distance, 6, 2, fmt));
    const int total = static_cast<int>(std::clamp<std::int64_t>(Total, 0, INT32_MAX));
    ProgressForm->ProgressBar1->setMaximum(total);
    const std::int64_t every = Total / 200;
    if (every == 0 || Position % every == 0)
        ProgressForm->ProgressBar1->setValue(static_cast<int>(std::clamp<std::int64_t>(Position, 0, total)));
}

void TMain::BladeProgress(std::uint16_t blade)
{
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    BladeForm->Label2->setText(QString::number(blade));
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
    cb.blade = [this](std::uint16_t b) { BladeProgress(b); };
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
    try {
        result = ProcessingRun(*CfgDfm, inputs, *messages_, fmt, cb);
    } catch (const std::exception &e) {
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
    for (const auto &[stage, pair] : result.CheckedPairs) {
        const QString name = fromStd(
            CfgDfm->Stages[static_cast<std::size_t>(stage)].Pairs[static_cast<std::size_t>(pair)].NamePair);
        connect(NSavePairs->addAction(name), &QAction::triggered, this, [this, name] { NPairClick(name); });
        connect(NSaveSlices->addAction(name), &QAction::triggered, this, [this, name] { NsliceClick(name); });
    }
    _NStopMI->setEnabled(true);
    _NPausMI->setEnabled(true);
}

namespace {
// Both save commands: a data set for the pair the entry names.
void savePair(TMain &w, const QString &pairName, bool slice, MessageSink &messages)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    QFileDialog dlg(&w, QString::fromUtf8(slice ? kSaveSliceTitle : kSavePairTitle));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setNameFilter(QStringLiteral("файл данных (*.zami)"));
    dlg.setDefaultSuffix(QStringLiteral("zami"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return;
    const auto at = FindPairByName(*w.CfgDfm, pairName.toStdString());
    if (!at)
        return;
    DataFileEnv env;
    env.numberFormat = w.fmt;
    const auto unit = w.ComboBox1->currentIndex() == 1 ? TSpeedUnit::suHz : TSpeedUnit::suRpm;
    const int kind = std::max(0, w.CbxGraph->currentIndex());
    w.BladeForm->show();
    const TSaveProgress progress = [&w](std::string_view label) {
        if (!label.empty())
            w.BladeForm->Label2->setText(
                QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    try {
        const auto file = toPath(dlg.selectedFiles().first());
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

void TMain::NPairClick(const QString &pairName) { savePair(*this, pairName, false, *messages_); }
void TMain::NsliceClick(const QString &pairName) { savePair(*this, pairName, true, *messages_); }

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
