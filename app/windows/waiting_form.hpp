// Waiting window of long file operations (unpacking a compressed recording):
// a caption and a bar from 0 to 1000.
#pragma once

#include <QDialog>

class QProgressBar;

namespace vibrolan::app {

class TWaitingForm : public QDialog {
    Q_OBJECT
public:
    TWaitingForm(QWidget *AOwner, const QString &Tag);

    // value: the fraction done, 0 .. 1 (clamped).
    void WFProgressFunct(double value);
    int position() const;

private:
    QProgressBar *bar_ = nullptr;
};

} // namespace vibrolan::app
