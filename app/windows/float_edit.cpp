#include "windows/float_edit.hpp"

#include "base/errors.hpp"
#include "base/number_text.hpp"

#include <QApplication>

namespace vibrolan::app {

TFloatEdit::TFloatEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this](const QString &t) {
        bool removed = false;
        const QString kept = Filtered(t, &removed);
        if (!removed)
            return;
        for (int i = 0; i < 5; ++i)
            QApplication::beep();
        const int pos = cursorPosition() - static_cast<int>(t.size() - kept.size());
        setText(kept);
        setCursorPosition(std::max(0, pos));
        for (int i = 0; i < 4; ++i)
            QApplication::beep();
    });
}

QString TFloatEdit::Filtered(const QString &text, bool *removed)
{
    static const QString allowed = QStringLiteral("0123456789+,-.E");
    QString out;
    out.reserve(text.size());
    for (QChar ch : text)
        if (allowed.contains(ch))
            out += ch;
    if (removed)
        *removed = out.size() != text.size();
    return out;
}

double TFloatEdit::GetFloatNum() const
{
    QString t = text();
    if (t.isEmpty())
        t = QStringLiteral("0");
    // The first "." (or, without one, the first ",") is the decimal separator.
    qsizetype p = t.indexOf(QLatin1Char('.'));
    if (p < 0)
        p = t.indexOf(QLatin1Char(','));
    if (p >= 0)
        t[p] = QLatin1Char('.');
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok)
        throw ValueError("'" + text().toStdString() + "' не является числом");
    return v;
}

void TFloatEdit::SetFloatNum(double v) { setText(FormatGeneral(v, RegionalNumberFormat())); }

} // namespace vibrolan::app
