// Pieces shared by the free-blade and shrouded-blade stage computations.
#pragma once

#include "compute/detrend_poly.hpp"
#include "compute/series_stats.hpp"
#include "compute/stage_calc.hpp"
#include "compute/stall_separation.hpp"
#include "compute/stall_windows.hpp"

#include <functional>
#include <optional>

namespace vibrolan::stage_detail {

// The first n samples of a series block (the blocks are checked to be long
// enough before any computation starts).
inline std::span<float> head(TArrSingle &v, std::size_t n) { return std::span<float>(v).first(n); }

inline std::size_t seriesLength(const TPair &pair) { return static_cast<std::size_t>(pair.Size); }

// A pair's speed series, filtered again before every blade and cut into
// stall windows. A filter pass that changes nothing leaves a series that every
// further pass leaves alone too, so later passes are skipped; the windows
// depend only on the speed series and are found again only after it changed.
class TPairSpeed {
public:
    TPairSpeed(TPair &pair, double dN) : freq_(head(pair.Freq, seriesLength(pair))), dN_(dN) {}

    std::span<float> series() const { return freq_; }
    // No further filter pass can change the series.
    bool settled() const { return settled_; }
    // The quadratic fit over the series as it stands (the detrending of run-through mode).
    const TPolyPlan &fit()
    {
        if (!fit_)
            fit_.emplace(freq_, 2);
        return *fit_;
    }
    // The fits of the stall windows (plan(method) first).
    const TStallFits &windowFits(std::uint16_t method)
    {
        if (!fits_)
            fits_ = PlanStallFits(freq_, plan(method));
        return *fits_;
    }
    // What a pair's blades share, made before them: the windows and, unless
    // every fit is to be made on its own, the fits over the speeds and windows.
    void prepare(std::uint16_t method, bool planned)
    {
        (void)plan(method);
        if (planned) {
            (void)fit();
            if (method == kMethodPolynomial && freq_.size() > 2)
                (void)windowFits(method);
        }
    }
    // SeriesStats of the series as it stands.
    const TSeriesStats &stats()
    {
        if (!stats_)
            stats_ = SeriesStats(freq_);
        return *stats_;
    }

    template <typename Filter> void filter(Filter &&pass)
    {
        if (settled_)
            return;
        if (pass(freq_) == 0) {
            settled_ = true;
        } else {
            plan_.reset();
            stats_.reset();
            fit_.reset();
            fits_.reset();
        }
    }

    const TStallPlan &plan(std::uint16_t method)
    {
        if (!plan_) {
            if (method == 0) {
                plan_ = PlanStallWindows(freq_, dN_);
            } else {
                plan_.emplace();
                plan_->n = freq_.size();
            }
        }
        return *plan_;
    }

private:
    std::span<float> freq_;
    double dN_;
    bool settled_ = false;
    std::optional<TStallPlan> plan_;
    std::optional<TSeriesStats> stats_;
    std::optional<TPolyPlan> fit_;
    std::optional<TStallFits> fits_;
};

// The progress of a computation over one or more stages: the blade count of
// every pair and the position relayed to both kinds of listener.
struct TCalcProgressRelay {
    const TBladeProgress &blade;
    const TCalcOptions &options;
    std::size_t done = 0, total = 0;

    void after(std::size_t stage, std::size_t pair, std::size_t b, std::size_t blades);
};

// Blade series of the enabled pairs of a stage (what the progress counts).
std::size_t StageBladeSeries(const TStage &st);

// Runs job(b) for every blade b of a pair. The speed series is filtered
// before every blade as long as a pass changes it (filter is the pass; none
// when empty), as the plain blade loop does; the blades that see the same
// speed series run on the option's threads. What they share of the speed
// series (windows, statistics, planned fits) is made by `prepare` on the
// calling thread first. Progress is relayed in blade order on the calling thread.
void ForEachBlade(TPairSpeed &speed, std::size_t blades,
                  const std::function<std::size_t(std::span<float>)> &filter,
                  const std::function<void()> &prepare, TCalcProgressRelay &progress, std::size_t stage,
                  std::size_t pair, const std::function<void(std::size_t)> &job);

// The stall separation of blade b's stress over the pair's speeds, through
// the planned window fits where they are made (the same results).
void SeparateBladeStall(TPairSpeed &speed, const TCfgDfm &cfg, bool planned, TPair &pair, std::size_t b,
                        std::int32_t &interval);

// The stage computations with a progress relay shared by several stages.
void CalcFreeStageWith(TCfgDfm &cfg, std::size_t stage, TCalcProgressRelay &progress);
void CalcBandagStageWith(TCfgDfm &cfg, std::size_t stage, TCalcProgressRelay &progress);

// Mean of the blade means per enabled pair and every blade's deviation from it.
void PairDeviations(TStage &st);
// Correlation matrix (lower triangle) of the deviation vectors of all pairs and
// the largest deviation difference per blade.
void StageAggregates(TStage &st);

} // namespace vibrolan::stage_detail
