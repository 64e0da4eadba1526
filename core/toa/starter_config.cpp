#include "toa/starter_config.hpp"

#include "base/errors.hpp"

namespace vibrolan::toa {

void buildStarterConfig(const StarterStage &in, TCfgDfm &cfg)
{
    if (in.blades < 1 || in.blades > static_cast<int>(kMaxBlades))
        throw ValueError("the blade count must lie between 1 and " + std::to_string(kMaxBlades));
    if (in.sensors.size() > kMaxSensors)
        throw ValueError("a configuration holds at most " + std::to_string(kMaxSensors) + " sensors");
    if (in.pairs.size() > kMaxPairs)
        throw ValueError("a stage holds at most " + std::to_string(kMaxPairs) + " pairs");
    if (!(in.diameterMm > 0))
        throw ValueError("the stage diameter must be positive");
    cfg.InitDefault();
    cfg.FileName = in.recording.string();
    cfg.NmSource = cfg.FileName;
    cfg.CountSensors = static_cast<std::uint16_t>(in.sensors.size());
    for (std::size_t i = 0; i < in.sensors.size(); ++i) {
        cfg.Sensors[i] = TSensor{};
        cfg.Sensors[i].NameSensor = in.sensors[i].name;
        cfg.Sensors[i].Chan = static_cast<std::uint8_t>(in.sensors[i].channel - 1);
        cfg.Sensors[i].TypeSensor = in.sensors[i].type;
    }
    cfg.CountStage = 1;
    TStage &st = cfg.Stages[0];
    st.NameStage = in.name;
    st.TypeStage = TTypeStage::tsFree;
    st.Diametr = in.diameterMm;
    st.CountBlade = static_cast<std::uint16_t>(in.blades);
    st.CountCalibrBlade = 0;
    st.KfSigma = 1.0F;
    st.CalibrLength = 7.0F;
    st.OrderBlade = false;
    st.FResonance.Bottom = 1800.0;
    st.FResonance.DeltaTop = 0.02;
    st.TachoComb.divisor = 0; // one tacho pulse per revolution
    st.TachoComb.sensNumber = static_cast<std::uint8_t>(in.tachoSensor);
    st.CountPairs = static_cast<std::uint16_t>(in.pairs.size());
    for (std::size_t k = 0; k < in.pairs.size(); ++k) {
        TPair &pr = st.Pairs[k];
        pr.NamePair = "Pa" + std::to_string(k + 1);
        pr.Root = static_cast<std::uint16_t>(in.pairs[k].first);
        pr.Peak = static_cast<std::uint16_t>(in.pairs[k].second);
        pr.SkipBlade = 0;
        pr.Base = 50.0F;
        pr.TachoShift = 0;
        for (int b = 0; b < in.blades; ++b)
            pr.NumberBlade[static_cast<std::size_t>(b)] = static_cast<std::uint16_t>(b);
        pr.RebuildImpuls(static_cast<std::size_t>(in.blades));
        pr.Checked = true;
        pr.Calibre = pr.CalibreOld = 1.0F;
    }
    // A run-up or run-down over the whole recording in steps of 50 rpm.
    cfg.Mode = TMode::mdDynamic;
    cfg.dN = 50;
    cfg.Method = 0;
    cfg.Range._From = 0;
    cfg.Range._To = in.seconds + 60;
}

} // namespace vibrolan::toa
