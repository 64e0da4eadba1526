#include "window/main_window.hpp"

#include "base/number_text.hpp"
#include "base/qt_message_sink.hpp"
#include "base/visual_styles.hpp"
#include "calc/calc_form.hpp"
#include "cfg_general/cfg_general_dlg.hpp"
#include "chart/chart.hpp"
#include "cursor/my_cursor.hpp"
#include "output/program_settings.hpp"
#include "output/report.hpp"
#include "plots/graph_kinds.hpp"
#include "recording/angle_gates.hpp"
#include "run/tacho_read.hpp"
#include "window/up_down.hpp"
#include "windows/about_dlg.hpp"
#include "windows/blade_form.hpp"
#include "windows/float_edit.hpp"
#include "windows/greeting_window.hpp"
#include "windows/progress_form.hpp"
#include "windows/timing_mess_form.hpp"
#include "windows/timing_notice_sink.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <filesystem>

namespace vibrolan::app {

namespace {
const QColor kGraphColours[4] = {QColor(0x00, 0x00, 0xFF), QColor(0xFF, 0x00, 0x00), QColor(0x80, 0x00, 0x00),
                                 QColor(0x80, 0x00, 0x80)};

QFrame *colourMark(QWidget *parent, const QColor &c)
{
    auto *f = new QFrame(parent);
    f->setFixedSize(14, 14);
    f->setAutoFillBackground(true);
    QPalette p = f->palette();
    p.setColor(QPalette::Window, c);
    f->setPalette(p);
    f->setFrameShape(QFrame::Box);
    return f;
}

std::filesystem::path toPath(const QString &s) { return std::filesystem::path(s.toStdU16String()); }
} // namespace

TMain::TMain(TMainOptions options, QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral(" Анализ вибрации лопаточного аппарата"));
    setProperty("helpContext", kHelpMain);
    fmt = RegionalNumberFormat();
    if (options.messages) {
        messages_ = options.messages;
    } else {
        ownSink_ = std::make_unique<QtMessageSink>(this);
        messages_ = ownSink_.get();
    }
    beep_ = options.beep ? options.beep : [] { QApplication::beep(); };
    openHelp_ = options.openHelp;
    chooseFile_ = ChooserOrDialog(options.chooseFile, this);
    runModal_ = options.runModal;
    FormCreate(options);
    // Created after the window, as the program always did.
    AboutDlg = new TAboutDlg(this);
    TimingMessForm = new TTimingMessForm(this);
    notices_ = std::make_unique<TimingNoticeSink>(TimingMessForm);
    createDialogs(options.programDir.isEmpty() ? QCoreApplication::applicationDirPath() : options.programDir);
    started_ = true;
}

void TMain::createDialogs(const QString &programDir)
{
    CfgGeneralEnv env;
    env.messages = messages_;
    env.notices = notices_.get();
    env.chooseFile = chooseFile_;
    env.beep = beep_;
    env.programDir = programDir;
    env.mayAskForRecording = [this] { return started_; };
    GeneralDlg = new TCfgGeneralDlg(*CfgDfm, this, CfgFileName, *Gates, env);
    NumberFormat dot = fmt;
    dot.decimalSeparator = '.';
    CalcForm = new TCalcForm(CfgDfm.get(), dot, this, chooseFile_);
}

int TMain::runModal(QDialog &dlg) { return runModal_ ? runModal_(dlg) : dlg.exec(); }

TMain::~TMain() = default;

bool TMain::lockHeld() const { return lock_ && lock_->held(); }

void TMain::beep() { beep_(); }

QString TMain::num2(double v) const { return FormatFixed(v, 15, 2, fmt); }

void TMain::setCaption(const QString &c) { setWindowTitle(c); }

