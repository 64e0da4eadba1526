// Field-by-field comparison of what an .lfm file keeps.
#pragma once

#include "config/cfg_dfm.hpp"

#include <gtest/gtest.h>

namespace vibrolan::test {

inline void expectSamePersisted(const TCfgDfm &a, const TCfgDfm &b)
{
    EXPECT_EQ(a.FileName, b.FileName);
    ASSERT_EQ(a.CountSensors, b.CountSensors);
    for (std::size_t i = 0; i < a.CountSensors; ++i) {
        SCOPED_TRACE("sensor " + std::to_string(i));
        EXPECT_EQ(a.Sensors[i].NameSensor, b.Sensors[i].NameSensor);
        EXPECT_EQ(a.Sensors[i].firstbld, b.Sensors[i].firstbld);
        EXPECT_EQ(a.Sensors[i].Chan, b.Sensors[i].Chan);
        EXPECT_EQ(a.Sensors[i].TypeSensor, b.Sensors[i].TypeSensor);
    }
    ASSERT_EQ(a.CountStage, b.CountStage);
    for (std::size_t s = 0; s < a.CountStage; ++s) {
        SCOPED_TRACE("stage " + std::to_string(s));
        const TStage &x = a.Stages[s];
        const TStage &y = b.Stages[s];
        EXPECT_EQ(x.NameStage, y.NameStage);
        EXPECT_EQ(x.TypeStage, y.TypeStage);
        EXPECT_EQ(x.Diametr, y.Diametr);
        EXPECT_EQ(x.FResonance.Bottom, y.FResonance.Bottom);
        EXPECT_EQ(x.FResonance.DeltaTop, y.FResonance.DeltaTop);
        EXPECT_EQ(x.CountBlade, y.CountBlade);
        EXPECT_EQ(x.CountCalibrBlade, y.CountCalibrBlade);
        EXPECT_EQ(x.CountPairs, y.CountPairs);
        EXPECT_EQ(x.OrderBlade, y.OrderBlade);
        EXPECT_EQ(x.KfSigma, y.KfSigma);
        ASSERT_EQ(x.CountHarm, y.CountHarm);
        for (int i = 0; i < x.CountHarm; ++i)
            EXPECT_EQ(x.OrderHarm[i], y.OrderHarm[i]);
        EXPECT_EQ(x.f1, y.f1);
        EXPECT_EQ(x.LimStressResonance, y.LimStressResonance);
        EXPECT_EQ(x.LimStressStill, y.LimStressStill);
        EXPECT_EQ(x.BIn, y.BIn);
        EXPECT_EQ(x.CalibrLength, y.CalibrLength);
        EXPECT_EQ(x.TachoComb.AsWord(), y.TachoComb.AsWord());
        for (std::size_t p = 0; p < x.CountPairs; ++p) {
            SCOPED_TRACE("pair " + std::to_string(p));
            const TPair &u = x.Pairs[p];
            const TPair &v = y.Pairs[p];
            EXPECT_EQ(u.NamePair, v.NamePair);
            EXPECT_EQ(u.Root, v.Root);
            EXPECT_EQ(u.Peak, v.Peak);
            EXPECT_EQ(u.SkipBlade, v.SkipBlade);
            EXPECT_EQ(u.Base, v.Base);
            EXPECT_EQ(u.TachoShift, v.TachoShift);
            for (std::size_t k = 0; k < x.CountBlade; ++k)
                EXPECT_EQ(u.NumberBlade[k], v.NumberBlade[k]) << k;
            EXPECT_EQ(u.Checked, v.Checked);
            EXPECT_EQ(u.fi, v.fi);
        }
    }
    EXPECT_EQ(a.Mode, b.Mode);
    EXPECT_EQ(a.dN, b.dN);
    EXPECT_EQ(a.LoTaho, b.LoTaho);
    EXPECT_EQ(a.HiTaho, b.HiTaho);
    EXPECT_EQ(a.LoAmpl, b.LoAmpl);
    EXPECT_EQ(a.HiAmpl, b.HiAmpl);
    EXPECT_EQ(a.Method, b.Method);
    EXPECT_EQ(a.Range._From, b.Range._From);
    EXPECT_EQ(a.Range._To, b.Range._To);
    EXPECT_EQ(a.thNumPoint, b.thNumPoint);
    EXPECT_EQ(a.mgNumPoint, b.mgNumPoint);
    const float TCfgDfm::*constants[] = {&TCfgDfm::f2, &TCfgDfm::f3, &TCfgDfm::f4, &TCfgDfm::g1,
                                         &TCfgDfm::g2, &TCfgDfm::g3, &TCfgDfm::g4, &TCfgDfm::g5,
                                         &TCfgDfm::h1, &TCfgDfm::h4, &TCfgDfm::h5};
    for (auto field : constants)
        EXPECT_EQ(a.*field, b.*field);
    EXPECT_EQ(a.NmSource, b.NmSource);
    EXPECT_EQ(a.NmTarget, b.NmTarget);
    EXPECT_EQ(a.NmMessage, b.NmMessage);
    EXPECT_EQ(a.NmHolder, b.NmHolder);
    EXPECT_EQ(a.NmGates, b.NmGates);
    EXPECT_EQ(a.UseGates, b.UseGates);
}

} // namespace vibrolan::test
