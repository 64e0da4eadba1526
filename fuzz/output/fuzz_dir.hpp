// A scratch folder for one fuzzer process, on tmpfs when there is one so that
// the file writes of the data-file code stay fast.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace vibrolan::fuzz {

// Removed when the process ends normally (a fuzzer that stops on a finding
// leaves it for inspection).
struct ScratchDir {
    std::filesystem::path path;
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    explicit ScratchDir(const char *name)
    {
        const std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        path = base / ("vibrolan-fuzz-" + std::string(name) + "-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
    }
    ~ScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

inline const std::filesystem::path &scratchDir(const char *name)
{
    static const ScratchDir dir(name);
    return dir.path;
}

// Writes `size` bytes of `data` to `file` (replacing it) and returns the file.
inline std::filesystem::path writeInput(const std::filesystem::path &file, const std::uint8_t *data,
                                        std::size_t size)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    return file;
}

inline void emptyDir(const std::filesystem::path &dir)
{
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(dir, ec))
        std::filesystem::remove_all(entry.path(), ec);
}

} // namespace vibrolan::fuzz
