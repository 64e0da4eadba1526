// A pair of arrow buttons ("previous" and "next") with a position that the
// window may keep in step with what the arrows move.
#pragma once

#include <QWidget>

class QToolButton;

namespace vibrolan::app {

class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget *parent = nullptr, Qt::Orientation orientation = Qt::Horizontal);

    int Position = 0;
    int Max = 32767;
    QToolButton *prevButton() const { return prev_; }
    QToolButton *nextButton() const { return next_; }

signals:
    void prevClicked();
    void nextClicked();

private:
    QToolButton *prev_;
    QToolButton *next_;
};

} // namespace vibrolan::app
