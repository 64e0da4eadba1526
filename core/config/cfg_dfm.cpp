#include "config/cfg_dfm.hpp"

#include "config/program_folder.hpp"

namespace vibrolan {

std::span<float> TPair::AmplSeries(std::size_t b)
{
    auto &block = Ampl.at(b);
    const std::size_t skip = std::min(block.size(), static_cast<std::size_t>(AmplOffs.at(b) / 4));
    return std::span<float>(block).subspan(skip);
}

std::span<const float> TPair::AmplSeries(std::size_t b) const
{
    const auto &block = Ampl.at(b);
    const std::size_t skip = std::min(block.size(), static_cast<std::size_t>(AmplOffs.at(b) / 4));
    return std::span<const float>(block).subspan(skip);
}

void TPair::RebuildImpuls(std::size_t countBlade)
{
    for (std::size_t k = 0; k < countBlade && k < NumberBlade.size(); ++k)
        if (NumberBlade[k] < Impuls.size())
            Impuls[NumberBlade[k]] = static_cast<std::uint16_t>(k);
}

void TPair::FreeData()
{
    Freq = {};
    UTS_Time = {};
    Time = {};
    histgrms.release();
    Ampl.release();
    MiddleLine.release();
    Velocity.release();
    Stress.release();
    ResonanceCurve.release();
    StallingOscill.release();
    CmprssResnceCurve.release();
    AmplOffs.release();
}

void TStage::FreeData()
{
    for (auto &pair : Pairs)
        pair.FreeData();
    Xnom.reset();
    Snom.reset();
}

void TCfgDfm::FreeData()
{
    for (auto &stage : Stages)
        stage.FreeData();
}

void TCfgDfm::InitDefault()
{
    Mode = TMode::mdDynamic;
    CountStage = 1;
    FileName.clear();

    TStage &st = Stages[0];
    st.NameStage = "St№1";
    st.TypeStage = TTypeStage::tsBandag;
    st.Diametr = 1000.0;
    st.CountBlade = 20;
    st.CountPairs = 1;
    st.FResonance.Bottom = 1800.0;
    st.FResonance.DeltaTop = 0.01;

    CountSensors = 3;
    Sensors[0].NameSensor = "K";
    Sensors[0].Chan = 1;
    Sensors[0].TypeSensor = TTypeSensor::srRoot;
    Sensors[1].NameSensor = "P";
    Sensors[1].Chan = 2;
    Sensors[1].TypeSensor = TTypeSensor::srPeak;
    Sensors[2].NameSensor = "O";
    Sensors[2].Chan = 0;
    Sensors[2].TypeSensor = TTypeSensor::srTaho;

    TPair &pair = st.Pairs[0];
    pair.NamePair = "Pair№1";
    pair.Peak = 1;
    pair.fi = 0;
    pair.Base = 50.0F;
    pair.TachoShift = 0;
    pair.Checked = true;

    st.TachoComb.sensNumber = 2;
    st.TachoComb.divisor = 0;

    for (std::uint16_t k = 0; k < 20; ++k)
        pair.NumberBlade[k] = k;

    LoTaho = 1.0;
    HiTaho = 20.0;
    LoAmpl = 1.0;
    HiAmpl = 5.0;

    NmPopravk = ProgramFolderFile("popravk.dat");
    NmSnom = ProgramFolderFile("snom.dat");
    NmXnom = ProgramFolderFile("xnom.dat");
    NmSnomFree = ProgramFolderFile("snomfree.dat");

    Method = 0;
    RunTahoByBlade = false;
}

} // namespace vibrolan
