// Construction and layout of the general configuration dialog.
#include "cfg_general/cfg_general_dlg.hpp"

#include "base/number_text.hpp"
#include "base/qt_message_sink.hpp"
#include "cfg_stage/cfg_bandag_dlg.hpp"
#include "cfg_stage/cfg_free_dlg.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vibrolan::app {

namespace {

QTreeWidget *makeList(QWidget *parent, const QString &caption, const QStringList &titles)
{
    auto *list = new QTreeWidget(parent);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setHeaderLabels(QStringList{caption} + titles);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return list;
}

QPushButton *makeButton(const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    // Enter in an editor must not press a button of the dialog.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QHBoxLayout *buttonRow(std::initializer_list<QPushButton *> buttons)
{
    auto *row = new QHBoxLayout;
    for (QPushButton *b : buttons)
        row->addWidget(b);
    row->addStretch(1);
    return row;
}

// An editor with its "..." button on one line.
QWidget *withBrowse(QWidget *parent, QLineEdit *&editor, QPushButton *&button)
{
    auto *w = new QWidget(parent);
    auto *row = new QHBoxLayout(w);
    row->setContentsMargins(0, 0, 0, 0);
    editor = new QLineEdit(w);
    button = makeButton(QStringLiteral("..."), w);
    button->setMaximumWidth(32);
    row->addWidget(editor, 1);
    row->addWidget(button);
    return w;
}

} // namespace

TCfgGeneralDlg::TCfgGeneralDlg(TCfgDfm &config, QWidget *owner, QString &fileNameCfg, TAngleGates &gates,
                               CfgGeneralEnv env)
    : QDialog(owner), fConfigDfm(config), FileNameCfg(fileNameCfg), fGates(gates), env_(std::move(env))
{
    if (env_.messages) {
        messages_ = env_.messages;
    } else {
        ownSink_ = std::make_unique<QtMessageSink>(this);
        messages_ = ownSink_.get();
    }
    notices_ = env_.notices;
    choose_ = ChooserOrDialog(env_.chooseFile, this);
    FS = RegionalNumberFormat();
    FS.decimalSeparator = '.';

    setWindowTitle(QStringLiteral("Настройка общая"));
    if (!FileNameCfg.isEmpty() && QFileInfo(FileNameCfg).isFile())
        setTitle(FileNameCfg);

    auto *box = new QVBoxLayout(this);
    Pages = new QTabWidget(this);
    const QStringList titles = {QStringLiteral("&Ступень"), QStringLiteral("Отметчики"),
                                QStringLiteral("       Пар&ы     "), QStringLiteral("Нумерация в парах"),
                                QStringLiteral("Дополнительно")};
    std::array<QWidget *, 5> pages{};
    for (int i = 0; i < 5; ++i) {
        pages[static_cast<std::size_t>(i)] = new QWidget(Pages);
        Pages->addTab(pages[static_cast<std::size_t>(i)], titles[i]);
    }
    buildStagePage(pages[0]);
    buildSensorPage(pages[1]);
    buildPairPage(pages[2]);
    buildNumberingPage(pages[3]);
    buildExtraPage(pages[4]);
    box->addWidget(Pages, 1);

    BtnOpen = makeButton(QStringLiteral("Отк&рыть..."), this);
    BtnSave = makeButton(QStringLiteral("&Сохранить"), this);
    BtnSaveAs = makeButton(QStringLiteral("Сохранить к&ак..."), this);
    BtnOk = makeButton(QStringLiteral("OK"), this);
    BtnCancel = makeButton(QStringLiteral("Отмена"), this);
    auto *bottom = buttonRow({BtnOpen, BtnSave, BtnSaveAs});
    bottom->addWidget(BtnOk);
    bottom->addWidget(BtnCancel);
    box->addLayout(bottom);

    const NumberFormat regional = RegionalNumberFormat();
    CfgFreeDlg = new TCfgFreeDlg(this, regional, env_.messages);
    CfgBandagDlg = new TCfgBandagDlg(this, regional, env_.messages);

    wire();
    resize(900, 560);
    CfgRead(fConfigDfm);
}

TCfgGeneralDlg::~TCfgGeneralDlg() = default;

void TCfgGeneralDlg::buildStagePage(QWidget *page)
{
    auto *v = new QVBoxLayout(page);
    LVStages = makeList(page, QStringLiteral("Ступень"), StageColumnTitles());
    v->addWidget(LVStages, 1);
    auto *grid = new QGridLayout;
    EdNmStage = new QLineEdit(page);
    CbxTypeStage = new QComboBox(page);
    CbxTypeStage->addItems(StageKindTexts());
    EdCountBlade = new QLineEdit(page);
    EdCountCalibr = new QLineEdit(page);
    EdDiametr = new QLineEdit(page);
    CbxOrder = new QComboBox(page);
    CbxOrder->addItems({DirectText(), ReverseText()});
    EdKfSigma = new QLineEdit(page);
    CbxTacho = new QComboBox(page);
    EdDivisor = new QLineEdit(page);
    EdResBottom = new QLineEdit(page);
    EdResTop = new QLineEdit(page);
    EdCalibr = new QLineEdit(page);
    LblInEdge = new QLabel(QStringLiteral("Угол входной кромки: «К - ты...»"), page);
    int r = 0;
    auto add = [&](const QString &label, QWidget *w, int col) {
        grid->addWidget(new QLabel(label, page), r, col);
        grid->addWidget(w, r, col + 1);
    };
    add(QStringLiteral("Имя ступени"), EdNmStage, 0);
    add(QStringLiteral("Тип"), CbxTypeStage, 2);
    ++r;
    add(QStringLiteral("Лопаток"), EdCountBlade, 0);
    add(QStringLiteral("Калибровочных лопаток"), EdCountCalibr, 2);
    ++r;
    add(QStringLiteral("Диаметр,мм"), EdDiametr, 0);
    add(QStringLiteral("Счет"), CbxOrder, 2);
    ++r;
    add(QStringLiteral("К- т пересчета"), EdKfSigma, 0);
    add(QStringLiteral("Калибр, мм."), EdCalibr, 2);
    ++r;
    add(QStringLiteral("Тахоотметчик"), CbxTacho, 0);
    add(QStringLiteral("делит.тахо"), EdDivisor, 2);
    ++r;
    add(QStringLiteral("Резонанс от"), EdResBottom, 0);
    add(QStringLiteral("до"), EdResTop, 2);
    ++r;
    grid->addWidget(LblInEdge, r, 0, 1, 4);
    v->addLayout(grid);
    BtnAddStage = makeButton(QStringLiteral("Добавить"), page);
    BtnChangeStage = makeButton(QStringLiteral("Изме&нить"), page);
    BtnDelStage = makeButton(QStringLiteral("Удалить"), page);
    BtnKf = makeButton(QStringLiteral("К - ты..."), page);
    v->addLayout(buttonRow({BtnAddStage, BtnChangeStage, BtnDelStage, BtnKf}));
}

void TCfgGeneralDlg::buildSensorPage(QWidget *page)
{
    auto *v = new QVBoxLayout(page);
    LVSensors = makeList(page, QStringLiteral("Отметчик"), SensorColumnTitles());
    v->addWidget(LVSensors, 1);
    auto *form = new QFormLayout;
    EdNmSensor = new QLineEdit(page);
    CbxNmChan = new QComboBox(page);
    CbxTypeSensor = new QComboBox(page);
    CbxTypeSensor->addItems(SensorKindTexts());
    EdFirstBld = new QLineEdit(page);
    LblUTS = new QLabel(page);
    form->addRow(QStringLiteral("Имя отметчика"), EdNmSensor);
    form->addRow(QStringLiteral("Канал"), CbxNmChan);
    form->addRow(QStringLiteral("Тип"), CbxTypeSensor);
    form->addRow(QStringLiteral("Нач.Лопатка"), EdFirstBld);
    form->addRow(QStringLiteral("Сигнал единого времени"), LblUTS);
    v->addLayout(form);
    BtnAddSensor = makeButton(QStringLiteral("Добавить "), page);
    BtnChangeSensor = makeButton(QStringLiteral("Изменить "), page);
    BtnDelSensor = makeButton(QStringLiteral("Удалить"), page);
    v->addLayout(buttonRow({BtnAddSensor, BtnChangeSensor, BtnDelSensor}));
}

void TCfgGeneralDlg::buildPairPage(QWidget *page)
{
    auto *v = new QVBoxLayout(page);
    LVPairs = makeList(page, QStringLiteral("Пара"), PairColumnTitles());
    v->addWidget(LVPairs, 1);
    auto *grid = new QGridLayout;
    EdNmPair = new QLineEdit(page);
    CbxRoot = new QComboBox(page);
    CbxPeak = new QComboBox(page);
    CbxStageOfPair = new QComboBox(page);
    EdSkip = new QLineEdit(page);
    EdBase = new QLineEdit(page);
    EdTachoShift = new QLineEdit(page);
    EdFi = new QLineEdit(page);
    ChbxPairChecked = new QCheckBox(QStringLiteral("Обрабатывать"), page);
    ChbxPairChecked->setChecked(true);
    const QStringList labels = {QStringLiteral("Имя пары"),
                                QStringLiteral("Корень"),
                                QStringLiteral("Вершина"),
                                QStringLiteral("Ступень"),
                                QStringLiteral("Пропустить лопаток"),
                                QStringLiteral("База"),
                                QStringLiteral("Сдвиг тахо,гр"),
                                QStringLiteral("Угол,град")};
    const std::array<QWidget *, 8> editors = {EdNmPair, CbxRoot, CbxPeak,      CbxStageOfPair,
                                              EdSkip,   EdBase,  EdTachoShift, EdFi};
    for (int i = 0; i < 8; ++i) {
        grid->addWidget(new QLabel(labels[i], page), i / 2, (i % 2) * 2);
        grid->addWidget(editors[static_cast<std::size_t>(i)], i / 2, (i % 2) * 2 + 1);
    }
    grid->addWidget(ChbxPairChecked, 4, 1);
    v->addLayout(grid);
    BtnAddPair = makeButton(QStringLiteral("&Добавить"), page);
    BtnChangePair = makeButton(QStringLiteral("Изме&нить"), page);
    BtnDelPair = makeButton(QStringLiteral("&Удалить"), page);
    v->addLayout(buttonRow({BtnAddPair, BtnChangePair, BtnDelPair}));
}

void TCfgGeneralDlg::buildNumberingPage(QWidget *page)
{
    auto *v = new QVBoxLayout(page);
    auto *form = new QFormLayout;
    CbxPairNum = new QComboBox(page);
    form->addRow(QStringLiteral("Пара"), CbxPairNum);
    v->addLayout(form);
    LVNumbering = new QTreeWidget(page);
    LVNumbering->setRootIsDecorated(false);
    LVNumbering->setHeaderLabels({QStringLiteral("Позиция"), QStringLiteral("Лопатка")});
    v->addWidget(LVNumbering, 1);
    auto *edit = new QHBoxLayout;
    EdBladeNumber = new QLineEdit(page);
    BtnSetBlade = makeButton(QStringLiteral("Изменить"), page);
    EdFirstBlade = new QLineEdit(page);
    edit->addWidget(new QLabel(QStringLiteral("Лопатка"), page));
    edit->addWidget(EdBladeNumber);
    edit->addWidget(BtnSetBlade);
    edit->addSpacing(24);
    edit->addWidget(new QLabel(QStringLiteral("Начальная лопатка"), page));
    edit->addWidget(EdFirstBlade);
    edit->addStretch(1);
    v->addLayout(edit);
}

void TCfgGeneralDlg::buildExtraPage(QWidget *page)
{
    auto *v = new QVBoxLayout(page);
    auto *form = new QFormLayout;
    CbxMode = new QComboBox(page);
    CbxMode->addItems(ModeTexts());
    CbxMethod = new QComboBox(page);
    CbxMethod->addItems(MethodTexts());
    EdDN = new QLineEdit(page);
    LblInterval = new QLabel(IntervalLabel(0), page);
    form->addRow(QStringLiteral("Режим обработки"), CbxMode);
    form->addRow(QStringLiteral("Метод"), CbxMethod);
    form->addRow(LblInterval, EdDN);
    v->addLayout(form);

    auto guard = [&](const QString &title, QCheckBox *&on, QLineEdit *&lo, QLineEdit *&hi,
                     QLineEdit *&points) {
        auto *g = new QGroupBox(title, page);
        auto *row = new QHBoxLayout(g);
        on = new QCheckBox(QStringLiteral("Вкл."), g);
        lo = new QLineEdit(g);
        hi = new QLineEdit(g);
        points = new QLineEdit(g);
        row->addWidget(on);
        row->addWidget(new QLabel(QStringLiteral("Нижний"), g));
        row->addWidget(lo);
        row->addWidget(new QLabel(QStringLiteral("Верхний"), g));
        row->addWidget(hi);
        row->addWidget(new QLabel(QStringLiteral("Точек"), g));
        row->addWidget(points);
        v->addWidget(g);
    };
    guard(QStringLiteral("Выбросы оборотов, об/мин"), ChbxTaho, EdLoTaho, EdHiTaho, EdThNumPoint);
    guard(QStringLiteral("Выбросы амплитуды, мм"), ChbxAmpl, EdLoAmpl, EdHiAmpl, EdMgNumPoint);

    auto *files = new QFormLayout;
    auto *range = new QWidget(page);
    auto *rangeRow = new QHBoxLayout(range);
    rangeRow->setContentsMargins(0, 0, 0, 0);
    EdRangeFrom = new QLineEdit(range);
    EdRangeTo = new QLineEdit(range);
    rangeRow->addWidget(new QLabel(QStringLiteral("От"), range));
    rangeRow->addWidget(EdRangeFrom);
    rangeRow->addWidget(new QLabel(QStringLiteral("До"), range));
    rangeRow->addWidget(EdRangeTo);
    files->addRow(QStringLiteral("Диапазон , сек"), range);
    files->addRow(QStringLiteral("Источник на локальном диске"), withBrowse(page, EdSource, BtnSource));
    files->addRow(QStringLiteral("Цель на сетевом диске"), withBrowse(page, EdTarget, BtnTarget));
    files->addRow(QStringLiteral("Журнал"), withBrowse(page, EdMessage, BtnMessage));
    files->addRow(QStringLiteral("Архив"), withBrowse(page, EdHolder, BtnHolder));
    files->addRow(QStringLiteral("Ворота"), withBrowse(page, EdGates, BtnGates));
    LblGates = new QLabel(page);
    ChbxUseGates = new QCheckBox(QStringLiteral("Использовать ворота"), page);
    files->addRow(LblGates, ChbxUseGates);
    v->addLayout(files);
    v->addStretch(1);
}

void TCfgGeneralDlg::wire()
{
    connect(BtnOk, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnOkClick);
    connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(BtnOpen, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnOpenClick);
    connect(BtnSave, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnSaveClick);
    connect(BtnSaveAs, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnSaveAsClick);
    connect(BtnKf, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnKfClick);
    connect(BtnSource, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnSourceClick);
    connect(BtnTarget, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnTargetClick);
    connect(BtnMessage, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnMessageClick);
    connect(BtnHolder, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnHolderClick);
    connect(BtnGates, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnGatesClick);
    connect(BtnAddStage, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnAddStageClick);
    connect(BtnChangeStage, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnChangeStageClick);
    connect(BtnDelStage, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnDelStageClick);
    connect(BtnAddSensor, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnAddSensorClick);
    connect(BtnChangeSensor, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnChangeSensorClick);
    connect(BtnDelSensor, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnDelSensorClick);
    connect(BtnAddPair, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnAddPairClick);
    connect(BtnChangePair, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnChangePairClick);
    connect(BtnDelPair, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnDelPairClick);
    connect(BtnSetBlade, &QPushButton::clicked, this, &TCfgGeneralDlg::BtnSetBladeClick);
    connect(EdFirstBlade, &QLineEdit::returnPressed, this, &TCfgGeneralDlg::EdFirstBladeEnter);
    auto rowOf = [](QTreeWidget *list) {
        return [list] { return list->indexOfTopLevelItem(list->currentItem()); };
    };
    connect(LVStages, &QTreeWidget::currentItemChanged, this, [this, r = rowOf(LVStages)] {
        if (!filling_)
            SelectStage(r());
    });
    connect(LVSensors, &QTreeWidget::currentItemChanged, this, [this, r = rowOf(LVSensors)] {
        if (!filling_)
            SelectSensor(r());
    });
    connect(LVPairs, &QTreeWidget::currentItemChanged, this, [this, r = rowOf(LVPairs)] {
        if (!filling_)
            SelectPair(r());
    });
    connect(CbxPairNum, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!filling_)
            SelectNumberingPair(i);
    });
    connect(LVNumbering, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        if (item)
            EdBladeNumber->setText(item->text(1));
    });
    connect(CbxTypeStage, &QComboBox::currentIndexChanged, this, &TCfgGeneralDlg::CbxTypeStageChange);
    connect(CbxMethod, &QComboBox::currentIndexChanged, this, &TCfgGeneralDlg::CbxMethodChange);
}

void TCfgGeneralDlg::setTitle(const QString &name) { setWindowTitle(QStringLiteral("Настройка - ") + name); }

void TCfgGeneralDlg::beep()
{
    if (env_.beep)
        env_.beep();
    else
        QApplication::beep();
}

} // namespace vibrolan::app
