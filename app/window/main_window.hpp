// The main window: menu, chart with cursors, the plot controls and the
// commands. It holds no analysis logic; everything runs through the core.
#pragma once

#include "base/file_chooser.hpp"
#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "base/program_lock.hpp"
#include "compute/stage_calc.hpp"
#include "config/cfg_dfm.hpp"
#include "plots/blade_locations.hpp"

#include <QElapsedTimer>
#include <QMainWindow>

#include <memory>

#include <array>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QDialog;
class QComboBox;
class QFrame;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;

namespace vibrolan {
class TBladeReport;
class TAngleGates;
} // namespace vibrolan

namespace vibrolan::app {

class Chart;
class TmyCursor;
class TForm1;
class TForm2;
class TAboutDlg;
class TTimingMessForm;
class TFloatEdit;
class TUpDown;
class VisualStyles;
class QtMessageSink;
class TCfgGeneralDlg;
class TCalcForm;
class TResonanceForm;
class TimingNoticeSink;

struct TMainOptions {
    QStringList arguments;           // command-line parameters, without the program
    QString programDir;              // folder of Vibrolan.ini and the help files; empty: the program's
    int greetingMs = 2000;           // 0: no greeting picture
    MessageSink *messages = nullptr; // null: modal message boxes
    std::function<void()> beep;      // null: the system beep
    VisualStyles *styles = nullptr;  // null: the window keeps its own
    std::function<bool(const QString &path)> openHelp; // null: the desktop's handler
    FileChooser chooseFile;                            // null: file dialogs
    // Shows a modal dialog and returns its result; null: QDialog::exec.
    std::function<int(QDialog &)> runModal;
};

class TMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kHelpMain = 1001;
    static constexpr int kHelpOpen = 5002;
    static constexpr int kHelpStart = 5004;
    static constexpr int kHelpView = 5005;
    static constexpr int kHelpCalc = 5006;

    explicit TMain(TMainOptions options = {}, QWidget *parent = nullptr);
    ~TMain() override;

    // Program-wide state.
    std::unique_ptr<TCfgDfm> CfgDfm;
    QString CfgFileName;
    QString IniFileName;
    QString style; // the style name read from the settings file
    QString HelpFile;
    QString ContactFile;
    NumberFormat fmt; // regional: read-outs and report

    // Menu actions.
    QAction *_NOpenFile = nullptr, *_NRpt = nullptr, *_NExit = nullptr;
    QAction *_NSaveRun = nullptr; // "Весь расчёт (HDF5)...", enabled by a run
    QAction *_NStartMI = nullptr, *_NStopMI = nullptr, *_NPausMI = nullptr;
    QAction *_NGeneral = nullptr, *_NCfgFree = nullptr, *_NCfgConnect = nullptr, *_NCfgShrouded = nullptr;
    QAction *_NTaho = nullptr, *_NReport = nullptr, *_CalcMI = nullptr;
    QAction *_N4 = nullptr, *_N3 = nullptr, *InternetBrowseURL1 = nullptr;
    QMenu *NSavePairs = nullptr;  // "Параметры вибрации", filled per pair by a run
    QMenu *NSaveSlices = nullptr; // "&3D параметры (ТУВРА)"

    // Chart and cursors.
    Chart *Chart1 = nullptr;
    TmyCursor *Cursor1 = nullptr;
    TmyCursor *Cursor2 = nullptr;
    QPlainTextEdit *Memo = nullptr; // the report view over the chart area
    QStackedWidget *ChartArea = nullptr;

    // Plot controls.
    std::array<QComboBox *, 4> CbxName{};
    std::array<QCheckBox *, 4> ChbxGraph{};
    QComboBox *CbxGraph = nullptr;
    QRadioButton *Rbtn1 = nullptr;  // "Частота"
    QRadioButton *Rbtn2 = nullptr;  // "Время"
    QComboBox *ComboBox1 = nullptr; // "RPM" / "Hz"
    TUpDown *UpDown1 = nullptr, *UpDown2 = nullptr, *UpDown3 = nullptr;
    TUpDown *UpDCrPlot1 = nullptr, *UpDCrPlot2 = nullptr;
    QFrame *ShpPlotCr1 = nullptr, *ShpPlotCr2 = nullptr;
    QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr, *Edit4 = nullptr, *Edit5 = nullptr,
              *Edit6 = nullptr;
    QComboBox *CbxNmScale = nullptr; // "X" / "Y"
    QCheckBox *ChbxAuto = nullptr;
    TFloatEdit *EdMin = nullptr, *EdMax = nullptr;
    QSpinBox *SpinEdit1 = nullptr, *SpinEdit2 = nullptr;
    QPushButton *BtnZoom = nullptr, *BtnCursor = nullptr;

    // Small windows.
    TForm1 *ProgressForm = nullptr;
    TForm2 *BladeForm = nullptr;
    TAboutDlg *AboutDlg = nullptr;
    TTimingMessForm *TimingMessForm = nullptr;
    TCfgGeneralDlg *GeneralDlg = nullptr; // the configuration editor, created at start-up
    TCalcForm *CalcForm = nullptr;

