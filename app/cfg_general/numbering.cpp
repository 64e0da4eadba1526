#include "cfg_general/numbering.hpp"

#include <algorithm>
#include <cmath>

namespace vibrolan::app {

namespace {

int positiveMod(long long a, int n) { return static_cast<int>(((a % n) + n) % n); }

bool sameBlade(const QString &a, const QString &b)
{
    bool okA = false, okB = false;
    const int na = a.trimmed().toInt(&okA);
    const int nb = b.trimmed().toInt(&okB);
    return okA && okB ? na == nb : a.trimmed() == b.trimmed();
}

} // namespace

QStringList IdentityNumbering(int n)
{
    QStringList out;
    for (int k = 1; k <= n; ++k)
        out << QString::number(k);
    return out;
}

QStringList NumberingByAngle(int n, double fi, bool reverse)
{
    QStringList out;
    if (n <= 0 || !std::isfinite(fi))
        return out;
    const auto shift = static_cast<long long>(std::trunc(fi / 360.0 * n));
    for (int s = 0; s < n; ++s) {
        const long long v =
            reverse ? static_cast<long long>(n) - s + shift : static_cast<long long>(s) + n - shift;
        out << QString::number(positiveMod(v, n) + 1);
    }
    return out;
}

bool RotateToFirstBlade(QStringList &list, const QString &blade)
{
    const auto it =
        std::find_if(list.begin(), list.end(), [&](const QString &t) { return sameBlade(t, blade); });
    if (it == list.end())
        return false;
    std::rotate(list.begin(), it, list.end());
    return true;
}

} // namespace vibrolan::app
