// The rotation-speed curve of a stage straight from the tacho pulses of the
// recording, without the blade pass: one point per tacho pulse inside the
// configuration's time window.
#pragma once

#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "run/pulse_pass.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vibrolan {

// At most this many points per stage.
inline constexpr std::size_t kMaxTachoPoints = 1000001;

// Computes the curve of stage `s` from the recording cfg.FileName into
// `times` (seconds from the first tacho pulse) and `speeds` (revolutions per
// minute), `count` points; the buffers grow in steps of 1024 points. A
// compressed recording (".bldx") is unpacked first; damaged blocks are
// reported through `sink`. Throws FileError when the recording cannot be
// read and FormatError for a malformed header. No tacho pulse at all gives
// an empty curve; a pulse that does not lie after the previous one (a step
// backwards of the counter) gives no point and is not taken as the previous
// pulse; the curve ends at kMaxTachoPoints points.
void TachoRead(const TCfgDfm &cfg, std::size_t s, std::uint32_t &count, const TPassProgress &progress,
               std::vector<float> &times, std::vector<float> &speeds, MessageSink &sink);

struct TTachoCurve {
    std::vector<float> TachoTime, TachoSpeed; // exactly RevCount points each
    std::uint32_t RevCount = 0;
};

// The curve of every stage of the configuration, in stage order.
std::vector<TTachoCurve> TachoReadAll(const TCfgDfm &cfg, const TPassProgress &progress, MessageSink &sink);

} // namespace vibrolan
