// "Настройка для свободных  лопаток ": the harmonics kept per free stage,
// the inlet and outlet angles shared by all free stages, the swing
// tolerances b1 and b2 and the free-blade correction file name.
#pragma once

#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "cfg_stage/free_records.hpp"
#include "config/cfg_dfm.hpp"

#include <QDialog>
#include <QString>

#include <memory>

class QComboBox;
class QLineEdit;
class QDialogButtonBox;

namespace vibrolan::app {

class TCfgFreeDlg : public QDialog {
    Q_OBJECT
public:
    // messages null: the editor shows its messages as message boxes.
    TCfgFreeDlg(QWidget *parent, const NumberFormat &regional, MessageSink *messages = nullptr);
    ~TCfgFreeDlg() override;

    // The configuration OK writes into.
    void SetCfgDfm(TCfgDfm &cfg);
    // Fills the editor from `cfg` and makes one working record per free stage.
    void ReadData(TCfgDfm &cfg);
    // Writes b1, b2, the file name, and the records and the two angles into every free stage.
    void DataWrite(TCfgDfm &cfg);

    // Stage selector: choosing another stage changes nothing else.
    void CbxStageChange(int index);

    // OK writes into the configuration set by SetCfgDfm; Cancel writes nothing.
    void accept() override;
    void done(int r) override;

    const TFreeRecords &Records() const { return records_; }

    QComboBox *CbxStage = nullptr;      // "Имя редактируемой ступени : "
    QLineEdit *EdtBIn = nullptr;        // "Угол  вх., град. :  "
    QLineEdit *EdtBOut = nullptr;       // "Угол  вых., град. :  "
    QLineEdit *Edtb1 = nullptr;         // "b1 : "
    QLineEdit *Edtb2 = nullptr;         // "b2 : "
    QLineEdit *EdtNmSnomFree = nullptr; // "Имя файла : "
    QDialogButtonBox *Buttons = nullptr;

private:
    NumberFormat regional_;
    NumberFormat dot_ = dialogNumberFormat();
    std::unique_ptr<MessageSink> ownSink_;
    MessageSink *messages_;
    TCfgDfm *cfg_ = nullptr;
    TFreeRecords records_;
    // Exact values behind the four number editors as last filled, kept when
    // the user leaves an editor's text as it was shown.
    struct Shown {
        QString text;
        float value = 0;
    };
    Shown bIn_, bOut_, b1_, b2_;
};

} // namespace vibrolan::app
