// The starter analysis configuration of a converted recording: its sensors,
// one stage with the tacho and the probe pairs the user named, and defaults
// for the rest that the configuration dialog then completes.
#pragma once

#include "config/cfg_dfm.hpp"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace vibrolan::toa {

struct StarterSensor {
    std::string name;
    int channel = 1; // 1-based recording channel
    TTypeSensor type = TTypeSensor::srPeak;
};

struct StarterStage {
    std::filesystem::path recording;
    std::vector<StarterSensor> sensors;
    int tachoSensor = 0; // index into sensors
    std::string name = "S1";
    int blades = 1;
    double diameterMm = 1000;
    std::vector<std::pair<int, int>> pairs; // (root, tip) indexes into sensors
    double seconds = 0;                     // length of the recording
};

// Fills `cfg` (after InitDefault). Throws ValueError for a blade count
// outside 1..255, more than the stage's pair slots or sensors.
void buildStarterConfig(const StarterStage &stage, TCfgDfm &cfg);

} // namespace vibrolan::toa
