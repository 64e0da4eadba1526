#include "windows/about_dlg.hpp"

#include "base/version_info.hpp"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace vibrolan::app {

namespace {
const char *const kDesignTexts[8] = {"Компания",        "Продукт",    "Частная сборка",
                                     "Версия продукта", "Описание",   "Специальная сборка",
                                     "Версия файла",    "Комментарий"};
}

TAboutDlg::TAboutDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("О программе"));
    auto *box = new QVBoxLayout(this);
    auto *title = new QLabel(QStringLiteral("<b>Vibrolan</b>"), this);
    title->setAlignment(Qt::AlignCenter);
    box->addWidget(title);
    Edit1 = new QLineEdit(this);
    Edit2 = new QLineEdit(this);
    for (auto *e : {Edit1, Edit2}) {
        e->setReadOnly(true);
        box->addWidget(e);
    }
    for (std::size_t i = 0; i < labels.size(); ++i) {
        labels[i] = new QLabel(QString::fromUtf8(kDesignTexts[i]), this);
        box->addWidget(labels[i]);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    box->addWidget(buttons);
}

void TAboutDlg::Fill(const QString &s1, const QString &s2)
{
    Edit1->setText(s1);
    Edit1->setVisible(!s1.isEmpty());
    Edit2->setText(s2);
    Edit2->setVisible(!s2.isEmpty());
    QStringList current;
    for (auto *l : labels)
        current << l->text();
    const QStringList texts = AboutLabelTexts(ProgramVersionInfo(), current);
    for (std::size_t i = 0; i < labels.size(); ++i)
        labels[i]->setText(texts[static_cast<int>(i)]);
}

void TAboutDlg::Show(const QString &s1, const QString &s2)
{
    Fill(s1, s2);
    exec();
}

} // namespace vibrolan::app
