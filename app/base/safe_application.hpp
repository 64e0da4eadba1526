// The application object: an error that escapes a command is shown to the
// user and the program keeps running, as the general error handler did.
#pragma once

#include <QApplication>

namespace vibrolan::app {

class SafeApplication : public QApplication {
public:
    SafeApplication(int &argc, char **argv) : QApplication(argc, argv) {}
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace vibrolan::app
