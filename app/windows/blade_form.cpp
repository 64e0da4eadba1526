#include "windows/blade_form.hpp"

#include <QHBoxLayout>
#include <QLabel>

namespace vibrolan::app {

TForm2::TForm2(QWidget *parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Перебор лопаток"));
    auto *row = new QHBoxLayout(this);
    row->addWidget(new QLabel(QStringLiteral("Лопатка : "), this));
    Label2 = new QLabel(QStringLiteral("0"), this);
    Label2->setMinimumWidth(60);
    row->addWidget(Label2);
    setMinimumWidth(240);
}

} // namespace vibrolan::app
