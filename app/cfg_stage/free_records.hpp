// The working records of the free-blade editor: one per free stage with its
// harmonics, which the editor keeps unchanged and writes back on OK together
// with the inlet and outlet angles shared by all free stages.
#pragma once

#include "config/cfg_dfm.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vibrolan::app {

struct TFreeRecord {
    std::uint16_t Stage = 0; // index in TCfgDfm::Stages
    std::string Name;        // the stage's name, for the selector
    std::int32_t CountHarm = 0;
    std::array<std::uint16_t, kMaxHarmonics> OrderHarm{};
};

class TFreeRecords {
public:
    // One record per free stage among the configured ones, in stage order;
    // the first (if any) selected.
    void Load(const TCfgDfm &cfg);
    // Every listed free stage gets its record's harmonics and the two angles.
    void Store(TCfgDfm &cfg, float bIn, float bOut) const;
    void Clear();

    const std::vector<TFreeRecord> &Items() const { return items_; }
    int Selected() const { return selected_; }
    void Select(int index);
    // The stage index of the last free stage, -1 when there is none.
    int LastStage() const;

private:
    std::vector<TFreeRecord> items_;
    int selected_ = -1;
};

} // namespace vibrolan::app
