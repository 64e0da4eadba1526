#include "main_window_stub.hpp"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    vibrolan::app::MainWindowStub w;
    w.show();
    return app.exec();
}
