// Window shown while the stages are computed: the stage and pair being
// computed, the blade just finished and the share of the computation done.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace vibrolan::app {

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);

    QLabel *Label2 = nullptr; // the 1-based blade number
    QLabel *Where = nullptr;  // stage and pair; empty outside the stage computation
    QProgressBar *Bar = nullptr;
};

} // namespace vibrolan::app
