// "Настройка общая": the editor of the analysis configuration. The widgets
// hold the editing picture (see cfg_picture.hpp); every command takes the
// picture from them, runs the logic of picture_commands / picture_exchange
// on it and shows the result again. Files are opened and saved through
// short-lived configurations; the application's configuration changes only
// on OK (and "К - ты..."), apart from the stage-editor values an opened
// .lfm file brings (CfgReadForBandag).
//
// List views: column 0 is the row's caption (stage, sensor or pair name),
// columns 1 ... are the row's texts in the order of cfg_picture.hpp:
//   LVStages:  name | Лопатки | Диаметр | Тип | Счет | К - т | Тахоотметчик | делит.тахо | Резонанс | Калибр
//   LVSensors: name | channel ("Канал - N") | kind text | first blade (one-based)
//   LVPairs:   name (check mark = processed) | root | tip | stage | skip | base | tacho shift | angle;
//              the pair's numbering list is kept in column 0 under Qt::UserRole (a QStringList)
//   LVNumbering: position (zero-based) | blade number
#pragma once

#include "base/file_chooser.hpp"
#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "cfg_general/cfg_picture.hpp"
#include "cfg_general/picture_commands.hpp"
#include "config/cfg_dfm.hpp"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace vibrolan {
class TAngleGates;
}

namespace vibrolan::app {

class TCfgFreeDlg;
class TCfgBandagDlg;

struct CfgGeneralEnv {
    MessageSink *messages = nullptr; // message boxes; null: modal QMessageBox via QtMessageSink
    MessageSink *notices = nullptr;  // transient notices ("read-only" on save); null: same as messages
    FileChooser chooseFile;          // null: ChooseWithDialog
    std::function<void()> beep;      // null: QApplication::beep
    QString programDir;              // folder for the correction-file fallbacks (empty: the program's)
    // The "Файл данных не найден" question is asked only when this returns true (null: never).
    std::function<bool()> mayAskForRecording;
};

class TCfgGeneralDlg : public QDialog {
    Q_OBJECT
public:
    TCfgGeneralDlg(TCfgDfm &config, QWidget *owner, QString &fileNameCfg, TAngleGates &gates,
                   CfgGeneralEnv env = {});
    ~TCfgGeneralDlg() override;

    // Configuration -> picture, with the recording's channel check and the gates.
    void CfgRead(TCfgDfm &cfg);
    // Picture -> configuration. A picture with a wrong entry is refused with a
    // message naming row and column, and `cfg` stays exactly as it was (false).
    bool CfgWrite(TCfgDfm &cfg);
    // Loads the correction files named in `cfg`, then copies the stage-editor
    // values of `cfg` into the application's configuration.
    void CfgReadForBandag(TCfgDfm &cfg, bool canmessage);
    // Copies the stage-editor values of the application's configuration into `cfg`.
    void CfgWriteForBandag(TCfgDfm &cfg);
    void CfgWriteForFree(TCfgDfm &cfg);
    quint16 GetSensorByName(const QString &name);
    quint16 GetIndexByName(const QString &name);
    int GetCountPairs(const QString &stageName, QStringList &list);
    QString PointorComma(const QString &text);

    // The picture as the widgets hold it, and showing a picture.
    CfgPicture Picture() const;
    void ShowPicture(const CfgPicture &p);

    // Commands (the buttons call these).
    void BtnOkClick();
    void BtnOpenClick();   // "Отк&рыть..."
    void BtnSaveClick();   // "&Сохранить"
    void BtnSaveAsClick(); // "Сохранить к&ак..."
    void BtnKfClick();     // "К - ты..."
    void BtnSourceClick();
    void BtnTargetClick();
    void BtnMessageClick();
    void BtnHolderClick();
    void BtnGatesClick();
    void BtnAddStageClick();
    void BtnChangeStageClick();
    void BtnDelStageClick();
    void BtnAddSensorClick();
    void BtnChangeSensorClick();
    void BtnDelSensorClick();
    void BtnAddPairClick();
    void BtnChangePairClick();
    void BtnDelPairClick();
    void BtnSetBladeClick();  // numbering "Изменить"
    void EdFirstBladeEnter(); // "Начальная лопатка"

    // Selections.
    void SelectStage(int row);
    void SelectSensor(int row);
    void SelectPair(int row);
    void SelectNumberingPair(int index);
    void CbxTypeStageChange();
    void CbxMethodChange();

    NumberFormat FS; // the regional format with "." as decimal separator

    QTabWidget *Pages =
        nullptr; // "&Ступень", "Отметчики", "       Пар&ы     ", "Нумерация в парах", "Дополнительно"

