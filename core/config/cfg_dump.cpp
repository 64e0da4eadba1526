#include "config/cfg_dump.hpp"

#include "base/terminal_text.hpp"
#include "config/cfg_dfm.hpp"
#include "config/cfg_rec_blade.hpp"

#include <algorithm>
#include <sstream>

namespace vibrolan {

namespace {

// Names come from the file: one line each, controls as escapes.
std::string quoted(const std::string &s) { return "\"" + EscapeControls(s) + "\""; }

std::string sensorRef(const TCfgDfm &cfg, std::size_t index)
{
    std::string out = std::to_string(index);
    if (index < std::min<std::size_t>(cfg.CountSensors, kMaxSensors))
        out += " " + quoted(cfg.Sensors[index].NameSensor);
    else
        out += " (no such sensor)";
    return out;
}

template <class E> std::string ordinal(E value, std::string_view text)
{
    std::string out = std::to_string(static_cast<int>(value));
    if (!text.empty())
        out += " " + quoted(std::string(text));
    else
        out += " (unknown)";
    return out;
}

std::string guard(std::uint16_t word)
{
    return std::to_string(word & 0x7FFF) + " points, " + ((word & 0x8000) != 0 ? "on" : "off");
}

} // namespace

std::string DescribeCfgDfm(const TCfgDfm &cfg)
{
    std::ostringstream os;
    os.imbue(std::locale::classic());
    os.precision(10);
    os << "signature: " << cfg.Signature << "\n";
    os << "recording: " << quoted(cfg.FileName) << "\n";
    os << "mode: " << ordinal(cfg.Mode, ModeText(cfg.Mode)) << "\n";

    const std::size_t sensors = std::min<std::size_t>(cfg.CountSensors, kMaxSensors);
    os << "sensors: " << sensors << "\n";
    for (std::size_t i = 0; i < sensors; ++i) {
        const TSensor &s = cfg.Sensors[i];
        os << "  sensor " << i << ": " << quoted(s.NameSensor) << ", channel " << s.Chan + 1 << ", kind "
           << ordinal(s.TypeSensor, TypeSensorText(s.TypeSensor)) << ", first blade " << s.firstbld + 1
           << "\n";
    }

    const std::size_t stages = std::min<std::size_t>(cfg.CountStage, kMaxStages);
    os << "stages: " << stages << "\n";
    for (std::size_t si = 0; si < stages; ++si) {
        const TStage &st = cfg.Stages[si];
        os << "  stage " << si << ": " << quoted(st.NameStage) << ", kind "
           << ordinal(st.TypeStage, TypeStageText(st.TypeStage)) << "\n";
        os << "    blades: " << st.CountBlade << ", calibration blades: " << st.CountCalibrBlade
           << ", numbering: " << (st.OrderBlade ? "Обратная" : "Прямая") << "\n";
        os << "    diameter: " << st.Diametr << " mm, calibre: " << st.CalibrLength
           << " mm, KfSigma: " << st.KfSigma << "\n";
        os << "    resonance band: " << st.FResonance.Bottom << " .. "
           << st.FResonance.Bottom * (1 + st.FResonance.DeltaTop) << " (DeltaTop " << st.FResonance.DeltaTop
           << ")\n";
        os << "    tacho: sensor " << sensorRef(cfg, st.TachoComb.sensNumber) << ", divisor "
           << (st.TachoComb.divisor == 254 ? std::string("sign.") : std::to_string(st.TachoComb.divisor + 1))
           << "\n";
        os << "    harmonics: " << st.CountHarm;
        for (int i = 0; i < std::clamp<int>(st.CountHarm, 0, kMaxHarmonics); ++i)
            os << (i == 0 ? ": " : " ") << st.OrderHarm[i];
        os << "\n";
        os << "    f1: " << st.f1 << ", allowed resonance stress: " << st.LimStressResonance
           << ", allowed stall stress: " << st.LimStressStill << ", inlet angle: " << st.BIn << "\n";
        const std::size_t pairs = std::min<std::size_t>(st.CountPairs, kMaxPairs);
        os << "    pairs: " << pairs << "\n";
        for (std::size_t pi = 0; pi < pairs; ++pi) {
            const TPair &p = st.Pairs[pi];
            os << "    pair " << pi << ": " << quoted(p.NamePair)
               << (p.Checked ? ", checked" : ", not checked") << "\n";
            os << "      root: sensor " << sensorRef(cfg, p.Root) << ", tip: sensor "
               << sensorRef(cfg, p.Peak) << "\n";
            os << "      skip: " << p.SkipBlade << ", base: " << p.Base << ", tacho shift: " << p.TachoShift
               << " deg, angle: " << p.fi << " deg\n";
            os << "      numbering:";
            for (std::size_t k = 0; k < std::min<std::size_t>(st.CountBlade, p.NumberBlade.size()); ++k)
                os << " " << p.NumberBlade[k] + 1;
            os << "\n";
        }
    }

    os << "options:\n";
    os << "  interval dN: " << cfg.dN << ", method: " << cfg.Method
       << (cfg.Method == 0   ? " (Полином)"
           : cfg.Method == 1 ? " (Ск. среднее)"
                             : "")
       << "\n";
    os << "  rotation guard: " << cfg.LoTaho << " .. " << cfg.HiTaho << ", " << guard(cfg.thNumPoint) << "\n";
    os << "  amplitude guard: " << cfg.LoAmpl << " .. " << cfg.HiAmpl << ", " << guard(cfg.mgNumPoint)
       << "\n";
    os << "  range: " << cfg.Range._From << " .. " << cfg.Range._To << " s\n";
    os << "  constants: f2 " << cfg.f2 << ", f3 " << cfg.f3 << ", f4 " << cfg.f4 << ", g1 " << cfg.g1
       << ", g2 " << cfg.g2 << ", g3 " << cfg.g3 << ", g4 " << cfg.g4 << ", g5 " << cfg.g5 << ", h1 "
       << cfg.h1 << ", h4 " << cfg.h4 << ", h5 " << cfg.h5 << "\n";
    os << "files:\n";
    os << "  source: " << quoted(cfg.NmSource) << "\n";
    os << "  target: " << quoted(cfg.NmTarget) << "\n";
    os << "  journal: " << quoted(cfg.NmMessage) << "\n";
    os << "  archive: " << quoted(cfg.NmHolder) << "\n";
    os << "  gates: " << quoted(cfg.NmGates) << (cfg.UseGates ? ", used" : ", not used") << "\n";
    return os.str();
}

std::string DescribeCfgRecBlade(const TCfgRecBlade &rec)
{
    std::ostringstream os;
    os.imbue(std::locale::classic());
    os.precision(10);
    os << "signature: " << rec.Signature << "\n";
    os << "recording: " << quoted(rec.FileName) << "\n";
    const std::size_t channels = std::min<std::size_t>(rec.ChannelCount(), kRecChannels);
    os << "channels: " << static_cast<int>(rec.ChannelCount()) << "\n";
    for (std::size_t i = 0; i < channels; ++i) {
        const auto kind = static_cast<TTypeSensor>(rec.TypeSensor[i] & 0xFF);
        os << "  channel " << i << ": number " << rec.Channels[i] << ", sensor " << quoted(rec.SensorName[i])
           << ", kind " << ordinal(kind, TypeSensorText(kind)) << ", gain/threshold " << rec.CompLevel[i]
           << "\n";
    }
    int n = 1;
    for (const TPair4rec *p : {&rec.Pair1, &rec.Pair2}) {
        os << "pair " << n++ << ": root " << p->Root << ", tip " << p->Peak << ", skip " << p->Skip
           << ", tacho " << p->OrderChanTacho << ", divisor " << p->divisorTacho << ", diameter "
           << p->Diametr << " mm, tacho shift " << p->ShiftTacho << " deg, Y " << p->MinY << " .. " << p->MaxY
           << (p->AutoScaleY ? " (auto)" : "") << "\n";
    }
    os << "blades: " << rec.CountBlade << ", numbering:";
    for (std::size_t i = 0; i < std::min<std::size_t>(rec.CountBlade, kRecNumbering); ++i)
        os << " " << rec.OrderBlade[i];
    os << "\nmarks: " << rec.CountImpuls << ", numbers:";
    for (std::size_t i = 0; i < std::min<std::size_t>(rec.CountImpuls, kRecNumbering); ++i)
        os << " " << rec.Impuls[i];
    os << "\ncomment: " << quoted(rec.Comm) << "\n";
    os << "axis: " << (rec.AxisX ? "blades" : "marks") << ", buffer size index: " << rec.SizeBuf << "\n";
    return os.str();
}

} // namespace vibrolan
