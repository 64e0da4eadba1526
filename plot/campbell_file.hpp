// The Campbell diagram as a picture file, for the command line: drawn by
// CampbellPlot on a Qt application of its own when the process has none
// (offscreen unless QT_QPA_PLATFORM says otherwise: no display needed).
#pragma once

#include "identify/identify.hpp"

#include <filesystem>

namespace vibrolan::plot {

// Writes a PNG of `width` x `height` pixels, whole or not at all. Throws
// FileError when it cannot be written.
void saveCampbellPng(const identify::IdentifyResult &result, const std::filesystem::path &file,
                     int width = 1200, int height = 800);

} // namespace vibrolan::plot
