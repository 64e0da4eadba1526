// A message window that hides itself after a given time (the configuration
// stream reports a read-only file with it).
#pragma once

#include <QDialog>

class QLabel;
class QTimer;

namespace vibrolan::app {

class TTimingMessForm : public QDialog {
    Q_OBJECT
public:
    explicit TTimingMessForm(QWidget *parent = nullptr);

    void ShowMessage(const QString &title, const QString &text, int milliseconds);
    QString text() const;
    bool timerArmed() const;

private:
    QLabel *label_ = nullptr;
    QTimer *timer_ = nullptr;
};

} // namespace vibrolan::app
