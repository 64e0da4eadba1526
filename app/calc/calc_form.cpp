#include "calc/calc_form.hpp"

#include "base/number_text.hpp"
#include "compute/natural_frequency.hpp"
#include "config/cfg_dfm.hpp"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vibrolan::app {

TCalcForm::TCalcForm(TCfgDfm *cfg, const NumberFormat &fmt, QWidget *owner, FileChooser chooser)
    : QWidget(owner, Qt::Window), fCfgDfm(cfg), FS(fmt), chooser_(std::move(chooser)), results_(kMaxStages)
{
    setWindowTitle(QStringLiteral("Калькулятор"));
    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    TabFrequency = new QWidget;
    TabNodal = new QWidget;
    TabSlip = new QWidget;
    Pages->addTab(TabFrequency, QStringLiteral("круговая частота автоколебаний"));
    Pages->addTab(TabNodal, QStringLiteral("число узловых диаметров"));
    Pages->addTab(TabSlip, QStringLiteral("проскальзывание"));
    BuildFrequencyPage();
    BuildNodalPage();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Pages);
    resize(720, 560);
}

void TCalcForm::BuildFrequencyPage()
{
    CbxStage = new QComboBox;
    CbxPair1 = new QComboBox;
    CbxPair2 = new QComboBox;
    CbxAcos = new QComboBox;
    CbxAcos->addItems({QStringLiteral("использовать гл.  значение"),
                       QStringLiteral("использовать 1-е доп. значение"),
                       QStringLiteral("использовать 2-е доп. значение")});
    CbxAcos->setCurrentIndex(0);
    LblMeanFreq = new QLabel(QStringLiteral("Средняя частота = "));
    LblStartIndex = new QLabel(QStringLiteral("Начальный индекс = "));
    LblEndIndex = new QLabel(QStringLiteral("Конечный индекс = "));
    LblDFi = new QLabel(QStringLiteral("Угол между парами "));
    BtnCalcP = new QPushButton(QStringLiteral("Рассчитать P[i]"));
    BtnSave = new QPushButton(QStringLiteral("Сохранить как..."));
    BtnSave->setEnabled(false); // nothing to save before the first table
    SgGrd1 = new QTableWidget(0, 5);
    SgGrd1->horizontalHeader()->hide();
    SgGrd1->verticalHeader()->hide();
    SgGrd1->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto *stageRow = new QHBoxLayout;
    stageRow->addWidget(new QLabel(QStringLiteral("Ступень")));
    stageRow->addWidget(CbxStage, 1);
    stageRow->addWidget(LblMeanFreq, 1);
    auto *pairRow = new QHBoxLayout;
    pairRow->addWidget(new QLabel(QStringLiteral("Пара 1")));
    pairRow->addWidget(CbxPair1, 1);
    pairRow->addWidget(new QLabel(QStringLiteral("Пара 2")));
    pairRow->addWidget(CbxPair2, 1);
    pairRow->addWidget(LblDFi, 1);
    auto *indexRow = new QHBoxLayout;
    indexRow->addWidget(LblStartIndex);
    indexRow->addWidget(LblEndIndex);
    indexRow->addStretch();
    auto *commandRow = new QHBoxLayout;
    commandRow->addWidget(CbxAcos, 1);
    commandRow->addWidget(BtnCalcP);
    commandRow->addWidget(BtnSave);
    auto *page = new QVBoxLayout(TabFrequency);
    page->addLayout(stageRow);
    page->addLayout(pairRow);
    page->addLayout(indexRow);
    page->addLayout(commandRow);
    page->addWidget(SgGrd1, 1);

    connect(CbxStage, &QComboBox::currentIndexChanged, this, [this] { CbxStageChange(); });
    connect(CbxPair1, &QComboBox::currentIndexChanged, this, [this] { dFiCalcExecute(); });
    connect(CbxPair2, &QComboBox::currentIndexChanged, this, [this] { dFiCalcExecute(); });
    connect(BtnCalcP, &QPushButton::clicked, this, [this] { BtnCalcPClick(); });
    connect(BtnSave, &QPushButton::clicked, this, [this] { BtnSaveClick(); });
}

