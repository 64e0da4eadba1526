// The graph kinds of the result plots and the axis titles that go with them.
#pragma once

#include "config/cfg_ordinals.hpp"

#include <QString>
#include <QStringList>

namespace vibrolan::app {

// Items of the graph-kind list for a mode.
QStringList GraphKindItems(TMode mode);
QString YAxisTitle(TMode mode, int kind);
// freqUnit: the selected "RPM"/"Hz" item; axesTaho: frequency is the abscissa.
QString XAxisTitle(TMode mode, int kind, bool axesTaho, const QString &freqUnit);
// "RPM" divides by 1, "Hz" by 60: 59 * item + 1.
inline double FrequencyDivisor(int unitItem) { return 59.0 * unitItem + 1.0; }

} // namespace vibrolan::app
