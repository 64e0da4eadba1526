// A small hand-made result set for the report tests: one free stage of three
// blades and three pairs, of which the middle one is not checked.
#pragma once

#include "config/cfg_dfm.hpp"

#include <cfloat>
#include <string>

namespace vibrolan::test {

inline std::string sp(std::size_t n) { return std::string(n, ' '); }

inline void SetBlades(LazyArray<float, 256> &a, float b0, float b1, float b2)
{
    a[0] = b0;
    a[1] = b1;
    a[2] = b2;
}

inline TCfgDfm ReportFixture()
{
    TCfgDfm cfg;
    cfg.CountStage = 1;
    cfg.Mode = TMode::mdDynamic;
    TStage &st = cfg.Stages[0];
    st.NameStage = "Ст1";
    st.TypeStage = TTypeStage::tsFree;
    st.CountBlade = 3;
    st.CountPairs = 3;
    st.FResonance = {1800.0, 0.01};

    TPair &p0 = st.Pairs[0];
    TPair &p1 = st.Pairs[1];
    TPair &p2 = st.Pairs[2];
    p0.NamePair = "П1";
    p1.NamePair = "Pair2";
    p2.NamePair = "P3";
    p0.Checked = true;
    p2.Checked = true;
    p0.NumberBlade[0] = 2; // slot labels 3, 1, 2
    p0.NumberBlade[1] = 0;
    p0.NumberBlade[2] = 1;

    SetBlades(p0.Mean, 1.5f, -0.25f, 12.345678f);
    SetBlades(p2.Mean, 0.125f, 2.0f, -3.0f);
    SetBlades(p0.RMS, 0.12345f, 1.0f, 0.5f);
    SetBlades(p2.RMS, 2.5f, 0.0f, 0.333333f);
    SetBlades(p0.Deviation, -1.0f, 0.5f, 0.5f);
    SetBlades(p2.Deviation, 0.25f, -0.125f, -0.125f);
    p0.PairResAmplitude[0] = 0.5;
    p0.PairResAmplitude[1] = 1.23456789;
    p0.PairResAmplitude[2] = 0.0;
    p2.PairResAmplitude[0] = 2.0;
    p2.PairResAmplitude[1] = 3.0;
    p2.PairResAmplitude[2] = 4.0;
    SetBlades(p0.lopmin, -1.0f, 0.5f, 2.0f);
    SetBlades(p0.lopmax, 1.5f, 0.75f, 3.25f);
    // A pair without samples keeps the run's range sentinels.
    SetBlades(p2.lopmin, FLT_MAX, FLT_MAX, FLT_MAX);
    SetBlades(p2.lopmax, -FLT_MAX, -FLT_MAX, -FLT_MAX);
    SetBlades(p0.stStallingOscill, 10.5f, 20.25f, 0.0001f);
    SetBlades(p2.stStallingOscill, 1.0f, 2.0f, 3.0f);

    // The unchecked pair's values must never be printed.
    for (LazyArray<float, 256> *a : {&p1.Mean, &p1.RMS, &p1.Deviation, &p1.lopmax, &p1.stStallingOscill})
        SetBlades(*a, 99.0f, 99.0f, 99.0f);
    p1.PairResAmplitude[0] = 99.0;

    st.Correlation[0][0] = 1.0;
    st.Correlation[0][1] = 7.0; // upper triangle: not printed
    st.Correlation[1][0] = 0.5;
    st.Correlation[1][1] = 1.0;
    st.Correlation[2][0] = -0.98765;
    st.Correlation[2][1] = 0.0;
    st.Correlation[2][2] = 1.0;

    st.CountHarm = 2;
    st.OrderHarm[0] = 1;
    st.OrderHarm[1] = 12;
    st.Harm[0][0] = {1.5f, -2.25f};
    st.Harm[1][0] = {10.125f, 0.5f};
    st.Harm[0][2] = {123.456f, 7.0f};
    st.Harm[1][2] = {-0.004f, 0.006f};
    st.HarmStage[0] = {1.0f, 2.0f, 3.0f};
    st.HarmStage[1] = {-1.5f, 0.25f, 100.0f};
    return cfg;
}

} // namespace vibrolan::test
