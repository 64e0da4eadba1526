// Blade numbering of a sensor pair: for each pulse position after the
// revolution mark, the one-based number of the blade that passes, as text.
#pragma once

#include <QStringList>

namespace vibrolan::app {

// 1 ... n.
QStringList IdentityNumbering(int n);

// The numbering of a pair at angle `fi` degrees on a stage of n blades:
// shift = fi / 360 * n truncated toward zero; position s gets
// ((s + n - shift) mod n) + 1 for direct counting and ((n - s + shift) mod n) + 1
// for reverse counting. Empty for n <= 0.
QStringList NumberingByAngle(int n, double fi, bool reverse);

// Rotates the list so that `blade` comes first, keeping the cyclic order.
// False (list unchanged) when the blade does not occur in it.
bool RotateToFirstBlade(QStringList &list, const QString &blade);

} // namespace vibrolan::app
