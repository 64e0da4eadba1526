// "Открыть...": a recording hands its channels to the configuration dialog,
// data files become the series of stage 0.
#include "cfg_general/cfg_general_dlg.hpp"
#include "output/data_file.hpp"
#include "plots/blade_locations.hpp"
#include "recording/recording_image.hpp"
#include "support/temp_dir.hpp"
#include "window/main_window.hpp"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <QtTest>

#include <cstring>
#include <fstream>

using namespace vibrolan;
using namespace vibrolan::app;

namespace {
QString qs(const std::filesystem::path &p) { return QString::fromStdString(p.string()); }

QStringList itemsOf(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

QTreeWidgetItem *sensorRow(const TCfgGeneralDlg &dlg, const QString &caption)
{
    for (int i = 0; i < dlg.LVSensors->topLevelItemCount(); ++i)
        if (dlg.LVSensors->topLevelItem(i)->text(0) == caption)
            return dlg.LVSensors->topLevelItem(i);
    return nullptr;
}

std::filesystem::path writeBareStream(const std::filesystem::path &file, std::initializer_list<int> channels)
{
    std::ofstream out(file, std::ios::binary);
    std::uint32_t tick = 1000;
    for (int ch : channels) {
        TIndex r;
        r.WCh(static_cast<std::uint8_t>(ch));
        r.Ticks = tick += 400;
        out.write(reinterpret_cast<const char *>(&r), sizeof r);
    }
    return file;
}

std::filesystem::path writeRunDown(const std::filesystem::path &dir, const std::vector<float> &y,
                                   const std::vector<float> &x)
{
    DataFileEnv env;
    TDataF df(env);
    df.CreateNew(dir, "Prod", "Выбег   ", ftZami, 2, 0, 0.0f, "");
    df.AddBuffer(static_cast<std::int32_t>(y.size()), "single", "single", std::as_bytes(std::span(y)),
                 std::as_bytes(std::span(x)), "b1", "sens", "мм", "rpm", 50.0f, 0, 0.0f, 1.0f, nullptr);
    return dir / (dir.filename().string() + ".zami");
}

struct Window {
    RecordingMessageSink sink;
    QStringList chosen;
    std::function<int(QDialog &)> modal = [](QDialog &) { return int(QDialog::Rejected); };
    std::unique_ptr<TMain> w;

    explicit Window(const test::TempDir &dir)
    {
        TMainOptions o;
        o.programDir = qs(dir.path());
        o.greetingMs = 0;
        o.messages = &sink;
        o.chooseFile = [this](const FileRequest &) { return chosen; };
        o.runModal = [this](QDialog &d) { return modal(d); };
        w = std::make_unique<TMain>(o);
    }
};
} // namespace

class OpenTest : public QObject {
    Q_OBJECT
private slots:
    void recordingHeaderChannelsGoToTheDialog()
    {
        test::TempDir dir;
        RecordingHeader h;
        h.hasSignature = true;
        h.RecorderCode = 1200;
        h.channels = {{4, 0, "", 1}, {5, 0, "probeB", 2}, {9, 0, "probeC", 4}};
        const std::vector<TIndex> records(3);
        writeRecordingFile(dir / "run.bld", h, records);

        Window win(dir);
        TMain &w = *win.w;
        w.CbxName[0]->addItem(QStringLiteral("before"));
        win.chosen = {qs(dir / "run.bld")};
        w._NStartMI->setEnabled(false);
        w._NOpenFileExecute();

        QCOMPARE(w.CfgDfm->TypeFile, 0);
        QCOMPARE(QString::fromStdString(w.CfgDfm->FileName), qs(dir / "run.bld"));
        const TCfgGeneralDlg &dlg = *w.GeneralDlg;
        QCOMPARE(itemsOf(dlg.CbxNmChan),
                 (QStringList{QStringLiteral("Канал - 4"), QStringLiteral("Канал - 5"),
                              QStringLiteral("Канал - 9")}));
        QTreeWidgetItem *first = sensorRow(dlg, QStringLiteral("no_name"));
        QVERIFY(first);
        QCOMPARE(first->text(1), QStringLiteral("Канал - 4"));
        QCOMPARE(first->text(2), dlg.CbxTypeSensor->itemText(1));
        QCOMPARE(first->text(3), QStringLiteral("1"));
        QVERIFY(sensorRow(dlg, QStringLiteral("probeB")));
        QVERIFY(sensorRow(dlg, QStringLiteral("probeC")));
        QCOMPARE(dlg.EdNmSensor->text(), dlg.LVSensors->topLevelItem(0)->text(0));
        // Cancelled: "Старт" is enabled anyway and the blade lists stay.
        QVERIFY(w._NStartMI->isEnabled());
        QCOMPARE(itemsOf(w.CbxName[0]), QStringList{QStringLiteral("before")});

        // Opening it again rewrites the same rows instead of repeating them.
        const int rows = dlg.LVSensors->topLevelItemCount();
        w._NOpenFileExecute();
        QCOMPARE(dlg.LVSensors->topLevelItemCount(), rows);
    }