void TMain::FormCreate(const TMainOptions &options)
{
    lock_ = std::make_unique<ProgramLock>();
    CfgDfm = std::make_unique<TCfgDfm>(TCfgDfm::kSignature);
    CfgDfm->InitDefault();

    buildMenu();
    auto *central = new QWidget(this);
    auto *vbox = new QVBoxLayout(central);
    vbox->setContentsMargins(2, 2, 2, 2);
    ChartArea = new QStackedWidget(central);
    Chart1 = new Chart(ChartArea);
    Chart1->setMinimumSize(600, 320);
    ChartArea->addWidget(Chart1);
    vbox->addWidget(ChartArea, 1);
    auto *panel = new QWidget(central);
    buildPanel(panel);
    vbox->addWidget(panel);
    setCentralWidget(central);

    FillGraphKinds();
    // Plot defaults.
    CbxNmScale->setCurrentIndex(1); // "Y"
    ChbxAuto->setChecked(true);
    EdMin->setText(num2(600));
    EdMax->setText(num2(3200));
    CbxGraph->setCurrentIndex(0);

    Cursor1 = new TmyCursor(
        Chart1, Qt::black, [this](const QString &x, const QString &y, int i) { CursorDisplay(1, x, y, i); },
        fmt);
    Cursor2 = new TmyCursor(
        Chart1, QColor(0x00, 0x80, 0x00),
        [this](const QString &x, const QString &y, int i) { CursorDisplay(2, x, y, i); }, fmt);
    wireControls();

    if (!options.arguments.isEmpty())
        CfgFileName = options.arguments.first();
    if (!CfgFileName.isEmpty() && QFileInfo::exists(CfgFileName)) {
        try {
            CfgDfm->LoadFromFile(toPath(CfgFileName));
            FillGraphKinds();
        } catch (const Error &e) {
            // A damaged file must not leave half-read values behind.
            CfgDfm = std::make_unique<TCfgDfm>(TCfgDfm::kSignature);
            CfgDfm->InitDefault();
            messages_->show({"Ошибка", e.what(), Buttons::Ok, Severity::Error});
        }
    }

    Gates = std::make_unique<TAngleGates>();
    TachoRead = [this](const TCfgDfm &cfg, int s, std::vector<float> &times, std::vector<float> &speeds) {
        std::uint32_t count = 0;
        vibrolan::TachoRead(
            cfg, static_cast<std::size_t>(s), count,
            [this](std::int64_t t, std::int64_t p, double tm, double sp, double d) {
                PassProgress(t, p, tm, sp, d);
            },
            times, speeds, *messages_);
        times.resize(std::min<std::size_t>(count, times.size()));
        speeds.resize(std::min<std::size_t>(count, speeds.size()));
    };
    ProgressForm = new TForm1(this);
    BladeForm = new TForm2(this);

    const QString dir =
        options.programDir.isEmpty() ? QCoreApplication::applicationDirPath() : options.programDir;
    const ProgramSettings settings(toPath(dir));
    IniFileName = QString::fromStdU16String(settings.IniFileName().u16string());
    style = QString::fromStdString(settings.Style());
    if (options.styles)
        options.styles->Apply(style); // an unknown name leaves the current style

    HelpFile = QDir(dir).filePath(QStringLiteral("Vibrolan.chm"));
    ContactFile = QDir(dir).filePath(QStringLiteral("Contact.chm"));

    ShowGreeting(options.greetingMs);
}

