#include "windows/timing_mess_form.hpp"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace vibrolan::app {

TTimingMessForm::TTimingMessForm(QWidget *parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0x00, 0x00));
    pal.setColor(QPalette::WindowText, QColor(0xFF, 0xFF, 0x00));
    setPalette(pal);
    auto *box = new QVBoxLayout(this);
    label_ = new QLabel(this);
    label_->setAlignment(Qt::AlignCenter);
    label_->setWordWrap(true);
    QFont f = label_->font();
    f.setPixelSize(21);
    label_->setFont(f);
    label_->setPalette(pal);
    box->addWidget(label_);
    setMinimumSize(360, 120);
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] {
        timer_->stop();
        hide();
    });
}

void TTimingMessForm::ShowMessage(const QString &title, const QString &text, int milliseconds)
{
    setWindowTitle(title);
    label_->setText(text);
    timer_->start(milliseconds);
    show();
    raise();
    repaint();
}

QString TTimingMessForm::text() const { return label_->text(); }
bool TTimingMessForm::timerArmed() const { return timer_->isActive(); }

} // namespace vibrolan::app
