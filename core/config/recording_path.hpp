// Where a recording named in a configuration lies. A relative name is looked
// up beside the configuration first (a configuration moved together with its
// recording, as the signature files beside it are), then, as before, in the
// working directory.
#pragma once

#include <filesystem>
#include <string>

namespace vibrolan {

std::string ResolveRecordingPath(const std::string &stored, const std::filesystem::path &configFile);

} // namespace vibrolan
