#include "cfg_general/cfg_picture.hpp"

#include "recording/opening_channels.hpp"

#include "config/cfg_ordinals.hpp"

namespace vibrolan::app {

namespace {

template <std::size_t N> QStringList textsOf(const std::array<std::string_view, N> &texts)
{
    QStringList out;
    for (const std::string_view t : texts)
        out << QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
    return out;
}

} // namespace

QString ChannelText(int oneBased)
{
    return QString::fromStdString(ChannelLabel(static_cast<unsigned>(oneBased)));
}

QStringList StageKindTexts() { return textsOf(kTypeStageTexts); }
QStringList SensorKindTexts() { return textsOf(kTypeSensorTexts); }
QStringList ModeTexts() { return textsOf(kModeTexts); }
QStringList MethodTexts() { return {QStringLiteral("Полином"), QStringLiteral("Ск. среднее")}; }

QString IntervalLabel(int method)
{
    return method == 1 ? QStringLiteral("Интервал 1/2, тчк.") : QStringLiteral("Интервал, об/мин.");
}

QString DirectText() { return QStringLiteral("Прямая"); }
QString ReverseText() { return QStringLiteral("Обратная"); }
QString SignText() { return QStringLiteral("sign."); }
QChar ResonanceSeparator() { return QChar(0x00F7); }

QStringList StageColumnTitles()
{
    return {QStringLiteral("Лопатки"),    QStringLiteral("Диаметр"),  QStringLiteral("Тип"),
            QStringLiteral("Счет"),       QStringLiteral("К - т"),    QStringLiteral("Тахоотметчик"),
            QStringLiteral("делит.тахо"), QStringLiteral("Резонанс"), QStringLiteral("Калибр")};
}

QStringList SensorColumnTitles()
{
    return {QStringLiteral("Канал"), QStringLiteral("Тип"), QStringLiteral("Нач.Лопатка")};
}

QStringList PairColumnTitles()
{
    return {QStringLiteral("Корень"),   QStringLiteral("Вершина"),
            QStringLiteral("Ступень"),  QStringLiteral("Пропустить лопаток"),
            QStringLiteral("База"),     QStringLiteral("Сдвиг тахо,гр"),
            QStringLiteral("Угол,град")};
}

ChoiceLists DeriveChoiceLists(const QList<PictureRow> &sensors)
{
    const QStringList kinds = SensorKindTexts();
    ChoiceLists c;
    c.unifiedTime = QStringLiteral("ОТСУТСТВУЕТ");
    for (const PictureRow &s : sensors) {
        const int kind = s.cols.size() > ncType ? static_cast<int>(kinds.indexOf(s.cols[ncType])) : -1;
        switch (static_cast<TTypeSensor>(kind)) {
        case TTypeSensor::srRoot:
        case TTypeSensor::srRoot_cap:
            c.roots << s.caption;
            break;
        case TTypeSensor::srPeak:
        case TTypeSensor::srPeak_cap:
            c.tips << s.caption;
            break;
        case TTypeSensor::srInEdge:
        case TTypeSensor::srOutEdge:
            c.roots << s.caption;
            c.tips << s.caption;
            break;
        case TTypeSensor::srTaho:
            c.roots << s.caption;
            c.tachos << s.caption;
            break;
        case TTypeSensor::srUTS:
        case TTypeSensor::srIRIG_B:
            c.unifiedTime = s.caption;
            break;
        }
    }
    return c;
}

namespace {

template <class Rows> QStringList captionsOf(const Rows &rows)
{
    QStringList out;
    for (const auto &r : rows)
        out << r.caption;
    return out;
}

// The last row of that caption, kNotFound when none has it.
template <class Rows> std::uint16_t lastRowCalled(const Rows &rows, const QString &name)
{
    std::uint16_t found = kNotFound;
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (rows[i].caption == name)
            found = static_cast<std::uint16_t>(i);
    return found;
}

} // namespace

QStringList StageNames(const CfgPicture &p) { return captionsOf(p.stages); }

QStringList PairNames(const CfgPicture &p) { return captionsOf(p.pairs); }

int StageRowByName(const CfgPicture &p, const QString &name)
{
    for (qsizetype i = 0; i < p.stages.size(); ++i)
        if (p.stages[i].caption == name)
            return static_cast<int>(i);
    return -1;
}

std::uint16_t SensorByName(const CfgPicture &p, const QString &name) { return lastRowCalled(p.sensors, name); }

std::uint16_t PairIndexByName(const CfgPicture &p, const QString &name) { return lastRowCalled(p.pairs, name); }

int CountPairsOfStage(const CfgPicture &p, const QString &stageName, QStringList &list)
{
    int count = 0;
    for (qsizetype i = 0; i < p.pairs.size(); ++i) {
        const PairRow &r = p.pairs[i];
        if (r.cols.size() > pcStage && r.cols[pcStage] == stageName) {
            list << QString::number(i);
            ++count;
        }
    }
    return count;
}

int StageBladeCount(const PictureRow &stage)
{
    if (stage.cols.size() <= scBlades)
        return -1;
    const QString text = stage.cols[scBlades];
    bool ok = false;
    const int n = text.section(QLatin1Char('/'), 0, 0).trimmed().toInt(&ok);
    return ok ? n : -1;
}

bool StageIsReverse(const PictureRow &stage)
{
    return stage.cols.size() > scOrder && stage.cols[scOrder] == ReverseText();
}

} // namespace vibrolan::app
