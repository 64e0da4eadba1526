// Numbers as the read-outs and progress windows show them, with the
// regional decimal separator handed in (never read from global state).
#pragma once

#include "base/number_format.hpp"

#include <QLocale>
#include <QString>

namespace vibrolan::app {

// The regional formats of a Qt locale, for the report and the read-outs.
NumberFormat RegionalNumberFormat(const QLocale &locale = QLocale());

// General format: up to 15 significant digits, no trailing zeros,
// an exponent ("1.5E-5") only for very large or small values.
QString FormatGeneral(double v, const NumberFormat &fmt);
// Fixed format with `decimals` decimals; values that need more than
// `precision` integer digits fall back to the general format.
QString FormatFixed(double v, int precision, int decimals, const NumberFormat &fmt);
// Reads a number written with either "." or the format's separator; an
// empty or unreadable text gives `fallback` and ok = false.
double ParseNumber(const QString &text, const NumberFormat &fmt, bool *ok = nullptr, double fallback = 0);

} // namespace vibrolan::app
