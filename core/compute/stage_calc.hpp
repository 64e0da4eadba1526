// The stage computation: from the per-revolution blade displacements of every
// enabled sensor pair to the middle line, velocity, stress, resonance curve,
// stall oscillation, per-blade statistics and the stage's correlation matrix.
// All inputs and results live in the configuration object.
#pragma once

#include "compute/series_stats.hpp"
#include "config/cfg_dfm.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace vibrolan {

// Called after every blade of every enabled pair with the 1-based blade number.
using TBladeProgress = std::function<void(std::uint16_t blade)>;

// Where the computation is: after blade `Blade` (1-based) of `Blades` of pair
// `Pair` of stage `Stage` (0-based); `Done` of `Total` blade series of the
// whole computation are finished.
struct TCalcPosition {
    std::size_t Stage = 0, Pair = 0;
    std::uint16_t Blade = 0, Blades = 0;
    std::size_t Done = 0, Total = 0;
};
using TCalcPositionFn = std::function<void(const TCalcPosition &)>;

struct TCalcOptions {
    // Blades are computed on this many threads (0: one per core). Every blade
    // series is computed on its own, so the results do not depend on it.
    unsigned Threads = 1;
    // Called on the calling thread with every blade's progress, in blade order.
    TCalcPositionFn Position;
    // Every fit made on its own for every blade, as the plain loop does: the
    // results are the same; the tests compare the planned fits with it.
    bool Straightforward = false;
};

// Computes every free and shrouded stage in order; other stage kinds are left
// untouched. All stages are checked first (ValueError: counts beyond the
// record capacities, series shorter than the pair's Size, in run-through mode
// a speed step dN that is not a positive number or too fine for a pair's
// speed range), so a refused configuration changes nothing.
void CalcStages(TCfgDfm &cfg, const TBladeProgress &progress = {}, const TCalcOptions &options = {});

// One free-blade stage (TypeStage tsFree) / one shrouded stage (tsBandag).
// The same checks as above are made for the stage before anything is written.
void CalcFreeStage(TCfgDfm &cfg, std::size_t stage, const TBladeProgress &progress = {},
                   const TCalcOptions &options = {});
void CalcBandagStage(TCfgDfm &cfg, std::size_t stage, const TBladeProgress &progress = {},
                     const TCalcOptions &options = {});

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
// The same from the statistics of a and F (SeriesStats of each).
float CalcStationarySwing(const TSeriesStats &sa, const TSeriesStats &sf, double beta, double D, float K,
                          float b1, float &stStallingOscill, float &stStress);

} // namespace vibrolan
