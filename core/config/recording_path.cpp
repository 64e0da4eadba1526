#include "config/recording_path.hpp"

namespace vibrolan {

std::string ResolveRecordingPath(const std::string &stored, const std::filesystem::path &configFile)
{
    const std::filesystem::path name(stored);
    if (stored.empty() || name.is_absolute())
        return stored;
    const std::filesystem::path beside = configFile.parent_path() / name;
    std::error_code ec;
    if (!configFile.parent_path().empty() && std::filesystem::exists(beside, ec))
        return beside.string();
    return stored;
}

} // namespace vibrolan
