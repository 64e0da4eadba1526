#include "cfg_stage/stage_numbers.hpp"

#include "base/number_text.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace vibrolan::app {

QString SingleText(float v, const NumberFormat &fmt)
{
    if (!std::isfinite(v))
        return FormatGeneral(v, fmt);
    // The shortest decimal that reads back as v, then as a double so the
    // general format prints those digits and no more.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    double d = v;
    std::from_chars(buf, res.ptr, d); // never the locale's separator, unlike strtod
    return FormatGeneral(d, fmt);
}

QString Fixed2Text(float v, const NumberFormat &fmt) { return FormatFixed(v, 7, 2, fmt); }

QString Fixed5x1Text(float v, const NumberFormat &fmt) { return FormatFixed(v, 5, 1, fmt); }

std::optional<float> ReadSingle(const QString &text, const NumberFormat &fmt)
{
    const QString t = text.trimmed();
    // With "." as separator a comma could only be a group separator, which
    // would silently turn "1,5" into 15.
    if (t.isEmpty() || (fmt.decimalSeparator != ',' && t.contains(QLatin1Char(','))))
        return std::nullopt;
    bool ok = false;
    const double v = ParseNumber(t, fmt, &ok);
    if (!ok || !std::isfinite(v) || std::abs(v) > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(v);
}

float ReadSingleOrZero(const QString &text, const NumberFormat &fmt)
{
    return ReadSingle(text, fmt).value_or(0.0f);
}

std::optional<std::uint16_t> ReadOrder(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    bool ok = false;
    const uint v = t.toUInt(&ok);
    if (!ok || v > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(v);
}

} // namespace vibrolan::app
