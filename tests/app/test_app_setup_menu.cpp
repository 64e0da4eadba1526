// The configuration menu and the calculator as the main window opens them.
#include "calc/calc_form.hpp"
#include "cfg_general/cfg_general_dlg.hpp"
#include "cfg_stage/cfg_bandag_dlg.hpp"
#include "cfg_stage/cfg_free_dlg.hpp"
#include "cursor/my_cursor.hpp"
#include "support/temp_dir.hpp"
#include "window/main_window.hpp"

#include <QAction>
#include <QTreeWidget>
#include <QtTest>

using namespace vibrolan;
using namespace vibrolan::app;

namespace {
QString qs(const std::filesystem::path &p) { return QString::fromStdString(p.string()); }
} // namespace

class SetupMenuTest : public QObject {
    Q_OBJECT
private slots:
    void generalDialogShowsTheConfigurationAndEnablesStart()
    {
        test::TempDir dir;
        RecordingMessageSink sink;
        QDialog *shown = nullptr;
        TMainOptions o;
        o.programDir = qs(dir.path());
        o.greetingMs = 0;
        o.messages = &sink;
        o.runModal = [&shown](QDialog &d) {
            shown = &d;
            return int(QDialog::Rejected);
        };
        TMain w(o);
        w.CfgFileName = qs(dir / "a.lfm");
        w.CfgDfm->Stages[0].NameStage = "ступень-проверка";
        w._NStartMI->setEnabled(false);
        w._NGeneralExecute();
        QCOMPARE(shown, static_cast<QDialog *>(w.GeneralDlg));
        QCOMPARE(w.GeneralDlg->windowTitle(), QStringLiteral("Настройка - ") + qs(dir / "a.lfm"));
        // The dialog was filled from the configuration as it is now.
        QCOMPARE(w.GeneralDlg->LVStages->topLevelItem(0)->text(0), QStringLiteral("ступень-проверка"));
        QVERIFY(w._NStartMI->isEnabled());

        w._NCfgFreeExecute();
        QCOMPARE(shown, static_cast<QDialog *>(w.GeneralDlg->CfgFreeDlg));
        w._NCfgShroudedExecute();
        QCOMPARE(shown, static_cast<QDialog *>(w.GeneralDlg->CfgBandagDlg));
    }

    void calculatorOpensOnlyInSteadyState()
    {
        test::TempDir dir;
        RecordingMessageSink sink;
        TMainOptions o;
        o.programDir = qs(dir.path());
        o.greetingMs = 0;
        o.messages = &sink;
        TMain w(o);
        w.CfgDfm->Mode = TMode::mdDynamic;
        w._CalcMIExecute();
        QVERIFY(!w.CalcForm->isVisible());
        QCOMPARE(sink.messages().size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(sink.messages()[0].text),
                 QStringLiteral("Нельзя считать собственные частоты на проходе"));

        w.CfgDfm->Mode = TMode::mdStatic;
        w._CalcMIExecute();
        QVERIFY(w.CalcForm->isVisible());
        QCOMPARE(sink.messages().size(), std::size_t(1));
    }
};

QTEST_MAIN(SetupMenuTest)
#include "test_app_setup_menu.moc"
