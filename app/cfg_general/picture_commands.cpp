#include "cfg_general/picture_commands.hpp"

#include "cfg_general/numbering.hpp"
#include "cfg_general/picture_exchange.hpp"
#include "config/cfg_dfm.hpp"

#include <algorithm>

namespace vibrolan::app {

namespace {

bool validRow(qsizetype row, qsizetype size) { return row >= 0 && row < size; }

void tell(MessageSink &messages, const QString &caption, const QString &text)
{
    messages.show(Message{caption.toStdString(), text.toStdString(), Buttons::Ok, Severity::Warning});
}

bool refuseProblems(const QStringList &problems, MessageSink &messages)
{
    if (problems.isEmpty())
        return false;
    ShowProblems(problems, messages);
    return true;
}

// True (after telling) when another row than `self` carries `name`.
template <typename Row>
bool nameTaken(const QList<Row> &rows, const QString &name, qsizetype self, const QString &what,
               MessageSink &messages)
{
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (i != self && rows[i].caption == name) {
            tell(messages, QStringLiteral("Повтор имени"),
                 QStringLiteral("%1 «%2» уже имеется").arg(what, name));
            return true;
        }
    return false;
}

bool emptyName(const QString &name, const QString &what, MessageSink &messages)
{
    if (!name.trimmed().isEmpty())
        return false;
    tell(messages, QStringLiteral("Нет имени"), QStringLiteral("Задайте имя: %1").arg(what));
    return true;
}

// The numbering a pair gets on the stage named in its row.
QStringList numberingFor(const CfgPicture &p, const PairRow &row, const NumberFormat &fs)
{
    const int s = StageRowByName(p, row.cols[pcStage]);
    const int n = s < 0 ? 0 : std::max(0, StageBladeCount(p.stages[s]));
    return NumberingByAngle(n, ReadFloat(row.cols[pcFi], fs).value_or(0.0),
                            s >= 0 && StageIsReverse(p.stages[s]));
}

// Checks a pair row that is to be taken in; true when it may.
bool pairAcceptable(const CfgPicture &p, const PairRow &row, qsizetype self, const NumberFormat &fs,
                    MessageSink &messages)
{
    if (emptyName(row.caption, QStringLiteral("пара"), messages) ||
        nameTaken(p.pairs, row.caption, self, QStringLiteral("Пара"), messages))
        return false;
    const int s = StageRowByName(p, row.cols[pcStage]);
    if (s < 0) {
        tell(messages, QStringLiteral("Нет ступени"),
             QStringLiteral("Ступень «%1» не найдена: выберите ступень пары").arg(row.cols[pcStage]));
        return false;
    }
    if (StageBladeCount(p.stages[s]) < 0) {
        tell(messages, QStringLiteral("Нет ступени"),
             QStringLiteral("У ступени «%1» не задано число лопаток").arg(row.cols[pcStage]));
        return false;
    }
    return !refuseProblems(PairRowProblems(row, static_cast<int>(self < 0 ? p.pairs.size() : self), fs),
                           messages);
}

} // namespace

Message LimitMessage(int count, const QString &suffix)
{
    return Message{"достигнут предел",
                   (QStringLiteral("уже имеется ") + QString::number(count) + suffix).toStdString(),
                   Buttons::Ok, Severity::Warning};
}

PictureRow StageRowFromEditors(const StageEditors &e)
{
    return PictureRow{e.name,
                      {e.blades.trimmed() + QLatin1Char('/') + e.calibrBlades.trimmed(), e.diameter, e.kind,
                       e.direction, e.kfSigma, e.tacho, e.divisor,
                       e.resBottom.trimmed() + ResonanceSeparator() + e.resTop.trimmed(), e.calibre}};
}

StageEditors StageEditorsFromRow(const PictureRow &row)
{
    StageEditors e;
    e.name = row.caption;
    if (row.cols.size() < kStageColumns)
        return e;
    e.blades = row.cols[scBlades].section(QLatin1Char('/'), 0, 0);
    e.calibrBlades = row.cols[scBlades].section(QLatin1Char('/'), 1);
    e.diameter = row.cols[scDiametr];
    e.kind = row.cols[scType];
    e.direction = row.cols[scOrder];
    e.kfSigma = row.cols[scKfSigma];
    e.tacho = row.cols[scTacho];
    e.divisor = row.cols[scDivisor];
    e.resBottom = row.cols[scResonance].section(ResonanceSeparator(), 0, 0);
    e.resTop = row.cols[scResonance].section(ResonanceSeparator(), 1);
    e.calibre = row.cols[scCalibr];
    return e;
}

bool AddStage(CfgPicture &p, const StageEditors &e, const NumberFormat &fs, MessageSink &messages)
{
    if (p.stages.size() >= static_cast<qsizetype>(kMaxStages)) {
        messages.show(LimitMessage(static_cast<int>(kMaxStages), QStringLiteral(" ступеней")));
        return false;
    }
    const PictureRow row = StageRowFromEditors(e);
    if (emptyName(row.caption, QStringLiteral("ступень"), messages) ||
        nameTaken(p.stages, row.caption, -1, QStringLiteral("Ступень"), messages) ||
        refuseProblems(StageRowProblems(row, static_cast<int>(p.stages.size()), fs), messages))
        return false;
    p.stages << row;
    return true;
}

bool ChangeStage(CfgPicture &p, int row, const StageEditors &e, const NumberFormat &fs, MessageSink &messages)
{
    if (!validRow(row, p.stages.size()))
        return false;
    const PictureRow changed = StageRowFromEditors(e);
    if (emptyName(changed.caption, QStringLiteral("ступень"), messages) ||
        nameTaken(p.stages, changed.caption, row, QStringLiteral("Ступень"), messages) ||
        refuseProblems(StageRowProblems(changed, row, fs), messages))
        return false;
    const QString oldName = p.stages[row].caption;
    const int oldCount = StageBladeCount(p.stages[row]);
    const int newCount = StageBladeCount(changed);
    p.stages[row] = changed;
    // Keeping a hand-made numbering when neither the name nor the blade count
    // changes: an edit of, say, the diameter must not lose it.
    if (oldName == changed.caption && oldCount == newCount)
        return true;
    for (PairRow &pr : p.pairs)
        if (pr.cols.size() > pcStage && pr.cols[pcStage] == oldName) {
            pr.cols[pcStage] = changed.caption;
            pr.numbering = IdentityNumbering(newCount);
        }
    return true;
}

bool StageHasPairs(const CfgPicture &p, int row)
{
    if (!validRow(row, p.stages.size()))
        return false;
    return std::any_of(p.pairs.begin(), p.pairs.end(), [&](const PairRow &pr) {
        return pr.cols.size() > pcStage && pr.cols[pcStage] == p.stages[row].caption;
    });
}

bool DeleteStage(CfgPicture &p, int row)
{
    if (!validRow(row, p.stages.size()) || StageHasPairs(p, row))
        return false;
    p.stages.removeAt(row);
    return true;
}

PictureRow SensorRowFromEditors(const SensorEditors &e)
{
    return PictureRow{e.name, {e.channel, e.kind, e.first.trimmed()}};
}

bool AddSensor(CfgPicture &p, const SensorEditors &e, MessageSink &messages)
{
    if (p.sensors.size() >= static_cast<qsizetype>(kMaxSensors)) {
        messages.show(LimitMessage(static_cast<int>(kMaxSensors), QStringLiteral(" отметчиков")));
        return false;
    }
    if (e.name.isEmpty())
        return false;
    const PictureRow row = SensorRowFromEditors(e);
    if (nameTaken(p.sensors, row.caption, -1, QStringLiteral("Отметчик"), messages) ||
        refuseProblems(SensorRowProblems(row, static_cast<int>(p.sensors.size())), messages))
        return false;
    p.sensors << row;
    return true;
}

bool ChangeSensor(CfgPicture &p, int row, const SensorEditors &e, MessageSink &messages)
{
    if (!validRow(row, p.sensors.size()) || GuardOfSensor(p, row).locked || e.name.isEmpty())
        return false;
    const PictureRow changed = SensorRowFromEditors(e);
    if (nameTaken(p.sensors, changed.caption, row, QStringLiteral("Отметчик"), messages) ||
        refuseProblems(SensorRowProblems(changed, row), messages))
        return false;
    p.sensors[row] = changed;
    return true;
}

bool DeleteSensor(CfgPicture &p, int row)
{
    if (!validRow(row, p.sensors.size()) || GuardOfSensor(p, row).locked)
        return false;
    p.sensors.removeAt(row);
    return true;
}

SensorGuard GuardOfSensor(const CfgPicture &p, int row)
{
    SensorGuard g;
    if (!validRow(row, p.sensors.size()))
        return g;
    const QString name = p.sensors[row].caption;
    for (const PictureRow &s : p.stages)
        if (s.cols.size() > scTacho && s.cols[scTacho] == name)
            g.isTacho = true;
    for (const PairRow &pr : p.pairs) {
        if (pr.cols.size() < kPairColumns || (pr.cols[pcRoot] != name && pr.cols[pcPeak] != name))
            continue;
        const int s = StageRowByName(p, pr.cols[pcStage]);
        const int n = s < 0 ? -1 : StageBladeCount(p.stages[s]);
        if (n > 0)
            g.maxFirstBlade = g.maxFirstBlade == 0 ? n : std::min(g.maxFirstBlade, n);
        g.locked = true;
    }
    g.locked = g.locked || g.isTacho;
    return g;
}

SensorGuard ApplySensorGuard(CfgPicture &p, int row)
{
    const SensorGuard g = GuardOfSensor(p, row);
    if (!g.locked || p.sensors[row].cols.size() <= ncFirst)
        return g;
    QString &first = p.sensors[row].cols[ncFirst];
    if (g.isTacho)
        first = QStringLiteral("1");
    else if (g.maxFirstBlade > 0 && ReadInteger(first).value_or(1) > g.maxFirstBlade)
        first = QString::number(g.maxFirstBlade);
    return g;
}

PairRow PairRowFromEditors(const PairEditors &e)
{
    PairRow r;
    r.caption = e.name;
    r.cols = {e.root,        e.peak, e.stage, e.skip.trimmed(), e.base.trimmed(), e.tachoShift.trimmed(),
              e.fi.trimmed()};
    r.checked = e.checked;
    return r;
}

PairEditors PairEditorsFromRow(const PairRow &row)
{
    PairEditors e;
    e.name = row.caption;
    e.checked = row.checked;
    if (row.cols.size() < kPairColumns)
        return e;
    e.root = row.cols[pcRoot];
    e.peak = row.cols[pcPeak];
    e.stage = row.cols[pcStage];
    e.skip = row.cols[pcSkip];
    e.base = row.cols[pcBase];
    e.tachoShift = row.cols[pcTachoShift];
    e.fi = row.cols[pcFi];
    return e;
}

bool AddPair(CfgPicture &p, const PairEditors &e, const NumberFormat &fs, MessageSink &messages)
{
    if (p.pairs.size() >= static_cast<qsizetype>(kMaxPairs)) {
        messages.show(LimitMessage(static_cast<int>(kMaxPairs), QStringLiteral(" пар  ")));
        return false;
    }
    PairRow row = PairRowFromEditors(e);
    if (!pairAcceptable(p, row, -1, fs, messages))
        return false;
    row.numbering = numberingFor(p, row, fs);
    p.pairs << row;
    return true;
}

bool ChangePair(CfgPicture &p, int row, const PairEditors &e, const NumberFormat &fs, MessageSink &messages)
{
    if (!validRow(row, p.pairs.size()))
        return false;
    PairRow changed = PairRowFromEditors(e);
    if (!pairAcceptable(p, changed, row, fs, messages))
        return false;
    changed.numbering = p.pairs[row].numbering;
    const int n = StageBladeCount(p.stages[StageRowByName(p, changed.cols[pcStage])]);
    if (changed.numbering.size() != n)
        changed.numbering = numberingFor(p, changed, fs);
    p.pairs[row] = changed;
    return true;
}

bool DeletePair(CfgPicture &p, int row)
{
    if (!validRow(row, p.pairs.size()))
        return false;
    p.pairs.removeAt(row);
    return true;
}

bool SetBladeNumber(PairRow &pair, int position, const QString &text, MessageSink &messages)
{
    if (!validRow(position, pair.numbering.size()))
        return false;
    const auto n = ReadInteger(text);
    if (!n || *n < 1 || *n > pair.numbering.size()) {
        tell(messages, ProblemCaption(),
             QStringLiteral("Номер лопатки: нужно целое число от 1 до %1 (введено «%2»)")
                 .arg(pair.numbering.size())
                 .arg(text));
        return false;
    }
    pair.numbering[position] = QString::number(*n);
    return true;
}

} // namespace vibrolan::app
