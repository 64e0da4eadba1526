#include "cfg_stage/cfg_bandag_dlg.hpp"

#include "base/qt_message_sink.hpp"
#include "cfg_stage/stage_numbers.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vibrolan::app {

namespace {

const char *const kConstCaptions[9] = {
    "f2 : ", "f3 : ", "f4 : ", "g1 : ", "g2 : ", "g3 : ", "g4 : ", "h1 : ", "h4 : "};

std::array<float *, 9> ConstFields(TCfgDfm &cfg)
{
    return {&cfg.f2, &cfg.f3, &cfg.f4, &cfg.g1, &cfg.g2, &cfg.g3, &cfg.g4, &cfg.h1, &cfg.h4};
}

QLineEdit *AddRow(QFormLayout *form, const char *caption, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    form->addRow(QString::fromUtf8(caption), e);
    return e;
}

} // namespace

TCfgBandagDlg::TCfgBandagDlg(QWidget *parent, const NumberFormat &regional, MessageSink *messages)
    : QDialog(parent), regional_(regional),
      ownSink_(messages ? nullptr : std::make_unique<QtMessageSink>(this)),
      messages_(messages ? messages : ownSink_.get()), records_(regional_, *messages_)
{
    setWindowTitle(QStringLiteral("Настройка бандажированных ступеней "));

    // Per-stage part: selector, harmonics and the five values of the selected stage.
    auto *stageBox = new QGroupBox(this);
    auto *stageForm = new QFormLayout;
    CbxStage = new QComboBox(stageBox);
    stageForm->addRow(QStringLiteral("Имя ступени : "), CbxStage);
    EdtLimStill = AddRow(stageForm, "Доп. cрыв. : ", stageBox);
    EdtLimResonance = AddRow(stageForm, "Доп. рез. : ", stageBox);
    EdtCfStill = AddRow(stageForm, "g5 : ", stageBox);
    EdtCfResonance = AddRow(stageForm, "h5 : ", stageBox);
    Edtf1 = AddRow(stageForm, "f1, мм :  ", stageBox);
    BtnSet = new QPushButton(QStringLiteral("Установить"), stageBox);
    stageForm->addRow(QString(), BtnSet);

    LstHarm = new QTreeWidget(stageBox);
    LstHarm->setColumnCount(2);
    LstHarm->setHeaderLabels({QStringLiteral("№"), QStringLiteral("Гармоника")});
    LstHarm->setRootIsDecorated(false);
    LstHarm->setSelectionMode(QAbstractItemView::SingleSelection);
    auto *harmForm = new QFormLayout;
    EdtHarm = AddRow(harmForm, "Гармоника : ", stageBox);
    auto *harmButtons = new QHBoxLayout;
    BtnAdd = new QPushButton(QStringLiteral("Добавить "), stageBox);
    BtnDelete = new QPushButton(QStringLiteral("Удалить"), stageBox);
    harmButtons->addWidget(BtnAdd);
    harmButtons->addWidget(BtnDelete);
    auto *harmColumn = new QVBoxLayout;
    harmColumn->addWidget(LstHarm);
    harmColumn->addLayout(harmForm);
    harmColumn->addLayout(harmButtons);
    auto *stageRow = new QHBoxLayout(stageBox);
    stageRow->addLayout(stageForm);
    stageRow->addLayout(harmColumn);

    // Machine constants and correction files, common to all shrouded stages.
    auto *constBox = new QGroupBox(this);
    auto *constGrid = new QGridLayout(constBox);
    for (std::size_t i = 0; i < EdtConst.size(); ++i) {
        EdtConst[i] = new QLineEdit(constBox);
        const int row = static_cast<int>(i % 5), col = static_cast<int>(i / 5) * 2;
        constGrid->addWidget(new QLabel(QString::fromUtf8(kConstCaptions[i]), constBox), row, col);
        constGrid->addWidget(EdtConst[i], row, col + 1);
    }
    auto *filesBox = new QGroupBox(this);
    auto *filesForm = new QFormLayout(filesBox);
    EdtNmPopravk = AddRow(filesForm, "Поправочных к-тов :", filesBox);
    EdtNmSnom = AddRow(filesForm, "Ухода смещения : ", filesBox);
    EdtNmXnom = AddRow(filesForm, "Пред. отклонения : ", filesBox);

    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));

    auto *main = new QVBoxLayout(this);
    main->addWidget(stageBox);
    main->addWidget(constBox);
    main->addWidget(filesBox);
    main->addWidget(Buttons);

    connect(CbxStage, &QComboBox::currentIndexChanged, this, &TCfgBandagDlg::CbxStageChange);
    connect(BtnSet, &QPushButton::clicked, this, [this] { BtnSetClick(); });
    connect(BtnAdd, &QPushButton::clicked, this, [this] { BtnAddClick(); });
    connect(BtnDelete, &QPushButton::clicked, this, [this] { BtnDeleteClick(); });
    connect(Buttons, &QDialogButtonBox::accepted, this, &TCfgBandagDlg::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &TCfgBandagDlg::reject);
}

