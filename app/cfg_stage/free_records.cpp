#include "cfg_stage/free_records.hpp"

#include "cfg_stage/stage_kinds.hpp"

namespace vibrolan::app {

void TFreeRecords::Load(const TCfgDfm &cfg)
{
    Clear();
    for (const std::uint16_t s : StagesOfKind(cfg, TTypeStage::tsFree)) {
        const TStage &st = cfg.Stages[s];
        items_.push_back(TFreeRecord{s, st.NameStage, ClampedHarmonicCount(st.CountHarm), st.OrderHarm});
    }
    selected_ = items_.empty() ? -1 : 0;
}

void TFreeRecords::Store(TCfgDfm &cfg, float bIn, float bOut) const
{
    for (const TFreeRecord &r : items_) {
        TStage &st = cfg.Stages.at(r.Stage);
        st.CountHarm = r.CountHarm;
        st.OrderHarm = r.OrderHarm;
        st.BIn = bIn;
        st.BOut = bOut;
    }
}

void TFreeRecords::Clear()
{
    items_.clear();
    selected_ = -1;
}

void TFreeRecords::Select(int index)
{
    selected_ = index >= 0 && static_cast<std::size_t>(index) < items_.size() ? index : -1;
}

int TFreeRecords::LastStage() const { return items_.empty() ? -1 : items_.back().Stage; }

} // namespace vibrolan::app
