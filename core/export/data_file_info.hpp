// A readable summary of a data file (ZAMI data set or PRAX file): what the
// open command would take from it, channel by channel.
#pragma once

#include "output/data_file_env.hpp"

#include <filesystem>
#include <string>

namespace vibrolan {

// Opens the file read-only; FileError / FormatError when it cannot be read.
std::string DescribeDataFile(const std::filesystem::path &file, const DataFileEnv &env = {});

} // namespace vibrolan