    // "&Ступень"
    QTreeWidget *LVStages = nullptr;
    QLineEdit *EdNmStage = nullptr, *EdCountBlade = nullptr, *EdCountCalibr = nullptr, *EdDiametr = nullptr,
              *EdKfSigma = nullptr, *EdDivisor = nullptr, *EdResBottom = nullptr, *EdResTop = nullptr,
              *EdCalibr = nullptr;
    QComboBox *CbxTypeStage = nullptr, *CbxOrder = nullptr, *CbxTacho = nullptr;
    QLabel *LblInEdge = nullptr;
    QPushButton *BtnAddStage = nullptr, *BtnChangeStage = nullptr, *BtnDelStage = nullptr, *BtnKf = nullptr;

    // "Отметчики"
    QTreeWidget *LVSensors = nullptr;
    QComboBox *CbxNmChan = nullptr;     // channel list ("Канал - N")
    QComboBox *CbxTypeSensor = nullptr; // sensor kind list (index = sensor kind ordinal)
    QLineEdit *EdNmSensor = nullptr;
    QLineEdit *EdFirstBld = nullptr;
    QLabel *LblUTS = nullptr; // the unified time signal's sensor, or "ОТСУТСТВУЕТ"
    QPushButton *BtnAddSensor = nullptr, *BtnChangeSensor = nullptr, *BtnDelSensor = nullptr;

    // "       Пар&ы     "
    QTreeWidget *LVPairs = nullptr;
    QLineEdit *EdNmPair = nullptr, *EdSkip = nullptr, *EdBase = nullptr, *EdTachoShift = nullptr,
              *EdFi = nullptr;
    QComboBox *CbxRoot = nullptr, *CbxPeak = nullptr, *CbxStageOfPair = nullptr;
    QCheckBox *ChbxPairChecked = nullptr;
    QPushButton *BtnAddPair = nullptr, *BtnChangePair = nullptr, *BtnDelPair = nullptr;

    // "Нумерация в парах"
    QComboBox *CbxPairNum = nullptr;
    QTreeWidget *LVNumbering = nullptr;
    QLineEdit *EdBladeNumber = nullptr, *EdFirstBlade = nullptr;
    QPushButton *BtnSetBlade = nullptr;

    // "Дополнительно"
    QComboBox *CbxMode = nullptr, *CbxMethod = nullptr;
    QLabel *LblInterval = nullptr, *LblGates = nullptr;
    QLineEdit *EdDN = nullptr, *EdLoTaho = nullptr, *EdHiTaho = nullptr, *EdThNumPoint = nullptr,
              *EdLoAmpl = nullptr, *EdHiAmpl = nullptr, *EdMgNumPoint = nullptr, *EdRangeFrom = nullptr,
              *EdRangeTo = nullptr, *EdSource = nullptr, *EdTarget = nullptr, *EdMessage = nullptr,
              *EdHolder = nullptr, *EdGates = nullptr;
    QCheckBox *ChbxTaho = nullptr, *ChbxAmpl = nullptr, *ChbxUseGates = nullptr;
    QPushButton *BtnSource = nullptr, *BtnTarget = nullptr, *BtnMessage = nullptr, *BtnHolder = nullptr,
                *BtnGates = nullptr;

    QPushButton *BtnOpen = nullptr, *BtnSave = nullptr, *BtnSaveAs = nullptr, *BtnOk = nullptr,
                *BtnCancel = nullptr;

    TCfgFreeDlg *CfgFreeDlg = nullptr;
    TCfgBandagDlg *CfgBandagDlg = nullptr;

private:
    void buildStagePage(QWidget *page);
    void buildSensorPage(QWidget *page);
    void buildPairPage(QWidget *page);
    void buildNumberingPage(QWidget *page);
    void buildExtraPage(QWidget *page);
    void wire();

    void showRows(const CfgPicture &p);
    void showExtra(const ExtraPicture &e);
    ExtraPicture extra() const;
    void showNumbering(const PairRow *pair);
    void showGateCount();
    void setTitle(const QString &name);
    // Shows a picture changed by a row command and selects `row` in `list`.
    void applyRows(const CfgPicture &p, QTreeWidget *list, int row);
    // What the row editors of each page hold now.
    StageEditors stageEditors() const;
    SensorEditors sensorEditors() const;
    PairEditors pairEditors() const;
    int stageRow() const;
    int sensorRow() const;
    int pairRow() const;

    bool saveTo(const QString &name);
    void chooseInto(QLineEdit *editor, const QString &filter);
    void runGuarded(const std::function<void()> &f, const char *caption);
    MessageSink &messages() { return *messages_; }
    MessageSink &notices() { return notices_ ? *notices_ : *messages_; }
    void beep();

    TCfgDfm &fConfigDfm;
    QString &FileNameCfg;
    TAngleGates &fGates;
    CfgGeneralEnv env_;
    FileChooser choose_;
    std::unique_ptr<MessageSink> ownSink_;
    MessageSink *messages_ = nullptr;
    MessageSink *notices_ = nullptr;
    bool filling_ = false; // the widgets are being filled: selection signals are not commands
};

} // namespace vibrolan::app
