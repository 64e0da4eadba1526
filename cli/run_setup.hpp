// Run setup shared by the commands that analyse a configuration.
#pragma once

#include "config/cfg_dfm.hpp"
#include "config/recording_path.hpp"
#include "recording/angle_gates.hpp"

#include <string>

namespace vibrolan::cli {

// Loads a configuration for a run: the defaults, then the file; a recording
// named on the command line replaces the configured one.
inline void loadRunConfig(TCfgDfm &cfg, const std::string &config, const std::string &recording)
{
    cfg.InitDefault();
    cfg.LoadFromFile(config);
    cfg.TypeFile = 0;
    // A recording named on the command line is relative to the working
    // directory; one named in the configuration is looked up beside it first.
    if (!recording.empty())
        cfg.FileName = recording;
    else
        cfg.FileName = ResolveRecordingPath(cfg.FileName, config);
}

// Why a run found no recording, and what to do.
inline std::string missingRecordingText(const TCfgDfm &cfg, const std::string &config)
{
    if (cfg.FileName.empty())
        return "the configuration " + config + " names no recording: give one with --recording FILE";
    return "the recording \"" + cfg.FileName + "\" does not exist (named by " + config +
           "); give the recording with --recording FILE";
}

// Loads the angle gates the configuration asks for.
inline void loadRunGates(const TCfgDfm &cfg, TAngleGates &gates)
{
    if (cfg.UseGates && !cfg.NmGates.empty())
        gates.File2Gates(TGateMode::New, cfg.NmGates);
}

} // namespace vibrolan::cli
