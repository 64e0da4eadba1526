#include "windows/greeting_window.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QSplashScreen>
#include <QThread>

namespace vibrolan::app {

QPixmap GreetingPicture()
{
    QPixmap pm(480, 240);
    pm.fill(QColor(0x80, 0x00, 0x00));
    QPainter p(&pm);
    p.setPen(QColor(0xFF, 0xFF, 0x00));
    QFont f = p.font();
    f.setPixelSize(40);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 40, 480, 80), Qt::AlignCenter, QStringLiteral("Vibrolan"));
    f.setPixelSize(18);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRect(0, 130, 480, 60), Qt::AlignCenter,
               QStringLiteral("Анализ вибрации лопаточного аппарата"));
    return pm;
}

void ShowGreeting(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    QSplashScreen splash(GreetingPicture());
    splash.show();
    splash.repaint();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
        QThread::msleep(20);
    }
    splash.close();
}

} // namespace vibrolan::app