    void bareStreamIsScanned()
    {
        test::TempDir dir;
        Window win(dir);
        win.chosen = {qs(writeBareStream(dir / "bare.bld", {2, 5, 5, 7, 2, 11}))};
        win.w->_NOpenFileExecute();
        QCOMPARE(itemsOf(win.w->GeneralDlg->CbxNmChan),
                 (QStringList{QStringLiteral("Канал - 3"), QStringLiteral("Канал - 6"),
                              QStringLiteral("Канал - 8")}));
        QCOMPARE(win.w->GeneralDlg->CbxNmChan->currentIndex(), 0);
    }

    void okGivesTheBladeLists()
    {
        test::TempDir dir;
        Window win(dir);
        win.chosen = {qs(writeBareStream(dir / "bare.bld", {0, 1, 2, 0}))};
        win.modal = [&win](QDialog &d) {
            win.w->GeneralDlg->BtnOkClick();
            return d.result();
        };
        win.w->_NOpenFileExecute();
        QCOMPARE(QString::fromStdString(win.w->CfgDfm->FileName), qs(dir / "bare.bld"));
        QCOMPARE(win.w->CfgDfm->TypeFile, 0);
        const QStringList entries = BladeListEntries(*win.w->CfgDfm);
        QVERIFY(!entries.isEmpty());
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(itemsOf(win.w->CbxName[k]), entries);
            QCOMPARE(win.w->CbxName[k]->currentIndex(), k < entries.size() ? k : -1);
        }
    }

    void damagedRecordingIsReported()
    {
        test::TempDir dir;
        RecordingHeader h;
        h.hasSignature = true;
        h.channels = {{1, 0, "root", 0}, {2, 0, "tip", 1}};
        auto bytes = recordingBytes(h, {});
        bytes.resize(14);
        std::ofstream(dir / "cut.bld", std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()), 14);
        Window win(dir);
        win.chosen = {qs(dir / "cut.bld")};
        win.w->_NOpenFileExecute();
        QVERIFY(!win.sink.messages().empty());
        QVERIFY(win.w->_NStartMI->isEnabled());
    }

    void twoRunDownDataFilesFillTwoPairs()
    {
        test::TempDir dir;
        const auto a = writeRunDown(dir / "a", {1.5f, 2.5f, 3.5f}, {900, 800, 700});
        const auto b = writeRunDown(dir / "b", {4, 5, 6, 7}, {600, 500, 400, 300});
        Window win(dir);
        win.chosen = {qs(a), qs(b)};
        win.w->_NStartMI->setEnabled(false);
        win.w->_NOpenFileExecute();
        QCOMPARE(win.w->CfgDfm->TypeFile, 1);
        const TPair &p0 = win.w->CfgDfm->Stages[0].Pairs[0];
        const TPair &p1 = win.w->CfgDfm->Stages[0].Pairs[1];
        QCOMPARE(p0.Size, 3);
        QCOMPARE(p1.Size, 4);
        QCOMPARE(std::vector<float>(p0.Time.begin(), p0.Time.begin() + 3), (std::vector<float>{0, 1, 2}));
        QCOMPARE(std::vector<float>(p1.Freq.begin(), p1.Freq.begin() + 4),
                 (std::vector<float>{600, 500, 400, 300}));
        QCOMPARE(std::vector<float>(p0.Ampl[0].begin(), p0.Ampl[0].begin() + 3),
                 (std::vector<float>{1.5f, 2.5f, 3.5f}));
        QVERIFY(win.w->_NStartMI->isEnabled());
        QVERIFY(win.sink.messages().empty());
    }
};

QTEST_MAIN(OpenTest)
#include "test_app_open.moc"
