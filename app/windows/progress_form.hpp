// Progress window of the pulse pass of a run (and of the rotation-speed
// computation): speed, time, distance and a progress bar; no close button.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace vibrolan::app {

class TForm1 : public QDialog {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);

    QLabel *Freq = nullptr;   // after "Обороты : ", unit "Об/мин"
    QLabel *Time = nullptr;   // after "Время : ", unit "Сек."
    QLabel *LbDist = nullptr; // after "Расстояние", unit "мм"
    QProgressBar *ProgressBar1 = nullptr;
};

} // namespace vibrolan::app
