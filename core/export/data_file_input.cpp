#include "export/data_file_input.hpp"

#include "base/errors.hpp"
#include "export/pair_save.hpp"
#include "output/data_file.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace vibrolan {

namespace {

// Reading only: the input files are never changed.
constexpr std::uint16_t kReadMode = 0;

struct FileSeries {
    std::vector<TArrSingle> values; // one per channel
    TArrSingle argument;            // of the last channel, as each channel overwrites it
    std::size_t size = 0;
    std::size_t length0 = 0; // samples of channel 0
    bool runDown = false;
    bool clipped = false;
    std::size_t droppedChannels = 0;
};

TArrSingle evenAxis(std::size_t n, float freq)
{
    const double step = freq > 0 ? 1.0 / static_cast<double>(freq) : 1.0;
    TArrSingle axis(n);
    for (std::size_t k = 0; k < n; ++k)
        axis[k] = static_cast<float>(static_cast<double>(k) * step);
    return axis;
}

FileSeries readFile(const std::filesystem::path &file, const DataFileEnv &env, const ProgressFn &progress)
{
    TDataF data(env);
    data.Create(file, kReadMode);
    FileSeries f;
    f.runDown = data.TestName == kRunDownTestName;
    const auto channels = static_cast<std::size_t>(std::max(0, data.Nchan));
    const std::size_t taken = std::min(channels, kMaxBlades);
    f.droppedChannels = channels - taken;
    if (taken == 0)
        throw FormatError(file, "holds no channels");
    f.size = kMaxSeriesLength;
    for (std::size_t t = 0; t < taken; ++t) {
        TArrSingle y;
        TArrSingle x;
        data.Get2ForeignSnglBuff(static_cast<int>(t), y, x, progress);
        if (x.size() < y.size())
            x = evenAxis(y.size(), data.Passp[t].Freq);
        if (t == 0)
            f.length0 = y.size();
        if (y.size() < f.size)
            f.size = y.size();
        f.argument = std::move(x);
        f.values.push_back(std::move(y));
    }
    for (const auto &y : f.values)
        if (y.size() != f.size)
            f.clipped = true;
    f.argument.resize(f.size);
    return f;
}

void fillPair(TPair &pair, FileSeries &f)
{
    pair.FreeData();
    const std::size_t n = f.size;
    for (std::size_t t = 0; t < f.values.size(); ++t)
        pair.Ampl[t] = std::move(f.values[t]);
    pair.AmplOffs.release();
    pair.Size = static_cast<std::int32_t>(n);
    if (f.runDown) {
        pair.Freq = std::move(f.argument);
        pair.Time.resize(n);
        for (std::size_t k = 0; k < n; ++k)
            pair.Time[k] = static_cast<float>(k);
    } else {
        pair.Time = std::move(f.argument);
        pair.Freq.assign(n, 0.0f);
    }
}

void tell(MessageSink &sink, const std::filesystem::path &file, const std::string &text, Severity severity)
{
    sink.show(Message{kDataFileCaption, file.string() + ": " + text, Buttons::Ok, severity});
}

} // namespace

TDataFileInput OpenDataFiles(TCfgDfm &cfg, std::span<const std::filesystem::path> files, MessageSink &sink,
                             const DataFileEnv &env, const ProgressFn &progress)
{
    TDataFileInput result;
    cfg.TypeFile = 1;
    TStage &stage = cfg.Stages[0];
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::filesystem::path &file = files[i];
        if (file.extension() == ".bld")
            continue;
        if (i >= kMaxDataFiles) {
            tell(sink, file,
                 "not taken: at most " + std::to_string(kMaxDataFiles) + " data files feed the pairs",
                 Severity::Warning);
            continue;
        }
        FileSeries f;
        try {
            f = readFile(file, env, progress);
        } catch (const Error &e) {
            // File errors already name the file.
            sink.show(Message{kDataFileCaption, e.what(), Buttons::Ok, Severity::Error});
            continue;
        }
        if (f.droppedChannels > 0)
            tell(sink, file,
                 "only the first " + std::to_string(kMaxBlades) + " channels taken, " +
                     std::to_string(f.droppedChannels) + " left out",
                 Severity::Warning);
        if (f.clipped)
            tell(sink, file,
                 "channels of different lengths: " + std::to_string(f.size) + " samples taken of each",
                 Severity::Warning);
        if (f.runDown) {
            result.TachoPresent = true;
            result.RevCount0 = static_cast<std::uint32_t>(std::min(f.length0, kMaxSeriesLength));
        }
        fillPair(stage.Pairs[i], f);
        result.Loaded[i] = true;
    }
    return result;
}

TDataFileInput OpenRequiredDataFiles(TCfgDfm &cfg, std::span<const std::filesystem::path> files,
                                     MessageSink &sink, const DataFileEnv &env)
{
    if (files.size() > kMaxDataFiles)
        throw ValueError("at most " + std::to_string(kMaxDataFiles) +
                         " data files feed the pairs of the first stage");
    const TDataFileInput in = OpenDataFiles(cfg, files, sink, env);
    if (std::none_of(in.Loaded.begin(), in.Loaded.end(), [](bool loaded) { return loaded; }))
        throw ValueError("none of the data files could be taken");
    return in;
}

} // namespace vibrolan
