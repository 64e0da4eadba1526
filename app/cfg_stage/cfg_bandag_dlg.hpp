// "Настройка бандажированных ступеней ": per shrouded stage its harmonics,
// stress limits, coefficients and f1, plus the machine constants f2 … h4
// and the names of the three correction files.
#pragma once

#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "cfg_stage/bandag_records.hpp"
#include "config/cfg_dfm.hpp"

#include <QDialog>

#include <array>
#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QDialogButtonBox;

namespace vibrolan::app {

class TCfgBandagDlg : public QDialog {
    Q_OBJECT
public:
    // messages null: the editor shows its messages as message boxes.
    TCfgBandagDlg(QWidget *parent, const NumberFormat &regional, MessageSink *messages = nullptr);
    ~TCfgBandagDlg() override;

    // The configuration OK writes into.
    void SetCfgDfm(TCfgDfm &cfg);
    // Fills the editor from `cfg` and makes one working record per shrouded stage.
    void ReadData(TCfgDfm &cfg);
    // Writes Q of stage 0, the file names, f2 … h4 and every record into `cfg`.
    void WriteData(TCfgDfm &cfg);

    // The commands. Each returns false when it was refused (a message told why).
    void CbxStageChange(int index); // selection change
    bool BtnSetClick();             // "Установить"
    bool BtnAddClick();             // "Добавить "
    bool BtnDeleteClick();          // "Удалить" (selected row of the harmonic list)

    // OK writes into the configuration set by SetCfgDfm; Cancel writes nothing.
    void accept() override;
    void done(int r) override;

    const TBandagRecords &Records() const { return records_; }

    QComboBox *CbxStage = nullptr;     // "Имя ступени : "
    QTreeWidget *LstHarm = nullptr;    // rows: number, order
    QLineEdit *EdtHarm = nullptr;      // "Гармоника : "
    QPushButton *BtnSet = nullptr;     // "Установить"
    QPushButton *BtnAdd = nullptr;     // "Добавить "
    QPushButton *BtnDelete = nullptr;  // "Удалить"
    QLineEdit *EdtNmPopravk = nullptr; // "Поправочных к-тов :"
    QLineEdit *EdtNmSnom = nullptr;    // "Ухода смещения : "
    QLineEdit *EdtNmXnom = nullptr;    // "Пред. отклонения : "
    // "f2 : ", "f3 : ", "f4 : ", "g1 : ", "g2 : ", "g3 : ", "g4 : ", "h1 : ", "h4 : "
    std::array<QLineEdit *, 9> EdtConst{};
    QLineEdit *EdtLimStill = nullptr;     // "Доп. cрыв. : "
    QLineEdit *EdtLimResonance = nullptr; // "Доп. рез. : "
    QLineEdit *EdtCfStill = nullptr;      // "g5 : "
    QLineEdit *EdtCfResonance = nullptr;  // "h5 : "
    QLineEdit *Edtf1 = nullptr;           // "f1, мм :  "
    QDialogButtonBox *Buttons = nullptr;

private:
    void ShowHarmonics();
    TStressTexts StressEditors() const;
    void SetStressEditors(const TStressTexts &t);

    NumberFormat regional_;
    std::unique_ptr<MessageSink> ownSink_;
    MessageSink *messages_;
    TCfgDfm *cfg_ = nullptr;
    TBandagRecords records_;
};

} // namespace vibrolan::app
