// The options of the whole-run workloads: the size of the run, the folder its
// files go to, and whether they are kept afterwards.
#pragma once

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

namespace vibrolan::bench {

struct ScratchOptions {
    double size = 0; // the value of the size option (a scale or seconds)
    std::filesystem::path dir;
    bool keep = false;
};

// Reads `sizeOption VALUE`, `--dir DIR` and `--keep`; prints the usage of
// `program` and gives nothing for anything else.
inline std::optional<ScratchOptions> parseScratchOptions(int argc, char **argv, const char *program,
                                                         const char *sizeOption, double defaultSize)
{
    ScratchOptions o;
    o.size = defaultSize;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == sizeOption && i + 1 < argc) {
            const char *v = argv[++i];
            const auto [end, ec] = std::from_chars(v, v + std::strlen(v), o.size);
            if (ec != std::errc() || *end != '\0')
                return std::fprintf(stderr, "%s: %s needs a number\n", program, sizeOption), std::nullopt;
        } else if (a == "--dir" && i + 1 < argc) {
            o.dir = argv[++i];
        } else if (a == "--keep") {
            o.keep = true;
        } else {
            std::fprintf(stderr, "usage: %s [%s N] [--dir DIR] [--keep]\n", program, sizeOption);
            return std::nullopt;
        }
    }
    return o;
}

} // namespace vibrolan::bench
