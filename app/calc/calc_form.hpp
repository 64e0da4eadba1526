// The calculator window ("Калькулятор"): after a steady-state run it turns
// the phase shift between two sensor pairs into the frequency of the blades'
// self-excited oscillation, and that into the number of nodal diameters. The
// numbers come from compute/natural_frequency*; this window fills its lists
// from the configuration, shows the results and saves the table.
//
// Every enabled pair of the stage is listed in the pair boxes, however many
// there are. A blade or result without data reads "нет данных"; the table can
// be saved once one has been computed.
//
// The main window creates it once, hands over the two cursor indexes with
// SetIndexes and shows it; closing only hides it.
#pragma once

#include "base/file_chooser.hpp"
#include "base/number_format.hpp"

#include <QStringList>
#include <QWidget>

#include <array>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTableWidgetItem;

namespace vibrolan {
class TCfgDfm;
struct TStage;
struct TPair;
} // namespace vibrolan

namespace vibrolan::app {

class TCalcForm : public QWidget {
    Q_OBJECT
public:
    TCalcForm(TCfgDfm *cfg, const NumberFormat &fmt, QWidget *owner, FileChooser chooser = {});

    // The data indexes of the two plot cursors: the stretch to analyse.
    void SetIndexes(int startIndex, int endIndex);

    // Handlers; public so that tests drive them as the user would.
    void FormShow();
    void CbxStageChange();
    void dFiCalcExecute();
    void BtnCalcPClick();
    void BtnSaveClick();
    void CbxStage1Change();
    void ValueListEditor1Validate();
    void BtnCalcMClick();
    void FormClose();

    // The pages, in this order; a hidden page is a hidden tab.
    QTabWidget *Pages = nullptr;
    QWidget *TabFrequency = nullptr; // "круговая частота автоколебаний"
    QWidget *TabNodal = nullptr;     // "число узловых диаметров"
    QWidget *TabSlip = nullptr;      // "проскальзывание" (empty)

    // First page.
    QComboBox *CbxStage = nullptr;
    QComboBox *CbxPair1 = nullptr;
    QComboBox *CbxPair2 = nullptr;
    QComboBox *CbxAcos = nullptr;
    QLabel *LblMeanFreq = nullptr;
    QLabel *LblStartIndex = nullptr;
    QLabel *LblEndIndex = nullptr;
    QLabel *LblDFi = nullptr;
    QPushButton *BtnCalcP = nullptr;
    QPushButton *BtnSave = nullptr;
    QTableWidget *SgGrd1 = nullptr;

    // Second page.
    QComboBox *CbxStage1 = nullptr;
    QComboBox *CbxPair3 = nullptr;
    QLabel *LblMeanFreq1 = nullptr;
    QTableWidget *ValueListEditor1 = nullptr; // pitch name, value in degrees
    QListWidget *CheckListBox1 = nullptr;
    QPushButton *BtnCalcM = nullptr;
    QLabel *LblM1 = nullptr;
    QLabel *LblM2 = nullptr;
    QLabel *LblM = nullptr;

    // Read-outs for tests and the main window.
    float MeanRpm() const { return meanRpm_; }
    float DFi() const { return dFi_; }
    const QStringList &TableLines() const { return tableLines_; }
    // Entry 0 the mean frequency, 1..CountBlade per blade; empty for a stage
    // out of range.
    std::vector<float> StageResult(int stage) const;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildFrequencyPage();
    void BuildNodalPage();
    int StageCount() const;
    // The stage's blade count, cut to the capacity of the per-blade arrays.
    static int BladeCount(const TStage &stage);
    // Heads, blade numbers and empty cells for n blades.
    void FillGridFrame(int n);
    // Fills `box` with the enabled pairs of stage s; `map` gets their numbers.
    void FillPairs(QComboBox *box, std::vector<int> &map, int s);
    int ChosenPair(const QComboBox *box, const std::vector<int> &map) const;
    // The stage of the first page and the pairs chosen in CbxPair1 and CbxPair2.
    struct ChosenPairs {
        int index; // of the stage
        const TStage &stage;
        const TPair &first;
        const TPair &second;
    };
    std::optional<ChosenPairs> Chosen() const;
    void UpdateMeanRpm(int s, QLabel *label);
    void SetCell(int row, int col, const QString &text);
    QString Fixed(double v, int precision, int decimals) const;
    void ValueChanged(QTableWidgetItem *item);

    TCfgDfm *fCfgDfm;
    NumberFormat FS;
    FileChooser chooser_;

    int startIndex_ = 0;
    int endIndex_ = 0;
    float meanRpm_ = 0;
    float dFi_ = 0;
    std::vector<std::vector<float>> results_; // per stage
    std::vector<int> pairMap1_, pairMap2_, pairMap3_;
    std::vector<double> pitch_; // degrees, one per pitch row
    QStringList tableLines_;
    bool filling_ = false;
};

} // namespace vibrolan::app
