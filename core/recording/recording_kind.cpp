#include "recording/recording_kind.hpp"

#include <algorithm>
#include <cctype>
#include <string>

namespace vibrolan {

namespace {

std::string lowerExtension(const std::filesystem::path &file)
{
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

} // namespace

bool IsCompressedRecordingName(const std::filesystem::path &file) { return lowerExtension(file) == ".bldx"; }

bool IsRecordingName(const std::filesystem::path &file)
{
    const std::string ext = lowerExtension(file);
    return ext == ".bld" || ext == ".bldx";
}

} // namespace vibrolan
