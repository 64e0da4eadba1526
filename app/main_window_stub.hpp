#pragma once

#include <QMainWindow>

namespace vibrolan::app {

class MainWindowStub : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindowStub(QWidget *parent = nullptr);
};

} // namespace vibrolan::app
