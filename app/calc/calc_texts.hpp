// Texts shared by the calculator's pages.
#pragma once

#include <QString>

namespace vibrolan::app {

// Shown for a blade or a result that the data leave without a value.
inline QString NoDataText() { return QStringLiteral("нет данных"); }

// `name` with its extension replaced by ".txt" (added when there is none).
QString WithTxtExtension(const QString &name);

} // namespace vibrolan::app
