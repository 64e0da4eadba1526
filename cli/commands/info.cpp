// vibrolan-cli info FILE: a summary of an input file. The file kind is chosen
// by extension; each kind is one entry of the table below.
#include "command.hpp"

#include "base/errors.hpp"
#include "base/message_sink.hpp"
#include "export/data_file_info.hpp"
#include "recording/recording_info.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <ostream>

namespace {

using Describe = std::function<std::string(const std::filesystem::path &, vibrolan::MessageSink &)>;

struct FileKind {
    const char *extension; // lower case
    Describe describe;
};

const std::vector<FileKind> &fileKinds()
{
    static const std::vector<FileKind> kinds = {
        {".bld",
         [](const std::filesystem::path &f, vibrolan::MessageSink &sink) {
             return vibrolan::formatRecordingInfo(vibrolan::inspectRecording(f, false, sink));
         }},
        {".bldx",
         [](const std::filesystem::path &f, vibrolan::MessageSink &sink) {
             return vibrolan::formatRecordingInfo(vibrolan::inspectRecording(f, true, sink));
         }},
        // Data files: the data-file layer applies its own name rule (".Prx" is a ZAMI key file).
        {".zami", [](const std::filesystem::path &f,
                     vibrolan::MessageSink &) { return vibrolan::DescribeDataFile(f); }},
        {".prx", [](const std::filesystem::path &f,
                    vibrolan::MessageSink &) { return vibrolan::DescribeDataFile(f); }},
    };
    return kinds;
}

int runInfo(vibrolan::cli::CommandContext &ctx)
{
    if (ctx.args.size() != 1) {
        ctx.err << "usage: vibrolan-cli info FILE\n";
        return 2;
    }
    const std::filesystem::path file = ctx.args[0];
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const auto &kind : fileKinds()) {
        if (ext != kind.extension)
            continue;
        vibrolan::StderrMessageSink sink;
        ctx.out << kind.describe(file, sink);
        return 0;
    }
    std::string known;
    for (const auto &kind : fileKinds())
        known += (known.empty() ? "" : ", ") + std::string(kind.extension);
    throw vibrolan::ValueError(file.string() + ": unknown file kind '" + ext + "' (known: " + known + ")");
}

const bool registered = vibrolan::cli::registerCommand(
    {"info", "info FILE          describe a recording (.bld, .bldx) or a data file (.zami, .prx)", runInfo});

} // namespace