TCfgBandagDlg::~TCfgBandagDlg() = default;

void TCfgBandagDlg::SetCfgDfm(TCfgDfm &cfg) { cfg_ = &cfg; }

void TCfgBandagDlg::ReadData(TCfgDfm &cfg)
{
    records_.Load(cfg);
    {
        const QSignalBlocker block(CbxStage);
        CbxStage->clear();
        for (const TBandagRecord &r : records_.Items())
            CbxStage->addItem(QString::fromStdString(r.Name));
        CbxStage->setCurrentIndex(records_.Items().empty() ? -1 : 0);
    }
    CbxStageChange(CbxStage->currentIndex());

    const TBandagRecord *first = records_.SelectedRecord();
    EdtHarm->setText(first && first->CountHarm > 0 ? QString::number(first->OrderHarm[0]) : QString());
    EdtNmPopravk->setText(QString::fromStdString(cfg.NmPopravk));
    EdtNmSnom->setText(QString::fromStdString(cfg.NmSnom));
    EdtNmXnom->setText(QString::fromStdString(cfg.NmXnom));

    // The opening values are written with "." whatever the regional format;
    // the five per-stage editors show stage 0 until another stage is chosen.
    const NumberFormat dot = dialogNumberFormat();
    const auto consts = ConstFields(cfg);
    for (std::size_t i = 0; i < EdtConst.size(); ++i)
        EdtConst[i]->setText(SingleText(*consts[i], dot));
    const TStage &s0 = cfg.Stages[0];
    SetStressEditors({SingleText(s0.LimStressStill, dot), SingleText(s0.LimStressResonance, dot),
                      SingleText(s0.CfStill, dot), SingleText(s0.CfResonance, dot), SingleText(s0.f1, dot)});
}

void TCfgBandagDlg::WriteData(TCfgDfm &cfg)
{
    const NumberFormat dot = dialogNumberFormat();
    cfg.Stages[0].Q = 1.0f;
    cfg.NmPopravk = EdtNmPopravk->text().toStdString();
    cfg.NmSnom = EdtNmSnom->text().toStdString();
    cfg.NmXnom = EdtNmXnom->text().toStdString();
    const auto consts = ConstFields(cfg);
    for (std::size_t i = 0; i < EdtConst.size(); ++i)
        *consts[i] = ReadSingleOrZero(EdtConst[i]->text(), dot);
    records_.Store(cfg);
}

void TCfgBandagDlg::CbxStageChange(int index)
{
    SetStressEditors(records_.Select(index));
    ShowHarmonics();
}

bool TCfgBandagDlg::BtnSetClick() { return records_.Set(StressEditors()); }

bool TCfgBandagDlg::BtnAddClick()
{
    if (!records_.Add(EdtHarm->text()))
        return false;
    ShowHarmonics();
    return true;
}

bool TCfgBandagDlg::BtnDeleteClick()
{
    const QList<QTreeWidgetItem *> selected = LstHarm->selectedItems();
    if (selected.isEmpty() || !records_.Remove(LstHarm->indexOfTopLevelItem(selected.front())))
        return false;
    ShowHarmonics();
    return true;
}

void TCfgBandagDlg::accept()
{
    if (cfg_)
        WriteData(*cfg_);
    QDialog::accept();
}

void TCfgBandagDlg::done(int r)
{
    QDialog::done(r);
    // The working records live only while the editor is open.
    records_.Clear();
    const QSignalBlocker block(CbxStage);
    CbxStage->clear();
    LstHarm->clear();
}

void TCfgBandagDlg::ShowHarmonics()
{
    LstHarm->clear();
    const TBandagRecord *r = records_.SelectedRecord();
    if (!r)
        return;
    for (std::int32_t i = 0; i < r->CountHarm; ++i)
        LstHarm->addTopLevelItem(new QTreeWidgetItem(
            {QString::number(i + 1), QString::number(r->OrderHarm[static_cast<std::size_t>(i)])}));
}

TStressTexts TCfgBandagDlg::StressEditors() const
{
    return {EdtLimStill->text(), EdtLimResonance->text(), EdtCfStill->text(), EdtCfResonance->text(),
            Edtf1->text()};
}

void TCfgBandagDlg::SetStressEditors(const TStressTexts &t)
{
    EdtLimStill->setText(t.LimStressStill);
    EdtLimResonance->setText(t.LimStressResonance);
    EdtCfStill->setText(t.CfStill);
    EdtCfResonance->setText(t.CfResonance);
    Edtf1->setText(t.f1);
}

} // namespace vibrolan::app
