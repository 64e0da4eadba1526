#include "run/no_revolutions.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "config/cfg_rec_blade.hpp"
#include "recording/recording_info.hpp"
#include "recording/recording_kind.hpp"

#include <algorithm>
#include <string_view>
#include <unistd.h>

namespace vibrolan {

namespace {

// The first bytes of a file; empty when it cannot be read.
std::string headOf(const std::filesystem::path &file)
{
    char buf[16];
    try {
        const UniqueFd fd = openRegularFileForReading(file);
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
    } catch (const FileError &) {
        return {};
    }
}

} // namespace

std::optional<std::string> ExplainNoRevolutions(const TCfgDfm &cfg, const TRunResult &run, MessageSink &sink)
{
    if (cfg.TypeFile != 0 || run.status != TRunStatus::Done)
        return std::nullopt;
    for (const auto &[s, p] : run.CheckedPairs)
        if (cfg.Stages[static_cast<std::size_t>(s)].Pairs[static_cast<std::size_t>(p)].Size > 0)
            return std::nullopt;
    const std::filesystem::path file = cfg.FileName;
    const std::string name = "\"" + file.string() + "\"";
    if (run.CheckedPairs.empty())
        return "no sensor pair is checked in the configuration: nothing was assembled from " + name;
    const std::string head = headOf(file);
    if (head.starts_with(TCfgDfm::kSignature) || head.starts_with(TCfgRecBlade::kSignature))
        return "the recording " + name +
               " is a configuration file, not a recording: name the .bld or .bldx file";
    RecordingInfo info;
    try {
        info = inspectRecording(file, IsCompressedRecordingName(file), sink);
    } catch (const Error &e) {
        return std::string("no revolution was found: ") + e.what();
    }
    if (info.records == 0)
        return "the recording " + name + " holds no pulse records: no revolution was found";
    for (std::size_t s = 0; s < std::min<std::size_t>(cfg.CountStage, kMaxStages); ++s) {
        const TStage &st = cfg.Stages[s];
        if (st.TachoComb.sensNumber >= kMaxSensors)
            continue;
        const TSensor &tacho = cfg.Sensors[st.TachoComb.sensNumber];
        if (tacho.Chan < info.pulsesPerChannel.size() && info.pulsesPerChannel[tacho.Chan] == 0)
            return "stage " + std::to_string(s + 1) + " \"" + st.NameStage + "\": the recording " + name +
                   " has no pulse on the tacho channel " + std::to_string(tacho.Chan + 1) + " (sensor \"" +
                   tacho.NameSensor + "\"): check the tacho sensor's channel in the configuration";
    }
    return "no revolution of " + name +
           " passed the checks (see the rejected counts): check the blade count, the tacho divisor and the "
           "guards of the configuration";
}

} // namespace vibrolan
