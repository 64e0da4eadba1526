// Configuration exchange, files and the dialog-level commands of the general
// configuration dialog: CfgRead/CfgWrite, Open, Save, the "..." buttons, OK
// and "К - ты...".
#include "cfg_general/cfg_general_dlg.hpp"

#include "base/errors.hpp"
#include "cfg_general/picture_exchange.hpp"
#include "cfg_general/recording_channels.hpp"
#include "cfg_stage/cfg_bandag_dlg.hpp"
#include "cfg_stage/cfg_free_dlg.hpp"
#include "config/cfg_rec_blade.hpp"
#include "config/correction_files.hpp"
#include "recording/angle_gates.hpp"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include <filesystem>

namespace vibrolan::app {

namespace {

const QString kRecordingFilter = QStringLiteral(
    "Файл записи вибрации лопаток(.BLD)|*.bld;*.BLD|Сжатый файл записи вибрации лопаток(.BLDX)|*.bldx");

std::filesystem::path pathOf(const QString &name) { return std::filesystem::path(name.toStdString()); }

bool isFile(const QString &name) { return !name.isEmpty() && QFileInfo(name).isFile(); }
bool isFile(const std::string &name) { return isFile(QString::fromStdString(name)); }

QString folderOf(const QString &name) { return name.isEmpty() ? QString() : QFileInfo(name).absolutePath(); }

bool hasShroudedStage(const TCfgDfm &cfg)
{
    for (std::size_t s = 0; s < std::min<std::size_t>(cfg.CountStage, kMaxStages); ++s)
        if (cfg.Stages[s].TypeStage == TTypeStage::tsBandag)
            return true;
    return false;
}

} // namespace

void TCfgGeneralDlg::runGuarded(const std::function<void()> &f, const char *caption)
{
    // Nothing may escape into the event loop: a failed command is told and the dialog stays.
    try {
        f();
    } catch (const std::exception &e) {
        messages().show(Message{caption, e.what(), Buttons::Ok, Severity::Error});
    }
}

void TCfgGeneralDlg::CfgRead(TCfgDfm &cfg)
{
    CfgPicture p = ReadPicture(cfg, FS);

    // The recording: offer to look for it when it is missing.
    if (!isFile(cfg.FileName) && env_.mayAskForRecording && env_.mayAskForRecording()) {
        const Answer a = messages().show(
            Message{"Файл данных не найден", "Искать файл?", Buttons::YesNo, Severity::Question});
        if (a == Answer::Yes) {
            const QStringList names = choose_(FileRequest{FileRequest::Mode::OpenOne,
                                                          QStringLiteral("Файл данных"),
                                                          kRecordingFilter,
                                                          folderOf(FileNameCfg),
                                                          {}});
            if (!names.isEmpty()) {
                cfg.FileName = names.first().toStdString();
                cfg.NmSource = cfg.FileName;
                p.extra.source = names.first();
            }
        }
    }
    // Channel check against the recording.
    if (isFile(cfg.FileName)) {
        cfg.NmSource = cfg.FileName;
        p.extra.source = QString::fromStdString(cfg.FileName);
        runGuarded(
            [&] {
                if (AppendMissingChannels(p.channels, RecordingChannels(pathOf(p.extra.source))))
                    messages().show(Message{"несоответствие каналов",
                                            "каналы,упомянутые в конфигурации отсутствуют в Файле",
                                            Buttons::Ok, Severity::Warning});
            },
            "Файл данных");
    }

    ShowPicture(p);
    CbxMethodChange();
    CbxTypeStageChange();
    // The editors show the first rows.
    auto first = [](QTreeWidget *list) {
        if (list->topLevelItemCount() > 0)
            list->setCurrentItem(list->topLevelItem(0));
    };
    first(LVStages);
    first(LVSensors);
    first(LVPairs);
    SelectStage(p.stages.isEmpty() ? -1 : 0);
    SelectSensor(p.sensors.isEmpty() ? -1 : 0);
    SelectPair(p.pairs.isEmpty() ? -1 : 0);
    SelectNumberingPair(p.pairs.isEmpty() ? -1 : 0);

    // Gates.
    if (isFile(cfg.NmGates))
        runGuarded([&] { fGates.File2Gates(TGateMode::New, pathOf(QString::fromStdString(cfg.NmGates))); },
                   "Файл ворот");
    showGateCount();
}

bool TCfgGeneralDlg::CfgWrite(TCfgDfm &cfg)
{
    const CfgPicture p = Picture();
    if (!WritePicture(p, cfg, FS, messages()))
        return false;
    LblInterval->setText(IntervalLabel(p.extra.method));
    return true;
}

void TCfgGeneralDlg::CfgReadForBandag(TCfgDfm &cfg, bool canmessage)
{
    if (!env_.programDir.isEmpty() && hasShroudedStage(cfg)) {
        // The loader's fallbacks, in the folder the program was given.
        const QDir dir(env_.programDir);
        auto fallback = [&](std::string &name, const char *file) {
            if (name.empty())
                name = dir.filePath(QString::fromLatin1(file)).toStdString();
        };
        fallback(cfg.NmPopravk, "popravk.dat");
        fallback(cfg.NmSnom, "Snom.dat");
        fallback(cfg.NmXnom, "Xnom.dat");
    }
    runGuarded([&] { LoadCorrectionFiles(cfg, canmessage, messages()); }, "Файл поправок");
    // All stages: the file's stages may outnumber the ones the application has now.
    CopyStageEditorValues(cfg, fConfigDfm, kMaxStages);
}

void TCfgGeneralDlg::CfgWriteForBandag(TCfgDfm &cfg)
{
    CopyStageEditorValues(fConfigDfm, cfg, cfg.CountStage);
}

void TCfgGeneralDlg::CfgWriteForFree(TCfgDfm &) {}

void TCfgGeneralDlg::BtnOkClick()
{
    if (CfgWrite(fConfigDfm))
        accept();
}

void TCfgGeneralDlg::BtnOpenClick()
{
    const QStringList names =
        choose_(FileRequest{FileRequest::Mode::OpenOne,
                            QStringLiteral("Открыть"),
                            QStringLiteral("Настройка(.lfm)|*.LFM|Импорт из(.rbd)|*.rbd"),
                            folderOf(FileNameCfg),
                            {}});
    if (names.isEmpty())
        return;
    const QString name = names.first();
    runGuarded(
        [&] {
            TCfgDfm loaded(TCfgDfm::kSignature);
            // The file dialog does not say which filter was used: the extension does.
            if (QFileInfo(name).suffix().compare(QStringLiteral("rbd"), Qt::CaseInsensitive) == 0) {
                TCfgRecBlade rec(messages());
                rec.LoadFromFile(pathOf(name));
                rec.ConvertTo(loaded);
                std::filesystem::path lfm = pathOf(name);
                lfm.replace_extension(".lfm");
                FileNameCfg = QString::fromStdString(lfm.string());
                CfgRead(loaded);
            } else {
                loaded.LoadFromFile(pathOf(name));
                FileNameCfg = name;
                CfgRead(loaded);
                CfgReadForBandag(loaded, true);
            }
            setTitle(FileNameCfg);
        },
        "Ошибка открытия настройки");
}

bool TCfgGeneralDlg::saveTo(const QString &name)
{
    TCfgDfm out(TCfgDfm::kSignature);
    if (!CfgWrite(out))
        return false;
    CfgWriteForBandag(out);
    bool saved = false;
    runGuarded(
        [&] {
            out.SaveToFile(pathOf(name), notices());
            saved = true;
        },
        "Ошибка записи настройки");
    return saved;
}

void TCfgGeneralDlg::BtnSaveClick()
{
    // Without a file name there is nowhere to save: ask for one.
    if (FileNameCfg.isEmpty()) {
        BtnSaveAsClick();
        return;
    }
    saveTo(FileNameCfg);
}

void TCfgGeneralDlg::BtnSaveAsClick()
{
    const QStringList names = choose_(FileRequest{FileRequest::Mode::Save, QStringLiteral("Сохранить как"),
                                                  QStringLiteral("Конфигурация (.lfm)|*.LFM"),
                                                  folderOf(FileNameCfg), QStringLiteral("lfm")});
    if (names.isEmpty())
        return;
    QString name = names.first();
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".lfm");
    if (saveTo(name))
        setTitle(name);
}

