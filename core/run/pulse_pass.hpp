// The state of one pulse pass over a recording image that the processing run
// sets up and the revolution assembly walks: the record range, the tick
// scale, the tacho divisor or detector, the time-code decoder, the gates and
// the two pulse buffers shared by all pairs.
#pragma once

#include "recording/angle_gates.hpp"
#include "recording/tacho_detector.hpp"
#include "recording/time_code_automat.hpp"
#include "recording/tindex.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <span>

namespace vibrolan {

inline constexpr std::size_t kPulseBufferSize = 510;
inline constexpr double kPi = 3.1415926535897932385;

// Called once per tacho mark with (Total, Position, Time, Speed, Distance):
// the end of the pass, the record of the mark, the revolution's start time in
// seconds, its speed in revolutions per minute and the last deflection.
using TPassProgress = std::function<void(std::int64_t Total, std::int64_t Position, double Time, double Speed,
                                         double Distance)>;

struct TPulsePass {
    std::span<const std::uint8_t> RecImage; // the whole recording, header included
    std::uint64_t FirstRec = 0;             // first record slot
    std::uint64_t RecCount = 0;             // end (exclusive) of the pass
    double TickPeriod = 2.5e-8;
    double SpeedFactor = 60.0 / 2.5e-8;
    int TachoDivisor = 1;                    // 255: the detector decides
    TTachoDetector *Detector = nullptr;      // not owned; only with TachoDivisor 255
    int TimeChan = -1;                       // channel of the time code, -1 none
    TUnTimeAutomat *TimeDecoder = nullptr;   // not owned
    TAngleGates *Gates = nullptr;            // not owned; consulted when the configuration's UseGates is set
    std::array<std::uint32_t, 5> RevCount{}; // marks found per stage
    std::array<std::uint32_t, kPulseBufferSize> RootTicks{};
    std::array<std::uint32_t, kPulseBufferSize> PeakTicks{};

    // Record k of the image; callers keep k below the image's slot count.
    TIndex record(std::uint64_t k) const { return loadRecord(RecImage.data() + k * 6); }
    std::uint64_t slotCount() const { return RecImage.size() / 6; }
};

} // namespace vibrolan