void TCalcForm::BuildNodalPage()
{
    CbxStage1 = new QComboBox;
    CbxPair3 = new QComboBox;
    LblMeanFreq1 = new QLabel(QStringLiteral("Средняя частота = "));
    ValueListEditor1 = new QTableWidget(0, 2);
    ValueListEditor1->horizontalHeader()->hide();
    ValueListEditor1->verticalHeader()->hide();
    ValueListEditor1->horizontalHeader()->setStretchLastSection(true);
    CheckListBox1 = new QListWidget;
    BtnCalcM = new QPushButton(QStringLiteral("Считать М"));
    BtnCalcM->setEnabled(false);
    LblM1 = new QLabel(QStringLiteral("m1="));
    LblM2 = new QLabel(QStringLiteral("m2="));
    LblM = new QLabel(QStringLiteral("m="));

    auto *stageRow = new QHBoxLayout;
    stageRow->addWidget(new QLabel(QStringLiteral("Ступень")));
    stageRow->addWidget(CbxStage1, 1);
    stageRow->addWidget(new QLabel(QStringLiteral("Пара")));
    stageRow->addWidget(CbxPair3, 1);
    stageRow->addWidget(LblMeanFreq1, 1);
    auto *lists = new QHBoxLayout;
    lists->addWidget(ValueListEditor1, 1);
    lists->addWidget(CheckListBox1, 1);
    auto *resultRow = new QHBoxLayout;
    resultRow->addWidget(BtnCalcM);
    resultRow->addWidget(LblM1, 1);
    resultRow->addWidget(LblM2, 1);
    resultRow->addWidget(LblM, 1);
    auto *page = new QVBoxLayout(TabNodal);
    page->addLayout(stageRow);
    page->addLayout(lists, 1);
    page->addLayout(resultRow);

    connect(CbxStage1, &QComboBox::currentIndexChanged, this, [this] { CbxStage1Change(); });
    connect(ValueListEditor1, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *) {
        if (!filling_)
            ValueListEditor1Validate();
    });
    connect(BtnCalcM, &QPushButton::clicked, this, [this] { BtnCalcMClick(); });
}

void TCalcForm::SetIndexes(int startIndex, int endIndex)
{
    startIndex_ = std::max(startIndex, 0);
    endIndex_ = std::max(endIndex, 0);
}

std::vector<float> TCalcForm::StageResult(int stage) const
{
    if (stage < 0 || static_cast<std::size_t>(stage) >= results_.size())
        return {};
    return results_[static_cast<std::size_t>(stage)];
}

int TCalcForm::StageCount() const
{
    return fCfgDfm ? static_cast<int>(std::min<std::size_t>(fCfgDfm->CountStage, fCfgDfm->Stages.size())) : 0;
}

int TCalcForm::BladeCount(const TStage &stage)
{
    return static_cast<int>(std::min<std::size_t>(stage.CountBlade, kMaxBlades));
}

QString TCalcForm::Fixed(double v, int precision, int decimals) const
{
    return FormatFixed(v, precision, decimals, FS);
}

void TCalcForm::FillPairs(QComboBox *box, std::vector<int> &map, int s)
{
    // Every enabled pair is listed, however many there are.
    const QSignalBlocker block(box);
    box->clear();
    map.clear();
    const TStage &stage = fCfgDfm->Stages[static_cast<std::size_t>(s)];
    const int count = std::min<int>(stage.CountPairs, static_cast<int>(stage.Pairs.size()));
    for (int p = 0; p < count; ++p) {
        const TPair &pair = stage.Pairs[static_cast<std::size_t>(p)];
        if (!pair.Checked)
            continue;
        box->addItem(QString::fromStdString(pair.NamePair));
        map.push_back(p);
    }
    box->setCurrentIndex(map.empty() ? -1 : 0);
}

int TCalcForm::ChosenPair(const QComboBox *box, const std::vector<int> &map) const
{
    const int i = box->currentIndex();
    return i >= 0 && static_cast<std::size_t>(i) < map.size() ? map[static_cast<std::size_t>(i)] : -1;
}

void TCalcForm::UpdateMeanRpm(int s, QLabel *label)
{
    // Without a rotation-speed series the last mean is kept.
    if (const auto mean = MeanRotation(fCfgDfm->Stages[static_cast<std::size_t>(s)].Pairs[0]))
        meanRpm_ = static_cast<float>(*mean);
    label->setText(QStringLiteral("Средняя частота = ") + Fixed(meanRpm_ / 60.0, 6, 2));
}

void TCalcForm::FormShow()
{
    if (!fCfgDfm)
        return;
    const bool steady = fCfgDfm->Mode == TMode::mdStatic;
    Pages->setTabVisible(0, steady);
    Pages->setTabVisible(1, false);
    Pages->setTabVisible(2, false);
    if (!steady)
        return;
    Pages->setCurrentIndex(0);
    for (QComboBox *box : {CbxStage, CbxStage1}) {
        const QSignalBlocker block(box);
        box->clear();
        for (int s = 0; s < StageCount(); ++s)
            box->addItem(QString::fromStdString(fCfgDfm->Stages[static_cast<std::size_t>(s)].NameStage));
        box->setCurrentIndex(-1);
    }
    for (std::size_t s = 0; s < results_.size(); ++s)
        results_[s].resize(static_cast<std::size_t>(BladeCount(fCfgDfm->Stages[s])) + 1, 0.0f);
}

void TCalcForm::FormClose() { hide(); }

void TCalcForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) // not when restored from the task bar
        FormShow();
}

void TCalcForm::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
}

} // namespace vibrolan::app
