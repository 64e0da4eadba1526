// Start-up of the main window, its menu, the settings file and the commands
// that only open a dialog or a view.
#include "base/qt_message_sink.hpp"
#include "base/visual_styles.hpp"
#include "calc/calc_form.hpp"
#include "config/cfg_dfm.hpp"
#include "support/temp_dir.hpp"
#include "vibrolan/version.h"
#include "window/main_window.hpp"
#include "windows/about_dlg.hpp"
#include "windows/progress_form.hpp"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QtTest>

#include <fstream>

using namespace vibrolan;
using namespace vibrolan::app;

namespace {

QString qs(const std::filesystem::path &p) { return QString::fromStdString(p.string()); }

struct Fixture {
    test::TempDir dir;
    RecordingMessageSink sink;
    int beeps = 0;
    TMainOptions options(QStringList args = {})
    {
        TMainOptions o;
        o.arguments = std::move(args);
        o.programDir = qs(dir.path());
        o.greetingMs = 0;
        o.messages = &sink;
        o.beep = [this] { ++beeps; };
        return o;
    }
};

// Finds the menu item with this text (submenus included).
QAction *findItem(QMenuBar *bar, const QString &text)
{
    for (QMenu *m : bar->findChildren<QMenu *>())
        for (QAction *a : m->actions())
            if (a->text() == text)
                return a;
    return nullptr;
}

// Runs `f` on the next modal dialog that appears, then closes it with `accept`.
void onNextModal(std::function<void(QDialog *)> f, bool accept = true)
{
    QTimer::singleShot(0, [f, accept] {
        auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        QVERIFY(d);
        f(d);
        accept ? d->accept() : d->reject();
    });
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void captionMenuAndInitialState()
    {
        Fixture fx;
        TMain w(fx.options());
        QCOMPARE(w.windowTitle(), QStringLiteral(" Анализ вибрации лопаточного аппарата"));
        QVERIFY(w.CfgFileName.isEmpty());
        QVERIFY(w.lockHeld());
        QCOMPARE(w.property("helpContext").toInt(), 1001);
        QStringList tops;
        for (QAction *a : w.menuBar()->actions())
            tops << a->text();
        QCOMPARE(tops, QStringList({"Файл", "Анализ", "Настройка", "Вид", "Помощь"}));

        struct Item {
            const char *text;
            bool enabled;
            int help;
        };
        const Item items[] = {
            {"Открыть...", true, 5002}, {"Отчет", false, 0},
            {"Выйти", true, 0},         {"Старт &Ctrl+A", false, 5004},
            {"Стоп", false, 0},         {"Пауза", false, 0},
            {"Общая...", true, 5005},   {"Свободная...", true, 0},
            {"Связанная...", true, 0},  {"Бандажированная...", true, 0},
            {"Тахо", true, 5005},       {"Калькулятор", true, 5006},
            {"Справка", true, 0},       {"О программе", true, 0},
            {"Контакты", true, 0},
        };
        for (const Item &it : items) {
            QAction *a = findItem(w.menuBar(), QString::fromUtf8(it.text));
            QVERIFY2(a, it.text);
            QCOMPARE(a->isEnabled(), it.enabled);
            if (it.help)
                QCOMPARE(a->property("helpContext").toInt(), it.help);
        }
        QCOMPARE(w._NReport->text(), QStringLiteral("Отчет"));
        QCOMPARE(w._NReport->property("helpContext").toInt(), 5005);
        QCOMPARE(w.NSavePairs->title(), QStringLiteral("Параметры вибрации"));
        QCOMPARE(w.NSaveSlices->title(), QStringLiteral("&3D параметры (ТУВРА)"));
        QVERIFY(w.NSavePairs->actions().isEmpty());
        QVERIFY(w.NSaveSlices->actions().isEmpty());
        QVERIFY(!w._NTaho->isChecked());

        // Plot defaults.
        QCOMPARE(w.CbxGraph->count(), 7);
        QCOMPARE(w.CbxGraph->itemText(6), QStringLiteral("резерв"));
        QCOMPARE(w.CbxNmScale->currentText(), QStringLiteral("Y"));
        QCOMPARE(w.CfgDfm->Mode, TMode::mdDynamic);
    }

    void configurationFromTheCommandLine()
    {
        Fixture fx;
        const auto lfm = fx.dir / "machine.lfm";
        {
            TCfgDfm cfg;
            cfg.InitDefault();
            cfg.Mode = TMode::mdStatic;
            cfg.FileName = "/data/run1.bld";
            cfg.CountStage = 1;
            cfg.Stages[0].NameStage = "Ступень 7";
            NullMessageSink null;
            cfg.SaveToFile(lfm, null);
        }
        TMain w(fx.options({qs(lfm)}));
        QCOMPARE(w.CfgFileName, qs(lfm));
        QCOMPARE(w.CfgDfm->FileName, std::string("/data/run1.bld"));
        QCOMPARE(w.CfgDfm->Stages[0].NameStage, std::string("Ступень 7"));
        // The graph kinds follow the loaded mode.
        QCOMPARE(w.CbxGraph->count(), 6);
        QCOMPARE(w.CbxGraph->itemText(5), QStringLiteral("Плотн.распр."));
        QVERIFY(fx.sink.messages().empty());

        // A missing file is skipped silently; a damaged one is reported and
        // leaves the defaults.
        TMain missing(fx.options({qs(fx.dir / "nowhere.lfm")}));
        QCOMPARE(missing.CfgDfm->Mode, TMode::mdDynamic);
        QVERIFY(fx.sink.messages().empty());
        const auto bad = fx.dir / "bad.lfm";
        std::ofstream(bad) << "not a configuration";
        TMain damaged(fx.options({qs(bad)}));
        QCOMPARE(fx.sink.messages().size(), std::size_t(1));
        QCOMPARE(damaged.CfgDfm->FileName, std::string());
        QCOMPARE(damaged.CfgDfm->Mode, TMode::mdDynamic);
    }

    // The style key of Vibrolan.ini beside the program.
    void settingsFileStyle_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QString>("applied");
        QTest::newRow("no file") << QString() << "windows"
                                 << "windows";
        QTest::newRow("Graphite") << "[styles]\r\nstyle=Graphite\r\n"
                                  << "Graphite"
                                  << "Graphite";
        QTest::newRow("unknown keeps Luna") << "[styles]\r\nstyle=Aqua\r\n"
                                            << "Aqua"
                                            << "Luna";
        QTest::newRow("other key") << "[styles]\r\nlook=Graphite\r\n"
                                   << "windows"
                                   << "windows";
    }
    void settingsFileStyle()
    {
        QFETCH(QString, content);
        QFETCH(QString, read);
        QFETCH(QString, applied);
        Fixture fx;
        const auto ini = fx.dir / "Vibrolan.ini";
        if (!content.isEmpty())
            std::ofstream(ini, std::ios::binary) << content.toStdString();
        VisualStyles styles;
        QVERIFY(styles.Apply(QStringLiteral("Luna")));
        auto o = fx.options();
        o.styles = &styles;
        {
            TMain w(o);
            QCOMPARE(w.IniFileName, qs(ini));
            QCOMPARE(w.style, read);
            QCOMPARE(styles.Current(), applied);
        }
        // The program never writes the file.
        QCOMPARE(std::filesystem::exists(ini), !content.isEmpty());
        if (!content.isEmpty()) {
            std::ifstream in(ini, std::ios::binary);
            const std::string back((std::istreambuf_iterator<char>(in)), {});
            QCOMPARE(QString::fromStdString(back), content);
        }
        styles.Apply(QStringLiteral("windows"));
    }

