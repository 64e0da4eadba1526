// A scratch folder for one fuzzer process, on tmpfs when there is one so that
// the file writes of the data-file code stay fast.
#pragma once

#include <filesystem>
#include <string>
#include <unistd.h>

namespace vibrolan::fuzz {

inline const std::filesystem::path &scratchDir(const char *name)
{
    static const std::filesystem::path dir = [name] {
        std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        auto d = base / ("vibrolan-fuzz-" + std::string(name) + "-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

inline void emptyDir(const std::filesystem::path &dir)
{
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(dir, ec))
        std::filesystem::remove_all(entry.path(), ec);
}

} // namespace vibrolan::fuzz
