// NAME.modes.csv: the truth of every blade's vibration modes, one row per
// stage, component and blade (resonances in the scenario's order, then the
// stall, then the flutter):
//
//   stage,blade,kind,engine_order,natural_hz,damping_ratio,amplitude_mm,speed_rpm,time_s,
//   steady_amplitude_mm,steady_speed_rpm,frequency_hz,frequency_end_hz,nodal_diameter,
//   mean_amplitude_mm,time_from_s,time_to_s
//
// Columns a row's kind does not have stay empty. "." decimals always.
// - stage, blade: one-based, as the program shows them.
// - kind: resonance, stall or flutter.
// - engine_order, natural_hz (the blade's undamped natural frequency with its
//   mistuning), damping_ratio: the resonance's. For a stall natural_hz is the
//   frequency the blades see (rotating frame) at the segment's start, for a
//   flutter the mode's frequency.
// - amplitude_mm: the peak zero-to-peak amplitude in mm (the unit of the
//   stage diameter) over the recording. Resonance, transient response: the
//   largest |x| of the simulated response; steady response: the steady-state
//   peak F / (2 zeta sqrt(1 - zeta^2)) where the speed range reaches it, else
//   the response at the nearest end of the range. Stall, flutter: the largest
//   envelope over the segment.
// - speed_rpm, time_s: the speed and the instant of that peak (steady
//   response: the first instant the speed profile reaches the peak's speed).
// - steady_amplitude_mm, steady_speed_rpm (resonance): the steady-state peak
//   and its speed 60 f_n sqrt(1 - 2 zeta^2) / EO, whether the run reaches it
//   or not; with the transient response the difference to amplitude_mm and
//   speed_rpm is what the sweep does.
// - frequency_hz, frequency_end_hz, nodal_diameter (stall, flutter): the
//   pattern as the casing sees it, A sin(2 pi f t - 2 pi nd p + c) at the
//   circumferential place p (turns, in the direction of rotation): f >= 0
//   the frequency in the stationary frame at the segment's start and end,
//   nd signed, positive when the pattern travels with the rotation (at the
//   start). A blade, at p = theta - b / N (blade b trails blade 0), sees
//   f - nd * speed / 60. On N blades nd is defined modulo N.
// - mean_amplitude_mm (stall, flutter): the envelope's mean over the segment.
// - time_from_s, time_to_s (stall, flutter): the component's segment within the recording.
#pragma once

#include "sim/blade_motion.hpp"
#include "sim/scenario.hpp"
#include "sim/shaft.hpp"

#include <string>
#include <vector>

namespace vibrolan::sim {

std::string modesTruthCsv(const Scenario &sc, const Shaft &shaft,
                          const std::vector<const BladeMotion *> &motion);

} // namespace vibrolan::sim
