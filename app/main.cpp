#include "base/safe_application.hpp"
#include "base/visual_styles.hpp"
#include "window/main_window.hpp"

#include <QApplication>

int main(int argc, char **argv)
{
    vibrolan::app::SafeApplication app(argc, argv);
    vibrolan::app::VisualStyles styles;
    styles.Apply(QString::fromLatin1(vibrolan::app::VisualStyles::kLuna));
    QApplication::setApplicationName(QStringLiteral("Vibrolan"));
    vibrolan::app::TMainOptions options;
    options.arguments = QApplication::arguments().mid(1);
    options.styles = &styles;
    vibrolan::app::TMain w(options);
    w.show();
    return QApplication::exec();
}