    // The resonances of the last run: "Анализ - Резонансы..." (enabled after
    // a run) and their window while it is shown.
    QAction *_NResonances = nullptr;
    TResonanceForm *ResonanceForm = nullptr;

    // Plot state.
    bool AxesTaho = false;
    bool XAuto = true, YAuto = true;
    double XMin = 600, XMax = 3200, YMin = 0, YMax = 100;
    BladeLocation Cur;
    int CursorPlot1 = 0, CursorPlot2 = 0;
    int CursorIndex1 = 0, CursorIndex2 = 0;
    int SpinMinIndex = 0, SpinMaxIndex = 0;
    bool NoResults = true;
    bool TachoPending = true;
    bool RunDown = false;
    std::array<std::uint32_t, kMaxStages> RevCount{};
    // Computes stage s's rotation-speed curve from the recording; null until
    // the core offers it. Arguments: configuration, stage, times, speeds.
    std::function<void(const TCfgDfm &, int, std::vector<float> &, std::vector<float> &)> TachoRead;

    std::unique_ptr<TBladeReport> Report; // created by the first run
    std::unique_ptr<TAngleGates> Gates;   // created empty
    QElapsedTimer paintClock_;            // the last repaint during a run
    std::int64_t passStep_ = -1;          // the pass bar's last step
    // Progress of the pulse pass: (Total, Position, Time, Speed, Distance).
    void PassProgress(std::int64_t Total, std::int64_t Position, double Time, double Speed, double Distance);
    void BladeProgress(std::uint16_t blade);
    // Progress of the stage computation: stage, pair, blade and the share done.
    void CalcProgress(const TCalcPosition &at);

    bool lockHeld() const;
    MessageSink &messages() { return *messages_; }
    QStringList reportLines() const; // the lines of the text report of the last run

    // Menu commands.
    void _NOpenFileExecute();
    void _NRptExecute();
    void _NExitExecute();
    void _NStartMIExecute();
    void _NStopMIExecute();
    void _NPausMIExecute();
    // Identifies the resonances of the finished run and shows them.
    void _NResonancesExecute();
    // Closes the resonance window: its run is about to change.
    void CloseResonances();
    void _NGeneralExecute();
    void _NCfgFreeExecute();
    void _NCfgConnectExecute();
    void _NCfgShroudedExecute();
    void _NTahoExecute();
    void _NReportExecute();
    void _CalcMIExecute();
    void _N3Execute();
    // Save entries under "Сохранить"; the entry's caption names the pair.
    void NPairClick(const QString &pairName);
    void NsliceClick(const QString &pairName);
    void NSaveRunExecute();
    void OpenHelp(const QString &file);
    void MemoContextPopup();

    // Plot handlers.
    void FillGraphKinds();
    void CbxNameChange(int k);
    void CbxGraphChange();
    void ChbxGraphClick(int k);
    void Rbtn1Click();
    void Rbtn2Click();
    void UpDown3Click(bool next);
    void UpDCrPlotClick(int cursor, bool next);
    void UpDownClick(int cursor, bool next);
    void ChbxAutoClick();
    void CbxNmScaleChange();
    void SpinEdit1Change();
    void SpinEdit2Change();
    void BtnZoomClick();
    void BtnCursorClick();
    void CWGraphParamMouseUp();
    void OnZoomPan();
    void SetAxisRange(int axis, bool automatic, double max, double min);
    // The window's part of a finished run: blade lists, axis choice, first
    // graphs, read-outs, scales (also used after data files are loaded).
    void ShowNewResults();

    // Read-outs in fixed format (6 digits, 3 decimals) from both cursors.
    void RefreshReadouts();

protected:
    void closeEvent(QCloseEvent *e) override;
    bool event(QEvent *e) override;

private:
    void FormCreate(const TMainOptions &options);
    void buildMenu();
    void buildPanel(QWidget *panel);
    void wireControls();
    void CursorDisplay(int cursor, const QString &x, const QString &y, int index);
    void updateDifferences();
    void drawGraph(int g, bool updateAux);
    void drawAux(int g);
    void axisRedraw(bool taho);
    void setCaption(const QString &c);
    void beep();
    int runModal(QDialog &dlg);
    void createDialogs(const QString &programDir);
    void openRecording(const QString &name);
    QString num2(double v) const;
    int selectedKind() const;
    const TPair *pairAt(const BladeLocation &loc) const;

    std::unique_ptr<ProgramLock> lock_;
    std::unique_ptr<QtMessageSink> ownSink_;
    MessageSink *messages_ = nullptr;
    std::function<void()> beep_;
    std::function<bool(const QString &)> openHelp_;
    FileChooser chooseFile_;
    std::function<int(QDialog &)> runModal_;
    std::unique_ptr<TimingNoticeSink> notices_;
    bool started_ = false; // start-up is over: the dialogs may ask for a missing recording
    std::array<BladeCurves, 4> lastCurves_;
    QString runSuffix_; // " от <date>" the last run appended to the caption
    // What the whole-run file needs of the last run beside the configuration.
    std::vector<std::pair<int, int>> runPairs_;
    double runTickPeriod_ = 0;
};

} // namespace vibrolan::app
