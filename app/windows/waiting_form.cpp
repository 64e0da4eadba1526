#include "windows/waiting_form.hpp"

#include <QApplication>
#include <QProgressBar>
#include <QVBoxLayout>

#include <cmath>

namespace vibrolan::app {

TWaitingForm::TWaitingForm(QWidget *AOwner, const QString &Tag) : QDialog(AOwner)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(Tag);
    auto *box = new QVBoxLayout(this);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 1000);
    bar_->setValue(0);
    box->addWidget(bar_);
    setMinimumWidth(300);
}

void TWaitingForm::WFProgressFunct(double value)
{
    // A value outside 0 .. 1 (or NaN) must not drive the bar out of range.
    if (!(value >= 0))
        value = 0;
    if (value > 1)
        value = 1;
    bar_->setValue(static_cast<int>(std::trunc(value * 1000)));
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

int TWaitingForm::position() const { return bar_->value(); }

} // namespace vibrolan::app
