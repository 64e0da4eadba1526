#include "windows/placeholder_dialog.hpp"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace vibrolan::app {

PlaceholderDialog::PlaceholderDialog(QWidget *parent, const QString &what, const QString &details)
    : QDialog(parent)
{
    auto *box = new QVBoxLayout(this);
    box->addWidget(new QLabel(what + QStringLiteral(": редактор появится в следующей версии."), this));
    if (!details.isEmpty()) {
        auto *text = new QPlainTextEdit(details, this);
        text->setReadOnly(true);
        text->setMinimumSize(480, 300);
        box->addWidget(text);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    box->addWidget(buttons);
}

} // namespace vibrolan::app
