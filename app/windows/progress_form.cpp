#include "windows/progress_form.hpp"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>

namespace vibrolan::app {

TForm1::TForm1(QWidget *parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto *grid = new QGridLayout(this);
    Freq = new QLabel(QStringLiteral("0"), this);
    Time = new QLabel(QStringLiteral("0"), this);
    LbDist = new QLabel(QStringLiteral("0"), this);
    const struct {
        const char *name;
        QLabel *value;
        const char *unit;
    } rows[] = {{"Обороты : ", Freq, "Об/мин"}, {"Время : ", Time, "Сек."}, {"Расстояние", LbDist, "мм"}};
    int r = 0;
    for (const auto &row : rows) {
        grid->addWidget(new QLabel(QString::fromUtf8(row.name), this), r, 0);
        row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row.value->setMinimumWidth(90);
        grid->addWidget(row.value, r, 1);
        grid->addWidget(new QLabel(QString::fromUtf8(row.unit), this), r, 2);
        ++r;
    }
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    grid->addWidget(ProgressBar1, r, 0, 1, 3);
    setMinimumWidth(320);
}

} // namespace vibrolan::app
