// The stage computation: from the per-revolution blade displacements of every
// enabled sensor pair to the middle line, velocity, stress, resonance curve,
// stall oscillation, per-blade statistics and the stage's correlation matrix.
// All inputs and results live in the configuration object.
#pragma once

#include "config/cfg_dfm.hpp"

#include <cstdint>
#include <functional>
#include <span>

namespace vibrolan {

// Called after every blade of every enabled pair with the 1-based blade number.
using TBladeProgress = std::function<void(std::uint16_t blade)>;

// Computes every free and shrouded stage in order; other stage kinds are left
// untouched. All stages are checked first (ValueError: counts beyond the
// record capacities, series shorter than the pair's Size, in run-through mode
// a speed step dN that is not a positive number or too fine for a pair's
// speed range), so a refused configuration changes nothing.
void CalcStages(TCfgDfm &cfg, const TBladeProgress &progress = {});

// One free-blade stage (TypeStage tsFree) / one shrouded stage (tsBandag).
// The same checks as above are made for the stage before anything is written.
void CalcFreeStage(TCfgDfm &cfg, std::size_t stage, const TBladeProgress &progress = {});
void CalcBandagStage(TCfgDfm &cfg, std::size_t stage, const TBladeProgress &progress = {});

// Refuses (ValueError) what would make the computation of the stage read out
// of bounds or never finish.
void CheckStageInputs(const TCfgDfm &cfg, std::size_t stage);

// Per-blade kinematics shared by both stage kinds. beta in degrees, D in mm.

// velocity[i] := (a[i] / m[i]) (D / 2) (π F[i] / 30) cos β, 0 where m[i] = 0;
// stress[i] := K velocity[i]. n = velocity.size().
void CalcVelocityStress(std::span<const float> a, std::span<const float> m, std::span<const float> F,
                        double beta, double D, float K, std::span<float> velocity, std::span<float> stress);

// The stationary swing of the (not yet detrended) displacement a:
// stStallingOscill := cos β · π · mean(F) · (amax − amin) · D / |120 · amean|
// (0 when amean = 0); stStress := K · stStallingOscill only when the swing is
// symmetric within b1 (1 − b1 < r < 1 + b1), otherwise it keeps its value.
// Returns amean.
float CalcStationarySwing(std::span<const float> a, std::span<const float> F, double beta, double D, float K,
                          float b1, float &stStallingOscill, float &stStress);

} // namespace vibrolan