void TCfgGeneralDlg::BtnKfClick()
{
    if (!CfgWrite(fConfigDfm))
        return;
    const int row = stageRow() >= 0 ? stageRow() : (LVStages->topLevelItemCount() > 0 ? 0 : -1);
    if (row < 0)
        return;
    switch (
        static_cast<TTypeStage>(StageKindTexts().indexOf(LVStages->topLevelItem(row)->text(scType + 1)))) {
    case TTypeStage::tsFree:
        CfgFreeDlg->SetCfgDfm(fConfigDfm);
        CfgFreeDlg->ReadData(fConfigDfm);
        CfgFreeDlg->exec();
        break;
    case TTypeStage::tsBandag:
        CfgBandagDlg->SetCfgDfm(fConfigDfm);
        CfgBandagDlg->ReadData(fConfigDfm);
        CfgBandagDlg->exec();
        break;
    case TTypeStage::tsLink:
        beep();
        break;
    case TTypeStage::tsAviaEng:
        break;
    }
}

void TCfgGeneralDlg::chooseInto(QLineEdit *editor, const QString &filter)
{
    const QStringList names =
        choose_(FileRequest{FileRequest::Mode::OpenOne, QString(), filter, folderOf(editor->text()), {}});
    if (!names.isEmpty())
        editor->setText(names.first());
}

void TCfgGeneralDlg::BtnSourceClick() { chooseInto(EdSource, kRecordingFilter); }
void TCfgGeneralDlg::BtnTargetClick() { chooseInto(EdTarget, kRecordingFilter); }
void TCfgGeneralDlg::BtnMessageClick()
{
    chooseInto(EdMessage, QStringLiteral("Файл журнала (.TXT)|*.txt;*.TXT"));
}
void TCfgGeneralDlg::BtnHolderClick()
{
    chooseInto(EdHolder, QStringLiteral("Файлы архива (.BLD)|*.bld;*.BLD"));
}

void TCfgGeneralDlg::BtnGatesClick()
{
    const QStringList names = choose_(FileRequest{FileRequest::Mode::OpenOne,
                                                  QString(),
                                                  QStringLiteral("Файлы ворот(*.gts)|*.gts"),
                                                  folderOf(EdGates->text()),
                                                  {}});
    if (names.isEmpty())
        return;
    const QString name = names.first();
    fConfigDfm.NmGates = name.toStdString();
    EdGates->setText(name);
    runGuarded([&] { fGates.File2Gates(TGateMode::New, pathOf(name)); }, "Файл ворот");
    showGateCount();
}

} // namespace vibrolan::app
