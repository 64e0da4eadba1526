// Which recording a file name names. The extension decides, in any letter
// case (recorders and copies between systems write ".BLDX" as well as
// ".bldx"), the same way in every command.
#pragma once

#include <filesystem>

namespace vibrolan {

// ".bldx" in any case: a compressed recording, unpacked before it is read.
bool IsCompressedRecordingName(const std::filesystem::path &file);
// ".bld" or ".bldx" in any case.
bool IsRecordingName(const std::filesystem::path &file);

} // namespace vibrolan
