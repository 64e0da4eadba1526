// The menu commands of the main window.
#include "window/main_window.hpp"

#include "base/errors.hpp"
#include "base/number_text.hpp"
#include "chart/chart.hpp"
#include "chart/plot_curve.hpp"
#include "config/cfg_dump.hpp"
#include "cursor/my_cursor.hpp"
#include "plots/graph_kinds.hpp"
#include "windows/about_dlg.hpp"
#include "windows/float_edit.hpp"
#include "windows/placeholder_dialog.hpp"
#include "windows/progress_form.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
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
    Memo->setPlainText(reportLines.join(QLatin1Char('\n')));
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
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty() || reportLines.isEmpty())
        return;
    const QString name = QFileInfo(dlg.selectedFiles().first()).path() + QLatin1Char('/') +
                         QFileInfo(dlg.selectedFiles().first()).completeBaseName() + QStringLiteral(".txt");
    messages_->show({"Отчет", "Запись отчета в " + name.toStdString() + " ещё не подключена", Buttons::Ok,
                     Severity::Warning});
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
    const QString name = dlg.selectedFiles().first();
    Chart1->clearAllSeries();
    if (name.contains(QStringLiteral("BLD")) || name.contains(QStringLiteral("bld"))) {
        CfgDfm->TypeFile = 0;
        CfgDfm->FileName = name.toStdString();
        _NGeneralExecute();
        return;
    }
    messages_->show({"Открыть", "Чтение файлов данных ещё не подключено", Buttons::Ok, Severity::Warning});
}

void TMain::_NStartMIExecute()
{
    Chart1->clearAllSeries();
    if (CfgDfm->FileName.empty() || !std::filesystem::exists(toPath(fromStd(CfgDfm->FileName)))) {
        messages_->show({"Файл данных не найден", "где обр.файл....", Buttons::Ok, Severity::Error});
        return;
    }
    messages_->show(
        {"Старт", "Обработка записи в этой сборке ещё не подключена", Buttons::Ok, Severity::Warning});
}

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
            if (!TachoRead) {
                messages_->show({"Тахо", "Расчет частоты вращения по записи ещё не подключен", Buttons::Ok,
                                 Severity::Warning});
            } else {
                const int stages = std::min<int>(CfgDfm->CountStage, kMaxStages);
                for (int s = 0; s < stages; ++s) {
                    std::vector<float> times, speeds;
                    ProgressForm->setWindowTitle(QStringLiteral("Расчет частоты вращения"));
                    ProgressForm->show();
                    try {
                        TachoRead(*CfgDfm, s, times, speeds);
                    } catch (const Error &e) {
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
