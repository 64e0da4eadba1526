// Configuration -> picture.
#include "base/number_text.hpp"
#include "cfg_general/picture_exchange.hpp"
#include "config/cfg_ordinals.hpp"

#include <algorithm>

namespace vibrolan::app {

namespace {

QString qs(const std::string &s) { return QString::fromStdString(s); }
QString fixed(double v, int decimals, const NumberFormat &fs, int precision = 15)
{
    return FormatFixed(v, precision, decimals, fs);
}

std::size_t sensorCount(const TCfgDfm &cfg) { return std::min<std::size_t>(cfg.CountSensors, kMaxSensors); }

// The name of sensor i; empty for an index outside the configuration's sensors.
QString sensorName(const TCfgDfm &cfg, std::size_t i)
{
    return i < sensorCount(cfg) ? qs(cfg.Sensors[i].NameSensor) : QString();
}

} // namespace

QStringList StageColumns(const TStage &st, const TCfgDfm &cfg, const NumberFormat &fs)
{
    QStringList c;
    c << QString::number(st.CountBlade) + QLatin1Char('/') + QString::number(st.CountCalibrBlade);
    c << fixed(st.Diametr, 1, fs);
    c << QString::fromUtf8(TypeStageText(st.TypeStage).data(),
                           static_cast<qsizetype>(TypeStageText(st.TypeStage).size()));
    c << (st.OrderBlade ? ReverseText() : DirectText());
    c << FormatFixed(st.KfSigma, 7, 5, fs);
    c << sensorName(cfg, st.TachoComb.sensNumber);
    const int divisor = st.TachoComb.divisor + 1;
    c << (divisor == 255 ? SignText() : QString::number(divisor));
    c << fixed(st.FResonance.Bottom, 1, fs) + ResonanceSeparator() +
             fixed(st.FResonance.Bottom * (1 + st.FResonance.DeltaTop), 4, fs);
    c << FormatFixed(st.CalibrLength, 5, 1, fs);
    return c;
}

CfgPicture ReadPicture(const TCfgDfm &cfg, const NumberFormat &fs)
{
    CfgPicture p;
    const QStringList sensorKinds = SensorKindTexts();
    for (std::size_t i = 0; i < sensorCount(cfg); ++i) {
        const TSensor &s = cfg.Sensors[i];
        const auto kind = static_cast<qsizetype>(s.TypeSensor);
        p.sensors << PictureRow{qs(s.NameSensor),
                                {ChannelText(s.Chan + 1),
                                 kind < sensorKinds.size() ? sensorKinds[kind] : QString(),
                                 QString::number(s.firstbld + 1)}};
    }
    if (cfg.CountSensors > 0)
        for (int ch = 1; ch <= 26; ++ch)
            p.channels << ChannelText(ch);

    const std::size_t stages = std::min<std::size_t>(cfg.CountStage, kMaxStages);
    for (std::size_t s = 0; s < stages; ++s) {
        const TStage &st = cfg.Stages[s];
        p.stages << PictureRow{qs(st.NameStage), StageColumns(st, cfg, fs)};
        const std::size_t pairs = std::min<std::size_t>(st.CountPairs, kMaxPairs);
        const std::size_t blades = std::min<std::size_t>(st.CountBlade, 256);
        for (std::size_t k = 0; k < pairs; ++k) {
            const TPair &pr = st.Pairs[k];
            PairRow row;
            row.caption = qs(pr.NamePair);
            row.cols << sensorName(cfg, pr.Root) << sensorName(cfg, pr.Peak) << qs(st.NameStage)
                     << QString::number(pr.SkipBlade) << fixed(pr.Base, 1, fs) << fixed(pr.TachoShift, 1, fs)
                     << fixed(pr.fi, 2, fs);
            row.checked = pr.Checked;
            for (std::size_t j = 0; j < blades; ++j)
                row.numbering << QString::number(pr.NumberBlade[j] + 1);
            p.pairs << row;
        }
    }

    ExtraPicture &e = p.extra;
    e.mode = static_cast<int>(cfg.Mode);
    e.dN = FormatFixed(cfg.dN, 5, 1, fs);
    e.loTaho = fixed(cfg.LoTaho, 4, fs);
    e.hiTaho = fixed(cfg.HiTaho, 4, fs);
    e.loAmpl = fixed(cfg.LoAmpl, 4, fs);
    e.hiAmpl = fixed(cfg.HiAmpl, 4, fs);
    e.method = cfg.Method;
    e.rangeFrom = fixed(cfg.Range._From, 1, fs);
    e.rangeTo = fixed(cfg.Range._To, 1, fs);
    e.thNumPoint = QString::number(cfg.thNumPoint & 0x7FFF);
    e.thOn = (cfg.thNumPoint & 0x8000) != 0;
    e.mgNumPoint = QString::number(cfg.mgNumPoint & 0x7FFF);
    e.mgOn = (cfg.mgNumPoint & 0x8000) != 0;
    e.source = qs(cfg.NmSource);
    e.target = qs(cfg.NmTarget);
    e.message = qs(cfg.NmMessage);
    e.holder = qs(cfg.NmHolder);
    e.gates = qs(cfg.NmGates);
    e.useGates = cfg.UseGates;
    return p;
}

void CopyStageEditorValues(const TCfgDfm &from, TCfgDfm &to, std::size_t stages)
{
    stages = std::min(stages, kMaxStages);
    for (std::size_t s = 0; s < stages; ++s) {
        const TStage &a = from.Stages[s];
        TStage &b = to.Stages[s];
        b.CountHarm = a.CountHarm;
        b.OrderHarm = a.OrderHarm;
        b.f1 = a.f1;
        b.LimStressResonance = a.LimStressResonance;
        b.LimStressStill = a.LimStressStill;
        b.BIn = a.BIn;
    }
    to.f2 = from.f2;
    to.f3 = from.f3;
    to.f4 = from.f4;
    to.g1 = from.g1;
    to.g2 = from.g2;
    to.g3 = from.g3;
    to.g4 = from.g4;
    to.g5 = from.g5;
    to.h1 = from.h1;
    to.h4 = from.h4;
    to.h5 = from.h5;
}

} // namespace vibrolan::app
