// vibrolan-screenshot: starts the main window as the program does, runs the
// analysis when a configuration with a recording is given, and saves a PNG
// of the window. Used by scripts/screenshots.sh to check the look.
#include "base/safe_application.hpp"
#include "base/visual_styles.hpp"
#include "window/main_window.hpp"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    vibrolan::app::SafeApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: vibrolan-screenshot OUT.png [CONFIG.lfm] [--report]\n");
        return 2;
    }
    vibrolan::app::VisualStyles styles;
    styles.Apply(QString::fromLatin1(vibrolan::app::VisualStyles::kLuna));
    vibrolan::StderrMessageSink sink;
    vibrolan::app::TMainOptions options;
    options.arguments = args.mid(1, 1);
    options.styles = &styles;
    options.greetingMs = 0;
    options.messages = &sink;
    vibrolan::app::TMain w(options);
    w.resize(1280, 760);
    w.show();
    int rc = 0;
    QTimer::singleShot(300, [&] {
        if (args.size() > 1 && QFileInfo::exists(QString::fromStdString(w.CfgDfm->FileName))) {
            w._NStartMI->setEnabled(true);
            w._NStartMI->trigger();
        }
        if (args.contains(QStringLiteral("--report")))
            w._NReport->trigger();
        QTimer::singleShot(300, [&] {
            if (!w.grab().save(args.first(), "PNG")) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(args.first()));
                rc = 1;
            }
            QApplication::quit();
        });
    });
    QApplication::exec();
    return rc;
}