    void generalDialogCaptionAndStart()
    {
        Fixture fx;
        TMain w(fx.options());
        QString caption;
        onNextModal([&](QDialog *d) { caption = d->windowTitle(); }, false);
        w._NGeneral->trigger();
        QCOMPARE(caption, QStringLiteral("Настройка - "));
        // Cancelled or not, the run may start now.
        QVERIFY(w._NStartMI->isEnabled());
        QCOMPARE(w.windowTitle(), QStringLiteral("Анализ вибрации лопаточного аппарата - "));
        // Once the window is up, the dialog offers to look for a missing recording.
        QCOMPARE(fx.sink.messages().size(), std::size_t(1));
        QCOMPARE(fx.sink.messages()[0].caption, std::string("Файл данных не найден"));
        QCOMPARE(fx.sink.messages()[0].text, std::string("Искать файл?"));
        QCOMPARE(fx.sink.messages()[0].buttons, Buttons::YesNo);

        // "Старт" without a recording shows the message and changes nothing.
        w._NStartMI->trigger();
        QCOMPARE(fx.sink.messages().size(), std::size_t(2));
        QCOMPARE(fx.sink.messages()[1].caption, std::string("Файл данных не найден"));
        QCOMPARE(fx.sink.messages()[1].text, std::string("где обр.файл...."));
        QVERIFY(!w._NStopMI->isEnabled());

        // A damaged recording is reported and the window keeps going.
        const auto bad = fx.dir / "broken.bld";
        {
            std::ofstream out(bad, std::ios::binary);
            out << "RecBld" << std::string(40, '\xff');
        }
        w.CfgDfm->FileName = bad.string();
        w._NStartMI->trigger();
        QVERIFY(fx.sink.messages().size() >= 3);
        QVERIFY(w.NoResults);
        QVERIFY(!w.ProgressForm->isVisible());
        QVERIFY(!w._NStopMI->isEnabled());
    }

