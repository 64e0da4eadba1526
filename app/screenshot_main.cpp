// vibrolan-screenshot: starts the main window as the program does, runs the
// analysis when a configuration with a recording is given, and saves a PNG
// of the window. Used by scripts/screenshots.sh to check the look.
//   --report        shows the report view before the picture is taken
//   --dialogs DIR   also saves every page of the configuration dialog and
//                   the two stage editors into DIR
//   --calc DIR      also opens the calculator after the run, computes its
//                   tables and saves both of its pages into DIR
#include "base/safe_application.hpp"
#include "base/visual_styles.hpp"
#include "calc/calc_form.hpp"
#include "cfg_general/cfg_general_dlg.hpp"
#include "cfg_stage/cfg_bandag_dlg.hpp"
#include "cfg_stage/cfg_free_dlg.hpp"
#include "window/main_window.hpp"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

namespace {

bool save(QWidget &w, const QString &file)
{
    QApplication::processEvents();
    if (w.grab().save(file, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    return false;
}

QString optionValue(const QStringList &args, const QString &name)
{
    const qsizetype i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
}

bool saveDialogs(vibrolan::app::TMain &w, const QDir &dir)
{
    using namespace vibrolan::app;
    bool ok = true;
    TCfgGeneralDlg &general = *w.GeneralDlg;
    general.CfgRead(*w.CfgDfm);
    general.resize(900, 560);
    general.show();
    for (int i = 0; i < general.Pages->count(); ++i) {
        general.Pages->setCurrentIndex(i);
        ok = save(general, dir.filePath(QStringLiteral("general_page%1.png").arg(i + 1))) && ok;
    }
    general.hide();
    TCfgFreeDlg &free = *general.CfgFreeDlg;
    free.SetCfgDfm(*w.CfgDfm);
    free.ReadData(*w.CfgDfm);
    free.show();
    ok = save(free, dir.filePath(QStringLiteral("stage_free.png"))) && ok;
    free.hide();
    TCfgBandagDlg &shrouded = *general.CfgBandagDlg;
    shrouded.SetCfgDfm(*w.CfgDfm);
    shrouded.ReadData(*w.CfgDfm);
    shrouded.show();
    ok = save(shrouded, dir.filePath(QStringLiteral("stage_shrouded.png"))) && ok;
    shrouded.hide();
    return ok;
}

bool saveCalculator(vibrolan::app::TMain &w, const QDir &dir)
{
    using namespace vibrolan::app;
    w._CalcMI->trigger();
    TCalcForm &calc = *w.CalcForm;
    if (!calc.isVisible()) {
        std::fprintf(stderr, "the calculator opens only after a steady-state run\n");
        return false;
    }
    calc.resize(820, 620);
    calc.CbxStage->setCurrentIndex(0);
    calc.CbxStageChange();
    if (calc.CbxPair2->count() > 1)
        calc.CbxPair2->setCurrentIndex(1);
    calc.dFiCalcExecute();
    calc.BtnCalcPClick();
    bool ok = save(calc, dir.filePath(QStringLiteral("calculator_page1.png")));
    calc.CbxStage1->setCurrentIndex(0);
    calc.CbxStage1Change();
    calc.BtnCalcMClick();
    calc.Pages->setCurrentIndex(1);
    ok = save(calc, dir.filePath(QStringLiteral("calculator_page2.png"))) && ok;
    calc.hide();
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    vibrolan::app::SafeApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(
            stderr,
            "usage: vibrolan-screenshot OUT.png [CONFIG.lfm] [--report] [--dialogs DIR] [--calc DIR]\n");
        return 2;
    }
    const QString dialogs = optionValue(args, QStringLiteral("--dialogs"));
    const QString calc = optionValue(args, QStringLiteral("--calc"));
    vibrolan::app::VisualStyles styles;
    styles.Apply(QString::fromLatin1(vibrolan::app::VisualStyles::kLuna));
    vibrolan::StderrMessageSink sink;
    vibrolan::app::TMainOptions options;
    if (args.size() > 1 && !args[1].startsWith(QStringLiteral("--")))
        options.arguments = {args[1]};
    options.styles = &styles;
    options.greetingMs = 0;
    options.messages = &sink;
    vibrolan::app::TMain w(options);
    w.resize(1280, 760);
    w.show();
    int rc = 0;
    QTimer::singleShot(300, [&] {
        if (!options.arguments.isEmpty() && QFileInfo::exists(QString::fromStdString(w.CfgDfm->FileName))) {
            w._NStartMI->setEnabled(true);
            w._NStartMI->trigger();
        }
        if (args.contains(QStringLiteral("--report")))
            w._NReport->trigger();
        QTimer::singleShot(300, [&] {
            if (!save(w, args.first()))
                rc = 1;
            if (!dialogs.isEmpty() && !saveDialogs(w, QDir(dialogs)))
                rc = 1;
            if (!calc.isEmpty() && !saveCalculator(w, QDir(calc)))
                rc = 1;
            QApplication::quit();
        });
    });
    QApplication::exec();
    return rc;
}
