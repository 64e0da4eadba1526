// The memory a run will need, estimated before it starts, against what the
// process may still take, so that a run too large for the machine is refused
// with a clear message instead of failing midway on an allocation.
//
// The estimate: the recording's image (a .bld is mapped: it counts against an
// address-space limit but not against free memory; a .bldx is read and
// unpacked) and the per-revolution series of every checked pair. Revolutions are estimated from the record
// count and the pulses a revolution brings on the configured channels (each blade sensor one per blade, the
// tacho its marks); channels the configuration does not use make the estimate lower, never higher, so a run
// is not refused for them.
#pragma once

#include "base/errors.hpp"
#include "config/cfg_dfm.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace vibrolan {

class OutOfMemoryError : public Error {
public:
    using Error::Error;
};

// The run holds its memory in three phases, one after the other: a .bldx is
// read and unpacked (file and image), the pass assembles revolutions (image or
// mapping, and the pass's series), the stage computation adds its series
// (the image is released by then). The need is the largest phase.
struct RunMemoryNeed {
    std::uint64_t mappedBytes = 0;         // a mapped .bld
    std::uint64_t compressedBytes = 0;     // a .bldx file while it is unpacked
    std::uint64_t imageBytes = 0;          // the unpacked .bldx image
    std::uint64_t passSeriesBytes = 0;     // Freq, Time, UTS_Time, deflections of the checked pairs
    std::uint64_t computedSeriesBytes = 0; // what the stage computation adds
    std::uint64_t revolutions = 0;         // estimated from the record count

    std::uint64_t heapBytes() const
    {
        return std::max({compressedBytes + imageBytes, imageBytes + passSeriesBytes,
                         passSeriesBytes + computedSeriesBytes});
    }
    std::uint64_t addressSpaceBytes() const { return std::max(heapBytes(), mappedBytes + passSeriesBytes); }
};

struct MemoryBudget {
    // What the process may still allocate, when bounded; nothing: no bound known.
    std::optional<std::uint64_t> addressSpace; // RLIMIT_AS less what is in use
    std::optional<std::uint64_t> memory;       // free memory, or the control group's rest when lower
    std::string memoryLimitName = "free memory";
};

// Estimates the run of `cfg` over its recording (cfg.FileName). Throws FileError
// when the recording cannot be opened; a data-file input needs no estimate (zero).
RunMemoryNeed EstimateRunMemory(const TCfgDfm &cfg);

// What this process may take now (/proc, the resource limit, the cgroup).
MemoryBudget CurrentMemoryBudget();

// Throws OutOfMemoryError naming the need and what is available when the need
// does not fit the budget.
void CheckRunMemory(const RunMemoryNeed &need, const MemoryBudget &budget);

// EstimateRunMemory + CheckRunMemory with the current budget.
void CheckMemoryForRun(const TCfgDfm &cfg);

} // namespace vibrolan