    void commandsThatOnlyOpenSomething()
    {
        Fixture fx;
        TMain w(fx.options());
        // Linked stages: a beep and nothing else.
        w._NCfgConnect->trigger();
        QCOMPARE(fx.beeps, 1);
        QVERIFY(fx.sink.messages().empty());
        // The calculator refuses a run-through.
        w._CalcMI->trigger();
        QCOMPARE(fx.sink.messages().size(), std::size_t(1));
        QCOMPARE(fx.sink.messages()[0].caption, std::string("Ошибка вызова калькулятора"));
        QCOMPARE(fx.sink.messages()[0].text, std::string("Нельзя считать собственные частоты на проходе"));
        // In steady-state mode it opens.
        w.CfgDfm->Mode = TMode::mdStatic;
        w._CalcMI->trigger();
        QVERIFY(w.CalcForm->isVisible());
        QCOMPARE(w.CalcForm->windowTitle(), QStringLiteral("Калькулятор"));
        QCOMPARE(fx.sink.messages().size(), std::size_t(1));

        // The about dialog.
        bool about = false;
        onNextModal([&](QDialog *d) { about = qobject_cast<TAboutDlg *>(d) != nullptr; });
        w._N3->trigger();
        QVERIFY(about);

        // "Отчет" under "Вид" twice: shown, then hidden; it unchecks "Тахо".
        w._NTaho->setChecked(true);
        w._NReport->trigger();
        QVERIFY(w._NReport->isChecked());
        QVERIFY(!w._NTaho->isChecked());
        QVERIFY(w.Memo);
        QCOMPARE(w.ChartArea->currentWidget(), static_cast<QWidget *>(w.Memo));
        QVERIFY(w.Memo->font().bold());
        w._NReport->trigger();
        QVERIFY(!w._NReport->isChecked());
        QCOMPARE(w.ChartArea->currentWidget(), static_cast<QWidget *>(w.Chart1));

        // Help files that are not there give a notice instead of nothing.
        w._N4->trigger();
        QCOMPARE(fx.sink.messages().size(), std::size_t(2));
        QVERIFY(fx.sink.messages()[1].text.find("Vibrolan.chm") != std::string::npos);
    }

    void helpFilesOpenThroughTheHandler()
    {
        Fixture fx;
        std::ofstream(fx.dir / "Vibrolan.chm") << "x";
        std::ofstream(fx.dir / "Contact.chm") << "x";
        QStringList opened;
        auto o = fx.options();
        o.openHelp = [&](const QString &p) {
            opened << p;
            return true;
        };
        TMain w(o);
        w._N4->trigger();
        w.InternetBrowseURL1->trigger();
        QCOMPARE(opened, QStringList({qs(fx.dir / "Vibrolan.chm"), qs(fx.dir / "Contact.chm")}));
        QVERIFY(fx.sink.messages().empty());
    }

    void tahoBeforeAnyRunWithoutRecording()
    {
        Fixture fx;
        TMain w(fx.options());
        // No file name: nothing computed, the view is on, then off, then the
        // run's (empty) curves.
        w._NTaho->trigger();
        QVERIFY(w._NTaho->isChecked());
        QVERIFY(!w.TachoPending);
        w._NTaho->trigger();
        QVERIFY(!w._NTaho->isChecked());
        w._NTaho->trigger();
        QVERIFY(w._NTaho->isChecked());
        QCOMPARE(w.Chart1->axisTitle(ChartAxis::X), QStringLiteral("sec"));
        QCOMPARE(w.Chart1->axisTitle(ChartAxis::Y), QStringLiteral("RPM"));
        QVERIFY(fx.sink.messages().empty());
    }

    void aboutDialogLabels()
    {
        TAboutDlg dlg;
        dlg.Fill(QString(), QStringLiteral("второй"));
        QVERIFY(dlg.Edit1->isHidden());
        QVERIFY(!dlg.Edit2->isHidden());
        QCOMPARE(dlg.labels[0]->text(), QStringLiteral("CompanyName: Vibrolan"));
        QCOMPARE(dlg.labels[3]->text(), QStringLiteral("ProductVersion: " VIBROLAN_VERSION));
        // No private build in our version data: the design text stays.
        QCOMPARE(dlg.labels[2]->text(), QStringLiteral("Частная сборка"));
        QVERIFY(dlg.labels[6]->text().startsWith(QStringLiteral("FileVersion :  ")));
        QCOMPARE(dlg.labels[6]->text().count(QLatin1Char('.')), 3);
        QVERIFY(!dlg.labels[7]->text().contains(QLatin1Char(':')));
    }

    // The message sink shows exactly the core's caption, text and buttons.
    void messageBoxesCarryTheExactTexts()
    {
        QtMessageSink sink;
        QString caption, text;
        QMessageBox::StandardButtons buttons;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            caption = box->windowTitle();
            text = box->text();
            buttons = box->standardButtons();
            box->button(QMessageBox::Cancel)->click();
        });
        const Answer a = sink.show({"Печать", "Напечатать лист?", Buttons::OkCancel, Severity::Question});
        QCOMPARE(caption, QStringLiteral("Печать"));
        QCOMPARE(text, QStringLiteral("Напечатать лист?"));
        QCOMPARE(buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(a, Answer::Cancel);
    }
};

QTEST_MAIN(StartupTest)
#include "test_app_startup.moc"
