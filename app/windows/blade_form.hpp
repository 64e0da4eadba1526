// Window shown while the stages are computed: the blade just finished.
#pragma once

#include <QDialog>

class QLabel;

namespace vibrolan::app {

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);

    QLabel *Label2 = nullptr; // the 1-based blade number
};

} // namespace vibrolan::app
