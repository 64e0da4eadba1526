// Signal files as the conversion opens them: the first byte picks the kind
// (a sound file, or a raw-data sidecar beside a fixed data file), the rest is
// the file. Opening and reading every block must end in a typed error or
// success, never in a crash, a hang or a read out of bounds.
#include "base/errors.hpp"
#include "toa/signal_source.hpp"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// A folder of this process's own, removed at exit.
struct Folder {
    std::filesystem::path dir;
    Folder()
        : dir(std::filesystem::temp_directory_path() / ("vibrolan-fuzz-toa-" + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "d.bin", std::ios::binary) << std::string(96, '\x41');
    }
    ~Folder()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

const std::filesystem::path &folder()
{
    static const Folder f;
    return f.dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    const char *names[] = {"in.wav", "in.json", "in.rf64"};
    const auto file = folder() / names[data[0] % 3];
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(data + 1), static_cast<std::streamsize>(size - 1));
    try {
        auto s = vibrolan::toa::openSignalFile(file);
        std::vector<std::vector<float>> block;
        for (int i = 0; i < 64 && s->read(4096, block) > 0; ++i) {
        }
    } catch (const vibrolan::Error &) {
    }
    return 0;
}