void TMain::buildMenu()
{
    auto act = [this](QMenu *menu, const QString &text, void (TMain::*fn)(), int help = 0) {
        QAction *a = menu->addAction(text);
        connect(a, &QAction::triggered, this, [this, fn] { (this->*fn)(); });
        if (help)
            a->setProperty("helpContext", help);
        return a;
    };
    QMenu *file = menuBar()->addMenu(QStringLiteral("Файл"));
    _NOpenFile = act(file, QStringLiteral("Открыть..."), &TMain::_NOpenFileExecute, kHelpOpen);
    QMenu *save = file->addMenu(QStringLiteral("Сохранить"));
    NSavePairs = save->addMenu(QStringLiteral("Параметры вибрации"));
    _NRpt = act(save, QStringLiteral("Отчет"), &TMain::_NRptExecute);
    _NSaveRun = act(save, QStringLiteral("Весь расчёт (HDF5)..."), &TMain::NSaveRunExecute);
    NSaveSlices = save->addMenu(QStringLiteral("&3D параметры (ТУВРА)"));
    _NExit = act(file, QStringLiteral("Выйти"), &TMain::_NExitExecute);

    QMenu *analysis = menuBar()->addMenu(QStringLiteral("Анализ"));
    _NStartMI = act(analysis, QStringLiteral("Старт &Ctrl+A"), &TMain::_NStartMIExecute, kHelpStart);
    _NStopMI = act(analysis, QStringLiteral("Стоп"), &TMain::_NStopMIExecute);
    _NPausMI = act(analysis, QStringLiteral("Пауза"), &TMain::_NPausMIExecute);
    _NResonances = act(analysis, QStringLiteral("Резонансы..."), &TMain::_NResonancesExecute);
    // The shortcut named in the item's text; the text already shows it.
    auto *startKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_A), this);
    connect(startKey, &QShortcut::activated, this, [this] {
        if (_NStartMI->isEnabled())
            _NStartMI->trigger();
    });

    QMenu *setup = menuBar()->addMenu(QStringLiteral("Настройка"));
    _NGeneral = act(setup, QStringLiteral("Общая..."), &TMain::_NGeneralExecute, kHelpView);
    QMenu *stage = setup->addMenu(QStringLiteral("Ступень"));
    _NCfgFree = act(stage, QStringLiteral("Свободная..."), &TMain::_NCfgFreeExecute);
    _NCfgConnect = act(stage, QStringLiteral("Связанная..."), &TMain::_NCfgConnectExecute);
    _NCfgShrouded = act(stage, QStringLiteral("Бандажированная..."), &TMain::_NCfgShroudedExecute);

    QMenu *view = menuBar()->addMenu(QStringLiteral("Вид"));
    // Check commands: the handler decides the check mark from the state it
    // finds, so the mark Qt flips on a click is put back first.
    auto toggle = [this](QMenu *menu, const QString &text, void (TMain::*fn)(), int help) {
        QAction *a = menu->addAction(text);
        a->setCheckable(true);
        a->setProperty("helpContext", help);
        connect(a, &QAction::triggered, this, [this, a, fn](bool checked) {
            a->setChecked(!checked);
            (this->*fn)();
        });
        return a;
    };
    _NTaho = toggle(view, QStringLiteral("Тахо"), &TMain::_NTahoExecute, kHelpView);
    _NReport = toggle(view, QStringLiteral("Отчет"), &TMain::_NReportExecute, kHelpView);
    _CalcMI = act(view, QStringLiteral("Калькулятор"), &TMain::_CalcMIExecute, kHelpCalc);

    QMenu *help = menuBar()->addMenu(QStringLiteral("Помощь"));
    _N4 = help->addAction(QStringLiteral("Справка"));
    connect(_N4, &QAction::triggered, this, [this] { OpenHelp(HelpFile); });
    _N3 = act(help, QStringLiteral("О программе"), &TMain::_N3Execute);
    InternetBrowseURL1 = help->addAction(QStringLiteral("Контакты"));
    connect(InternetBrowseURL1, &QAction::triggered, this, [this] { OpenHelp(ContactFile); });

    _NRpt->setEnabled(false);
    _NSaveRun->setEnabled(false);
    _NStartMI->setEnabled(false);
    _NStopMI->setEnabled(false);
    _NPausMI->setEnabled(false);
    _NResonances->setEnabled(false);
}

