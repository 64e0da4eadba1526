// Picture -> configuration: parse and check everything, then write.
#include "base/number_text.hpp"
#include "cfg_general/picture_exchange.hpp"
#include "compute/split_at.hpp"

#include <cfloat>
#include <cmath>

namespace vibrolan::app {

namespace {

constexpr int kMaxNumberingValue = 65536; // a blade number minus one must fit a Word

// Collects the problems of one row, each naming the row and the column.
class RowCheck {
public:
    RowCheck(QStringList &problems, QString where) : problems_(problems), where_(std::move(where)) {}
    void bad(const QString &column, const QString &what, const QString &text)
    {
        problems_ << QStringLiteral("%1, столбец «%2»: %3 (введено «%4»)").arg(where_, column, what, text);
    }
    std::optional<long long> integer(const QString &column, const QString &text, long long lo, long long hi)
    {
        const auto v = ReadInteger(text);
        if (!v || *v < lo || *v > hi) {
            bad(column, QStringLiteral("нужно целое число от %1 до %2").arg(lo).arg(hi), text);
            return std::nullopt;
        }
        return v;
    }
    // A number that must be given.
    std::optional<double> number(const QString &column, const QString &text, const NumberFormat &fs)
    {
        const auto v = ReadFloat(text, fs);
        if (!v || std::abs(*v) > FLT_MAX) {
            bad(column, QStringLiteral("нужно число"), text);
            return std::nullopt;
        }
        return v;
    }
    // A number with a default for texts that are not numbers.
    double numberOr(const QString &column, const QString &text, const NumberFormat &fs, double fallback)
    {
        const auto v = ReadFloat(text, fs);
        if (!v)
            return fallback;
        if (std::abs(*v) > FLT_MAX) {
            bad(column, QStringLiteral("число слишком велико"), text);
            return fallback;
        }
        return *v;
    }

private:
    QStringList &problems_;
    QString where_;
};

QString rowName(const QString &kind, int rowIndex, const QString &caption)
{
    return QStringLiteral("%1 %2 «%3»").arg(kind).arg(rowIndex + 1).arg(caption);
}

bool completeRow(const PictureRow &row, int columns, const QString &where, QStringList &problems)
{
    if (row.cols.size() >= columns)
        return true;
    problems << where + QStringLiteral(": строка неполная");
    return false;
}

struct StageValues {
    std::uint16_t countBlade = 0, countCalibr = 0;
    double diametr = 1000;
    TTypeStage type = TTypeStage::tsFree;
    bool order = false;
    float kfSigma = 1.0f;
    std::uint8_t divisor = 0;
    double bottom = 0, deltaTop = 0;
    float calibr = 77.0f;
};

struct SensorValues {
    std::uint8_t chan = 0, first = 0;
    TTypeSensor type = TTypeSensor::srRoot;
};

struct PairValues {
    std::uint16_t skip = 0;
    float base = 50, shift = 0, fi = 0;
    std::vector<std::uint16_t> numbering; // zero-based blade numbers
};

StageValues parseStage(const PictureRow &row, int rowIndex, const NumberFormat &fs, QStringList &problems)
{
    StageValues v;
    const QString where = rowName(QStringLiteral("Ступень"), rowIndex, row.caption);
    if (!completeRow(row, kStageColumns, where, problems))
        return v;
    const QStringList titles = StageColumnTitles();
    RowCheck check(problems, where);
    std::string blades, calibr;
    if (SplitAt(row.cols[scBlades].toStdString(), blades, calibr, '/') == 0) {
        check.bad(titles[scBlades], QStringLiteral("нужно «число лопаток/число калибровочных лопаток»"),
                  row.cols[scBlades]);
    } else {
        if (auto n = check.integer(titles[scBlades], QString::fromStdString(blades), 0, 255))
            v.countBlade = static_cast<std::uint16_t>(*n);
        if (auto m = check.integer(titles[scBlades], QString::fromStdString(calibr), 0, 255))
            v.countCalibr = static_cast<std::uint16_t>(*m);
    }
    v.diametr = check.numberOr(titles[scDiametr], row.cols[scDiametr], fs, 1000.0);
    const auto kind = StageKindTexts().indexOf(row.cols[scType]);
    if (kind < 0)
        check.bad(titles[scType], QStringLiteral("неизвестный тип ступени"), row.cols[scType]);
    else
        v.type = static_cast<TTypeStage>(kind);
    v.order = row.cols[scOrder] == ReverseText();
    v.kfSigma = static_cast<float>(check.numberOr(titles[scKfSigma], row.cols[scKfSigma], fs, 1.0));
    if (row.cols[scDivisor].trimmed() == SignText())
        v.divisor = 254;
    else if (auto d = check.integer(titles[scDivisor], row.cols[scDivisor], 1, 255))
        v.divisor = static_cast<std::uint8_t>(*d - 1);
    const QString res = row.cols[scResonance];
    const auto sep = res.indexOf(ResonanceSeparator());
    if (sep < 0) {
        check.bad(titles[scResonance], QStringLiteral("нужно «от÷до»"), res);
    } else {
        const auto a = check.number(titles[scResonance], res.left(sep), fs);
        const auto b = check.number(titles[scResonance], res.mid(sep + 1), fs);
        if (a && b) {
            v.bottom = *a;
            v.deltaTop = *a > 0 ? (*b - *a) / *a : *a;
        }
    }
    v.calibr = static_cast<float>(check.numberOr(titles[scCalibr], row.cols[scCalibr], fs, 77.0));
    return v;
}

SensorValues parseSensor(const PictureRow &row, int rowIndex, QStringList &problems)
{
    SensorValues v;
    const QString where = rowName(QStringLiteral("Отметчик"), rowIndex, row.caption);
    if (!completeRow(row, kSensorColumns, where, problems))
        return v;
    const QStringList titles = SensorColumnTitles();
    RowCheck check(problems, where);
    if (auto c = check.integer(titles[ncChan], row.cols[ncChan].mid(kChannelPrefixLength), 1, 256))
        v.chan = static_cast<std::uint8_t>(*c - 1);
    const auto kind = SensorKindTexts().indexOf(row.cols[ncType]);
    if (kind < 0)
        check.bad(titles[ncType], QStringLiteral("неизвестный тип отметчика"), row.cols[ncType]);
    else
        v.type = static_cast<TTypeSensor>(kind);
    if (auto f = check.integer(titles[ncFirst], row.cols[ncFirst], 1, 256))
        v.first = static_cast<std::uint8_t>(*f - 1);
    return v;
}

PairValues parsePair(const PairRow &row, int rowIndex, const NumberFormat &fs, QStringList &problems)
{
    PairValues v;
    const QString where = rowName(QStringLiteral("Пара"), rowIndex, row.caption);
    if (!completeRow(row, kPairColumns, where, problems))
        return v;
    const QStringList titles = PairColumnTitles();
    RowCheck check(problems, where);
    if (auto s = check.integer(titles[pcSkip], row.cols[pcSkip], 0, 65535))
        v.skip = static_cast<std::uint16_t>(*s);
    v.base = static_cast<float>(check.numberOr(titles[pcBase], row.cols[pcBase], fs, 50.0));
    if (auto t = check.number(titles[pcTachoShift], row.cols[pcTachoShift], fs))
        v.shift = static_cast<float>(*t);
    if (auto f = check.number(titles[pcFi], row.cols[pcFi], fs))
        v.fi = static_cast<float>(*f);
    for (qsizetype j = 0; j < row.numbering.size(); ++j) {
        // A text that is not a number stands for blade 55; numbers below 1 for blade 1.
        long long b = ReadInteger(row.numbering[j]).value_or(55);
        if (b < 1)
            b = 1;
        if (b > kMaxNumberingValue) {
            problems << QStringLiteral("%1, нумерация, позиция %2: номер лопатки больше %3 (введено «%4»)")
                            .arg(where, QString::number(j), QString::number(kMaxNumberingValue),
                                 row.numbering[j]);
            b = 1;
        }
        v.numbering.push_back(static_cast<std::uint16_t>(b - 1));
    }
    return v;
}

std::uint16_t pointCount(const QString &text, const QString &label, QStringList &problems)
{
    const auto v = ReadInteger(text);
    if (!v)
        return 0;
    if (*v < 0 || *v > 0x7FFF) {
        problems << QStringLiteral("«%1»: нужно целое число от 0 до 32767 (введено «%2»)").arg(label, text);
        return 0;
    }
    return static_cast<std::uint16_t>(*v);
}

struct ParsedPicture {
    std::vector<StageValues> stages;
    std::vector<SensorValues> sensors;
    std::vector<PairValues> pairs;
    std::uint16_t thPoints = 0, mgPoints = 0;
    QStringList problems;
};

ParsedPicture parse(const CfgPicture &p, const NumberFormat &fs)
{
    ParsedPicture out;
    QStringList &problems = out.problems;
    if (p.stages.size() > static_cast<qsizetype>(kMaxStages))
        problems
            << QStringLiteral("Ступеней %1, допускается не больше %2").arg(p.stages.size()).arg(kMaxStages);
    if (p.sensors.size() > static_cast<qsizetype>(kMaxSensors))
        problems << QStringLiteral("Отметчиков %1, допускается не больше %2")
                        .arg(p.sensors.size())
                        .arg(kMaxSensors);
    for (qsizetype i = 0; i < p.stages.size(); ++i) {
        out.stages.push_back(parseStage(p.stages[i], static_cast<int>(i), fs, problems));
        QStringList pairs;
        if (CountPairsOfStage(p, p.stages[i].caption, pairs) > static_cast<int>(kMaxPairs))
            problems << rowName(QStringLiteral("Ступень"), static_cast<int>(i), p.stages[i].caption) +
                            QStringLiteral(": пар больше %1").arg(kMaxPairs);
    }
    for (qsizetype i = 0; i < p.sensors.size(); ++i)
        out.sensors.push_back(parseSensor(p.sensors[i], static_cast<int>(i), problems));
    for (qsizetype i = 0; i < p.pairs.size(); ++i) {
        const PairRow &r = p.pairs[i];
        out.pairs.push_back(parsePair(r, static_cast<int>(i), fs, problems));
        if (r.cols.size() > pcStage && StageRowByName(p, r.cols[pcStage]) < 0)
            problems << rowName(QStringLiteral("Пара"), static_cast<int>(i), r.caption) +
                            QStringLiteral(": ступень «%1» не найдена").arg(r.cols[pcStage]);
    }
    out.thPoints = pointCount(p.extra.thNumPoint, QStringLiteral("Точек (обороты)"), problems);
    out.mgPoints = pointCount(p.extra.mgNumPoint, QStringLiteral("Точек (амплитуда)"), problems);
    return out;
}

double numberOrZero(const QString &text, const NumberFormat &fs) { return ReadFloat(text, fs).value_or(0.0); }

} // namespace

QString PointOrComma(const QString &text, const NumberFormat &fs)
{
    QString out = text;
    qsizetype at = out.indexOf(QLatin1Char('.'));
    if (at < 0)
        at = out.indexOf(QLatin1Char(','));
    if (at >= 0)
        out[at] = QLatin1Char(fs.decimalSeparator);
    return out;
}

std::optional<double> ReadFloat(const QString &text, const NumberFormat &fs)
{
    bool ok = false;
    const double v = ParseNumber(PointOrComma(text.trimmed(), fs), fs, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<long long> ReadInteger(const QString &text)
{
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok, 10);
    return ok ? std::optional<long long>(v) : std::nullopt;
}

QStringList StageRowProblems(const PictureRow &row, int rowIndex, const NumberFormat &fs)
{
    QStringList problems;
    parseStage(row, rowIndex, fs, problems);
    return problems;
}

QStringList SensorRowProblems(const PictureRow &row, int rowIndex)
{
    QStringList problems;
    parseSensor(row, rowIndex, problems);
    return problems;
}

QStringList PairRowProblems(const PairRow &row, int rowIndex, const NumberFormat &fs)
{
    QStringList problems;
    parsePair(row, rowIndex, fs, problems);
    return problems;
}

QStringList PictureProblems(const CfgPicture &p, const NumberFormat &fs) { return parse(p, fs).problems; }

QString ProblemCaption() { return QStringLiteral("Ошибка в настройке"); }

void ShowProblems(const QStringList &problems, MessageSink &messages)
{
    constexpr qsizetype kShown = 12;
    QStringList lines = problems.mid(0, kShown);
    if (problems.size() > kShown)
        lines << QStringLiteral("… и ещё %1").arg(problems.size() - kShown);
    lines << QString() << QStringLiteral("Настройка не изменена.");
    messages.show(Message{ProblemCaption().toStdString(), lines.join(QLatin1Char('\n')).toStdString(),
                          Buttons::Ok, Severity::Warning});
}

bool WritePicture(const CfgPicture &p, TCfgDfm &cfg, const NumberFormat &fs, MessageSink &messages)
{
    const ParsedPicture v = parse(p, fs);
    if (!v.problems.isEmpty()) {
        ShowProblems(v.problems, messages);
        return false;
    }
    const ExtraPicture &e = p.extra;

    // 1. interval and mode
    cfg.dN = e.dN.trimmed().isEmpty() ? 1000.0 : ReadFloat(e.dN, fs).value_or(10.0);
    cfg.Mode = static_cast<TMode>(e.mode == 1 ? 1 : 0);
    if (cfg.Mode == TMode::mdDynamic && cfg.dN == 0) {
        cfg.dN = 10.0;
        messages.show(
            Message{"", "Интервал частот назначен по умолчанию", Buttons::YesNo, Severity::Information});
    }
    // 2. counts
    cfg.CountStage = static_cast<std::uint16_t>(p.stages.size());
    cfg.CountSensors = static_cast<std::uint16_t>(p.sensors.size());
    // 3. sensors
    for (qsizetype i = 0; i < p.sensors.size(); ++i) {
        TSensor &s = cfg.Sensors[static_cast<std::size_t>(i)];
        const SensorValues &sv = v.sensors[static_cast<std::size_t>(i)];
        s.NameSensor = p.sensors[i].caption.toStdString();
        s.Chan = sv.chan;
        s.TypeSensor = sv.type;
        s.firstbld = sv.first;
    }
    // 4. stages and their pairs
    for (qsizetype i = 0; i < p.stages.size(); ++i) {
        TStage &st = cfg.Stages[static_cast<std::size_t>(i)];
        const StageValues &sv = v.stages[static_cast<std::size_t>(i)];
        const PictureRow &row = p.stages[i];
        st.NameStage = row.caption.toStdString();
        st.CountBlade = sv.countBlade;
        st.CountCalibrBlade = sv.countCalibr;
        st.Diametr = sv.diametr;
        st.TypeStage = sv.type;
        st.OrderBlade = sv.order;
        st.KfSigma = sv.kfSigma;
        st.TachoComb.divisor = 0;
        // An unknown tacho name gives the low byte of 999 (231), as stored files have it.
        st.TachoComb.sensNumber = static_cast<std::uint8_t>(SensorByName(p, row.cols[scTacho]) & 0xFF);
        st.TachoComb.divisor = sv.divisor;
        st.FResonance.Bottom = sv.bottom;
        st.FResonance.DeltaTop = sv.deltaTop;
        st.CalibrLength = sv.calibr;
        QStringList rows;
        st.CountPairs = static_cast<std::uint16_t>(CountPairsOfStage(p, row.caption, rows));
        for (qsizetype k = 0; k < rows.size(); ++k) {
            const auto r = rows[k].toInt();
            const PairRow &pr = p.pairs[r];
            const PairValues &pv = v.pairs[static_cast<std::size_t>(r)];
            TPair &pair = st.Pairs[static_cast<std::size_t>(k)];
            pair.NamePair = pr.caption.toStdString();
            pair.Root = SensorByName(p, pr.cols[pcRoot]);
            pair.Peak = SensorByName(p, pr.cols[pcPeak]);
            pair.SkipBlade = pv.skip;
            pair.Base = pv.base;
            pair.TachoShift = pv.shift;
            pair.fi = pv.fi;
            pair.Calibre = pair.CalibreOld = 1.0f;
            pair.Checked = pr.checked;
            // A list shorter than the blade count (a pair moved to a larger
            // stage) is completed with the positions' own numbers.
            for (std::size_t j = 0; j < st.CountBlade; ++j)
                pair.NumberBlade[j] =
                    j < pv.numbering.size() ? pv.numbering[j] : static_cast<std::uint16_t>(j);
            pair.RebuildImpuls(st.CountBlade);
        }
    }
    // 5. files, guards, method, range, gates
    cfg.FileName = e.source.toStdString();
    cfg.NmSource = cfg.FileName;
    cfg.NmTarget = e.target.toStdString();
    cfg.LoTaho = numberOrZero(e.loTaho, fs);
    cfg.HiTaho = numberOrZero(e.hiTaho, fs);
    cfg.LoAmpl = numberOrZero(e.loAmpl, fs);
    cfg.HiAmpl = numberOrZero(e.hiAmpl, fs);
    cfg.Method = static_cast<std::uint16_t>(e.method < 0 ? 0 : e.method);
    cfg.Range._From = numberOrZero(e.rangeFrom, fs);
    cfg.Range._To = numberOrZero(e.rangeTo, fs);
    cfg.thNumPoint = static_cast<std::uint16_t>(v.thPoints | (e.thOn ? 0x8000 : 0));
    cfg.mgNumPoint = static_cast<std::uint16_t>(v.mgPoints | (e.mgOn ? 0x8000 : 0));
    cfg.NmMessage = e.message.toStdString();
    cfg.NmHolder = e.holder.toStdString();
    cfg.NmGates = e.gates.toStdString();
    cfg.UseGates = e.useGates;
    return true;
}

} // namespace vibrolan::app
