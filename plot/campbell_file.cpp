#include "plot/campbell_file.hpp"

#include "base/errors.hpp"
#include "plot/campbell_plot.hpp"

#include <QApplication>

#include <cstdio>
#include <memory>
#include <optional>

namespace vibrolan::plot {

namespace {
// Qt's notes on the platform (no runtime folder, no size hints offscreen)
// are no concern of the command line's user; its errors still show.
void quietQt(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

struct QuietQt {
    QtMessageHandler previous = qInstallMessageHandler(quietQt);
    ~QuietQt() { qInstallMessageHandler(previous); }
};
} // namespace

void saveCampbellPng(const identify::IdentifyResult &result, const std::filesystem::path &file, int width,
                     int height)
{
    std::optional<QuietQt> quiet;
    std::unique_ptr<QApplication> own;
    if (!QCoreApplication::instance()) {
        quiet.emplace();
        // The command line shows no window: the offscreen platform needs no display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "vibrolan-cli";
        static char *argv[] = {name, nullptr};
        own = std::make_unique<QApplication>(argc, argv);
    } else if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        throw FileError(file, "the picture needs a widget application");
    }
    SaveFailure failure;
    {
        CampbellPlot plot;
        plot.resize(width, height);
        plot.setResult(result);
        failure = plot.savePng(QString::fromStdString(file.string()), width, height);
    }
    if (failure)
        throw FileError(file, failure.englishReason());
}

} // namespace vibrolan::plot
