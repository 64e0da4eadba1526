#include "plots/graph_kinds.hpp"

namespace vibrolan::app {

QStringList GraphKindItems(TMode mode)
{
    const QString items =
        mode == TMode::mdStatic
            ? QStringLiteral("Расстояние,Амплитуда,Скорость,Напряжение,Срывные,Плотн.распр.")
            : QStringLiteral("Расстояние,Амплитуда,Скорость,Напряжение,Срывные,Сжатый,резерв");
    return items.split(QLatin1Char(','));
}

QString YAxisTitle(TMode mode, int kind)
{
    switch (kind) {
    case 0:
    case 1:
        return QStringLiteral("мм");
    case 2:
        return QStringLiteral("мм/с");
    case 3:
        return QStringLiteral("кгс/мм*мм");
    case 5:
        return mode == TMode::mdStatic ? QStringLiteral("плотность") : QString();
    default:
        return {};
    }
}

QString XAxisTitle(TMode mode, int kind, bool axesTaho, const QString &freqUnit)
{
    if (mode == TMode::mdStatic)
        return kind == 5 ? QStringLiteral("mm") : QStringLiteral("sec");
    return axesTaho ? freqUnit : QStringLiteral("sec");
}

} // namespace vibrolan::app