void TMain::buildPanel(QWidget *panel)
{
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);

    // Blade selectors with the graph colours.
    auto *graphs = new QGroupBox(QStringLiteral("Графики"), panel);
    auto *gg = new QGridLayout(graphs);
    for (int k = 0; k < 4; ++k) {
        ChbxGraph[k] = new QCheckBox(graphs);
        ChbxGraph[k]->setChecked(true);
        CbxName[k] = new QComboBox(graphs);
        CbxName[k]->setMinimumWidth(170);
        gg->addWidget(colourMark(graphs, kGraphColours[k]), k, 0);
        gg->addWidget(ChbxGraph[k], k, 1);
        gg->addWidget(CbxName[k], k, 2);
    }
    gg->addWidget(new QLabel(QStringLiteral("Лопатки :"), graphs), 4, 1, 1, 1);
    UpDown3 = new TUpDown(graphs);
    gg->addWidget(UpDown3, 4, 2, Qt::AlignLeft);
    row->addWidget(graphs);

    // Graph kind and abscissa.
    auto *kind = new QGroupBox(QStringLiteral("График"), panel);
    auto *kg = new QVBoxLayout(kind);
    CbxGraph = new QComboBox(kind);
    kg->addWidget(CbxGraph);
    Rbtn1 = new QRadioButton(QStringLiteral("Частота"), kind);
    Rbtn2 = new QRadioButton(QStringLiteral("Время"), kind);
    Rbtn2->setChecked(true);
    kg->addWidget(Rbtn1);
    kg->addWidget(Rbtn2);
    ComboBox1 = new QComboBox(kind);
    ComboBox1->addItems({QStringLiteral("RPM"), QStringLiteral("Hz")});
    kg->addWidget(ComboBox1);
    row->addWidget(kind);

    // Cursors.
    auto *cursors = new QGroupBox(QStringLiteral("Курсоры"), panel);
    auto *cg = new QGridLayout(cursors);
    auto ro = [cursors] {
        auto *e = new QLineEdit(cursors);
        e->setReadOnly(true);
        e->setMaximumWidth(120);
        return e;
    };
    Edit1 = ro();
    Edit2 = ro();
    Edit3 = ro();
    Edit4 = ro();
    Edit5 = ro();
    Edit6 = ro();
    UpDown1 = new TUpDown(cursors);
    UpDown2 = new TUpDown(cursors);
    UpDCrPlot1 = new TUpDown(cursors, Qt::Vertical);
    UpDCrPlot2 = new TUpDown(cursors, Qt::Vertical);
    ShpPlotCr1 = colourMark(cursors, kGraphColours[0]);
    ShpPlotCr2 = colourMark(cursors, kGraphColours[0]);
    cg->addWidget(new QLabel(QStringLiteral("X"), cursors), 0, 2);
    cg->addWidget(new QLabel(QStringLiteral("Y"), cursors), 0, 3);
    cg->addWidget(ShpPlotCr1, 1, 0);
    cg->addWidget(UpDCrPlot1, 1, 1);
    cg->addWidget(Edit1, 1, 2);
    cg->addWidget(Edit5, 1, 3);
    cg->addWidget(UpDown1, 1, 4);
    cg->addWidget(ShpPlotCr2, 2, 0);
    cg->addWidget(UpDCrPlot2, 2, 1);
    cg->addWidget(Edit2, 2, 2);
    cg->addWidget(Edit6, 2, 3);
    cg->addWidget(UpDown2, 2, 4);
    cg->addWidget(new QLabel(QStringLiteral("Δ"), cursors), 3, 1);
    cg->addWidget(Edit3, 3, 2);
    cg->addWidget(Edit4, 3, 3);
    row->addWidget(cursors);

    // Scales.
    auto *scale = new QGroupBox(QStringLiteral("Шкала"), panel);
    auto *sg = new QGridLayout(scale);
    CbxNmScale = new QComboBox(scale);
    CbxNmScale->addItems({QStringLiteral("X"), QStringLiteral("Y")});
    ChbxAuto = new QCheckBox(QStringLiteral("Автомат."), scale);
    EdMin = new TFloatEdit(scale);
    EdMax = new TFloatEdit(scale);
    SpinEdit1 = new QSpinBox(scale);
    SpinEdit2 = new QSpinBox(scale);
    SpinEdit1->setRange(0, 0);
    SpinEdit2->setRange(0, 0);
    BtnZoom = new QPushButton(QStringLiteral("Масштаб."), scale);
    BtnCursor = new QPushButton(QStringLiteral("Курсор"), scale);
    BtnCursor->setEnabled(false);
    sg->addWidget(CbxNmScale, 0, 0);
    sg->addWidget(ChbxAuto, 0, 1, 1, 2);
    sg->addWidget(new QLabel(QStringLiteral("Мин."), scale), 1, 0);
    sg->addWidget(EdMin, 1, 1);
    sg->addWidget(SpinEdit1, 1, 2);
    sg->addWidget(new QLabel(QStringLiteral("Макс."), scale), 2, 0);
    sg->addWidget(EdMax, 2, 1);
    sg->addWidget(SpinEdit2, 2, 2);
    sg->addWidget(BtnZoom, 3, 0, 1, 2);
    sg->addWidget(BtnCursor, 3, 2);
    row->addWidget(scale);
    row->addStretch(1);
}

