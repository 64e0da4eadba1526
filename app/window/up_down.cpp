#include "window/up_down.hpp"

#include <QBoxLayout>
#include <QToolButton>

namespace vibrolan::app {

TUpDown::TUpDown(QWidget *parent, Qt::Orientation orientation) : QWidget(parent)
{
    auto *box = new QBoxLayout(
        orientation == Qt::Horizontal ? QBoxLayout::LeftToRight : QBoxLayout::BottomToTop, this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    prev_ = new QToolButton(this);
    next_ = new QToolButton(this);
    prev_->setArrowType(orientation == Qt::Horizontal ? Qt::LeftArrow : Qt::DownArrow);
    next_->setArrowType(orientation == Qt::Horizontal ? Qt::RightArrow : Qt::UpArrow);
    prev_->setAutoRepeat(true);
    next_->setAutoRepeat(true);
    box->addWidget(prev_);
    box->addWidget(next_);
    connect(prev_, &QToolButton::clicked, this, &TUpDown::prevClicked);
    connect(next_, &QToolButton::clicked, this, &TUpDown::nextClicked);
}

} // namespace vibrolan::app
