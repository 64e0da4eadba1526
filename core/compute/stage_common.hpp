// Pieces shared by the free-blade and shrouded-blade stage computations.
#pragma once

#include "compute/stage_calc.hpp"
#include "compute/stall_windows.hpp"

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

    template <typename Filter> void filter(Filter &&pass)
    {
        if (settled_)
            return;
        if (pass(freq_) == 0)
            settled_ = true;
        else
            plan_.reset();
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
};

// Mean of the blade means per enabled pair and every blade's deviation from it.
void PairDeviations(TStage &st);
// Correlation matrix (lower triangle) of the deviation vectors of all pairs and
// the largest deviation difference per blade.
void StageAggregates(TStage &st);

} // namespace vibrolan::stage_detail
