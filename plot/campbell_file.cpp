#include "plot/campbell_file.hpp"

#include "base/errors.hpp"
#include "plot/campbell_plot.hpp"

#include <QApplication>

#include <memory>

namespace vibrolan::plot {

void saveCampbellPng(const identify::IdentifyResult &result, const std::filesystem::path &file, int width,
                     int height)
{
    std::unique_ptr<QApplication> own;
    if (!QCoreApplication::instance()) {
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
    QString error;
    {
        CampbellPlot plot;
        plot.resize(width, height);
        plot.setResult(result);
        if (plot.savePng(QString::fromStdString(file.string()), width, height, &error))
            return;
    }
    throw FileError(file, error.toStdString());
}

} // namespace vibrolan::plot
