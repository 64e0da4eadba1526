// The folder of the running program, where the default correction files and
// the recorder's test recording name live.
#pragma once

#include <filesystem>
#include <string>

namespace vibrolan {

std::filesystem::path ProgramFolder();

// ProgramFolder() joined with `name`, as UTF-8 text.
std::string ProgramFolderFile(const std::string &name);

} // namespace vibrolan
