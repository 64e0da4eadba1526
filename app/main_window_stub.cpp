// Placeholder main window until the GUI lands: shows the program's caption.
#include "main_window_stub.hpp"

namespace vibrolan::app {

MainWindowStub::MainWindowStub(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Анализ вибрации лопаточного аппарата"));
}

} // namespace vibrolan::app
