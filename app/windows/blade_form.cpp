#include "windows/blade_form.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace vibrolan::app {

TForm2::TForm2(QWidget *parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Перебор лопаток"));
    auto *column = new QVBoxLayout(this);
    Where = new QLabel(this);
    column->addWidget(Where);
    auto *row = new QHBoxLayout();
    row->addWidget(new QLabel(QStringLiteral("Лопатка : "), this));
    Label2 = new QLabel(QStringLiteral("0"), this);
    Label2->setMinimumWidth(60);
    row->addWidget(Label2);
    column->addLayout(row);
    Bar = new QProgressBar(this);
    Bar->setRange(0, 1);
    Bar->setValue(0);
    Bar->setVisible(false);
    column->addWidget(Bar);
    setMinimumWidth(240);
}

} // namespace vibrolan::app
