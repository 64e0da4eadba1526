// The first page: the frequency table from the phase between two pairs.
#include "base/code_pages.hpp"
#include "base/file_io.hpp"
#include "base/number_text.hpp"
#include "base/qt_message_sink.hpp"
#include "calc/calc_form.hpp"
#include "calc/calc_texts.hpp"
#include "compute/natural_frequency.hpp"
#include "config/cfg_dfm.hpp"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

#include <algorithm>
#include <exception>

namespace vibrolan::app {

QString WithTxtExtension(const QString &name)
{
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot > slash ? name.left(dot) : name) + QStringLiteral(".txt");
}

void TCalcForm::SetCell(int row, int col, const QString &text)
{
    if (QTableWidgetItem *item = SgGrd1->item(row, col))
        item->setText(text);
    else
        SgGrd1->setItem(row, col, new QTableWidgetItem(text));
}

void TCalcForm::FillGridFrame(int n)
{
    // A table of another stage would read as this one's: start from empty cells.
    SgGrd1->clearContents();
    SgGrd1->setRowCount(n + 3);
    for (int r = 0; r < n + 3; ++r)
        for (int c = 0; c < 5; ++c)
            SetCell(r, c, QString());
    SetCell(0, 0, QStringLiteral("№ лопатки"));
    const QString heads[] = {QStringLiteral("гл.зн.аркос"), QStringLiteral("1-е доп.зн.аркос"),
                             QStringLiteral("2-е доп.зн.аркос"), QStringLiteral("3-е доп.зн.аркос")};
    for (int c = 1; c <= 4; ++c) {
        SetCell(0, c, QStringLiteral("частота,Гц"));
        SetCell(1, c, heads[c - 1]);
    }
    for (int b = 1; b <= n; ++b)
        SetCell(b + 1, 0, QString::number(b));
    SetCell(n + 2, 0, QStringLiteral(" Среднее "));
}

void TCalcForm::CbxStageChange()
{
    const int s = CbxStage->currentIndex();
    if (!fCfgDfm || s < 0 || s >= StageCount())
        return;
    const int n = BladeCount(fCfgDfm->Stages[static_cast<std::size_t>(s)]);

    FillGridFrame(n);
    UpdateMeanRpm(s, LblMeanFreq);
    LblStartIndex->setText(QStringLiteral("Начальный индекс = ") + QString::number(startIndex_));
    LblEndIndex->setText(QStringLiteral("Конечный индекс = ") + QString::number(endIndex_));

    FillPairs(CbxPair1, pairMap1_, s);
    FillPairs(CbxPair2, pairMap2_, s);

    dFi_ = 0;
    LblDFi->setText(QStringLiteral("Угол между парами ") + Fixed(dFi_, 6, 2));
}

std::optional<TCalcForm::ChosenPairs> TCalcForm::Chosen() const
{
    const int s = CbxStage->currentIndex();
    const int p1 = ChosenPair(CbxPair1, pairMap1_);
    const int p2 = ChosenPair(CbxPair2, pairMap2_);
    if (!fCfgDfm || s < 0 || s >= StageCount() || p1 < 0 || p2 < 0)
        return std::nullopt;
    const TStage &stage = fCfgDfm->Stages[static_cast<std::size_t>(s)];
    return ChosenPairs{s, stage, stage.Pairs[static_cast<std::size_t>(p1)],
                       stage.Pairs[static_cast<std::size_t>(p2)]};
}

void TCalcForm::dFiCalcExecute()
{
    const auto chosen = Chosen();
    if (!chosen)
        return;
    dFi_ = chosen->second.fi - chosen->first.fi;
    LblDFi->setText(QStringLiteral("Угол между парами ") + Fixed(dFi_, 6, 2));
}

void TCalcForm::BtnCalcPClick()
{
    const auto chosen = Chosen();
    if (!chosen)
        return;
    const int s = chosen->index;
    const int n = BladeCount(chosen->stage);
    const auto table = FrequencyTable(chosen->first, chosen->second, static_cast<std::size_t>(n),
                                      {dFi_, meanRpm_, startIndex_, endIndex_});
    if (!table)
        return; // no angle between the pairs, or too few samples

    // The labels show the stretch actually read.
    const auto first = static_cast<qulonglong>(table->first);
    const auto last =
        static_cast<qulonglong>(table->fromCursors ? table->first + table->length : table->length);
    LblStartIndex->setText(QStringLiteral("Начальный индекс = ") + QString::number(first));
    LblEndIndex->setText(QStringLiteral("Конечный индекс = ") + QString::number(last));

    if (SgGrd1->rowCount() != n + 3) // the blade count changed since the stage was chosen
        FillGridFrame(n);
    for (int b = 0; b < n; ++b) {
        const TBladeFrequencies &row = table->blades[static_cast<std::size_t>(b)];
        for (int c = 0; c < 4; ++c)
            SetCell(b + 2, c + 1, row.r ? Fixed(row.f[static_cast<std::size_t>(c)], 11, 1) : NoDataText());
    }
    for (int c = 0; c < 4; ++c) {
        const TColumnStats &col = table->columns[static_cast<std::size_t>(c)];
        QString text;
        if (col.count == 0)
            text = NoDataText();
        else if (col.mean == 0) // no relative spread around 0
            text = Fixed(col.mean, 7, 1);
        else
            text = Fixed(col.mean, 7, 1) + QStringLiteral("  ") + QStringLiteral("±") +
                   Fixed(100 * col.rms / col.mean, 4, 1) + QStringLiteral("%");
        SetCell(n + 2, c + 1, text);
    }

    const int acos = std::clamp(CbxAcos->currentIndex(), 0, 2);
    results_[static_cast<std::size_t>(s)] = table->ResultArray(static_cast<std::size_t>(acos));

    tableLines_.clear();
    for (int r = 0; r < SgGrd1->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 5; ++c)
            cells << (SgGrd1->item(r, c) ? SgGrd1->item(r, c)->text() : QString());
        tableLines_ << cells.join(QStringLiteral("\t\t"));
    }
    BtnSave->setEnabled(true);
    Pages->setTabVisible(1, true);
}

void TCalcForm::BtnSaveClick()
{
    if (tableLines_.isEmpty())
        return;
    FileRequest request;
    request.mode = FileRequest::Mode::Save;
    request.caption = QStringLiteral("Сохранить как...");
    request.filter = QStringLiteral("Text files (*.txt)|*.TXT");
    request.defaultSuffix = QStringLiteral("txt");
    if (fCfgDfm && !fCfgDfm->FileName.empty())
        request.directory = QFileInfo(QString::fromStdString(fCfgDfm->FileName)).absolutePath();
    const QStringList names = ChooserOrDialog(chooser_, this)(request);
    if (names.isEmpty())
        return;
    const QString name = WithTxtExtension(names.first());
    // One line per grid row, CR LF, in the 8-bit code page like the
    // program's other text files.
    std::string text;
    for (const QString &line : tableLines_)
        text += line.toStdString() + "\r\n";
    try {
        writeFileAtomically(QFile::encodeName(name).toStdString(), utf8ToCp1251(text));
    } catch (const std::exception &e) {
        ShowError(this, e);
    }
}

} // namespace vibrolan::app
