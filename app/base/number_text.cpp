#include "base/number_text.hpp"

#include <cmath>

namespace vibrolan::app {

NumberFormat RegionalNumberFormat(const QLocale &locale)
{
    NumberFormat f;
    const QString dp = locale.decimalPoint();
    f.decimalSeparator =
        dp.isEmpty() || dp.at(0).unicode() > 0x7F ? '.' : static_cast<char>(dp.at(0).unicode());
    f.shortDateFormat = locale.dateFormat(QLocale::ShortFormat).toStdString();
    f.longTimeFormat = locale.timeFormat(QLocale::LongFormat).toStdString();
    return f;
}

static QString withSeparator(QString s, const NumberFormat &fmt)
{
    if (fmt.decimalSeparator != '.')
        s.replace(QLatin1Char('.'), QLatin1Char(fmt.decimalSeparator));
    return s;
}

QString FormatGeneral(double v, const NumberFormat &fmt)
{
    if (std::isnan(v))
        return QStringLiteral("NAN");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    QString s = QString::number(v, 'g', 15);
    const qsizetype e = s.indexOf(QLatin1Char('e'));
    if (e >= 0) {
        // "1.5e-05" -> "1.5E-5"
        QString mant = s.left(e);
        QString exp = s.mid(e + 1);
        QString sign;
        if (exp.startsWith(QLatin1Char('-')) || exp.startsWith(QLatin1Char('+'))) {
            if (exp.startsWith(QLatin1Char('-')))
                sign = QStringLiteral("-");
            exp = exp.mid(1);
        }
        while (exp.size() > 1 && exp.startsWith(QLatin1Char('0')))
            exp = exp.mid(1);
        s = mant + QLatin1Char('E') + sign + exp;
    }
    return withSeparator(s, fmt);
}

QString FormatFixed(double v, int precision, int decimals, const NumberFormat &fmt)
{
    if (!std::isfinite(v) || std::abs(v) >= std::pow(10.0, precision))
        return FormatGeneral(v, fmt);
    return withSeparator(QString::number(v, 'f', decimals), fmt);
}

double ParseNumber(const QString &text, const NumberFormat &fmt, bool *ok, double fallback)
{
    QString t = text.trimmed();
    if (fmt.decimalSeparator != '.')
        t.replace(QLatin1Char(fmt.decimalSeparator), QLatin1Char('.'));
    bool good = false;
    const double v = QLocale::c().toDouble(t, &good);
    if (ok)
        *ok = good;
    return good ? v : fallback;
}

} // namespace vibrolan::app