void TMain::wireControls()
{
    for (int k = 0; k < 4; ++k) {
        connect(CbxName[k], &QComboBox::currentIndexChanged, this, [this, k] { CbxNameChange(k); });
        connect(ChbxGraph[k], &QCheckBox::clicked, this, [this, k] { ChbxGraphClick(k); });
    }
    connect(CbxGraph, &QComboBox::activated, this, [this] { CbxGraphChange(); });
    connect(Rbtn1, &QRadioButton::clicked, this, [this] { Rbtn1Click(); });
    connect(Rbtn2, &QRadioButton::clicked, this, [this] { Rbtn2Click(); });
    connect(UpDown3, &TUpDown::prevClicked, this, [this] { UpDown3Click(false); });
    connect(UpDown3, &TUpDown::nextClicked, this, [this] { UpDown3Click(true); });
    connect(UpDown1, &TUpDown::prevClicked, this, [this] { UpDownClick(1, false); });
    connect(UpDown1, &TUpDown::nextClicked, this, [this] { UpDownClick(1, true); });
    connect(UpDown2, &TUpDown::prevClicked, this, [this] { UpDownClick(2, false); });
    connect(UpDown2, &TUpDown::nextClicked, this, [this] { UpDownClick(2, true); });
    connect(UpDCrPlot1, &TUpDown::prevClicked, this, [this] { UpDCrPlotClick(1, false); });
    connect(UpDCrPlot1, &TUpDown::nextClicked, this, [this] { UpDCrPlotClick(1, true); });
    connect(UpDCrPlot2, &TUpDown::prevClicked, this, [this] { UpDCrPlotClick(2, false); });
    connect(UpDCrPlot2, &TUpDown::nextClicked, this, [this] { UpDCrPlotClick(2, true); });
    connect(ChbxAuto, &QCheckBox::clicked, this, [this] { ChbxAutoClick(); });
    connect(CbxNmScale, &QComboBox::activated, this, [this] { CbxNmScaleChange(); });
    connect(SpinEdit1, &QSpinBox::valueChanged, this, [this] { SpinEdit1Change(); });
    connect(SpinEdit2, &QSpinBox::valueChanged, this, [this] { SpinEdit2Change(); });
    connect(BtnZoom, &QPushButton::clicked, this, [this] { BtnZoomClick(); });
    connect(BtnCursor, &QPushButton::clicked, this, [this] { BtnCursorClick(); });
    connect(Chart1, &Chart::mouseReleased, this, [this] { CWGraphParamMouseUp(); });
    connect(Chart1, &Chart::zoomed, this, [this] { OnZoomPan(); });
    connect(Chart1, &Chart::scrolled, this, [this] { OnZoomPan(); });
}

void TMain::FillGraphKinds()
{
    const int keep = CbxGraph->currentIndex();
    CbxGraph->clear();
    CbxGraph->addItems(GraphKindItems(CfgDfm->Mode));
    CbxGraph->setCurrentIndex(keep >= 0 && keep < CbxGraph->count() ? keep : 0);
}

void TMain::closeEvent(QCloseEvent *e)
{
    // The settings file is never written; the configuration and the report
    // go with the window.
    QMainWindow::closeEvent(e);
}

bool TMain::event(QEvent *e)
{
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() == Qt::Key_F1) {
        OpenHelp(HelpFile);
        return true;
    }
    return QMainWindow::event(e);
}

} // namespace vibrolan::app
