#include "toa/signal_source.hpp"

#include "base/errors.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace vibrolan::toa {

namespace {

std::string lowerExtension(const std::filesystem::path &file)
{
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

constexpr std::array<std::string_view, 9> kSoundExtensions = {".wav",  ".rf64", ".w64", ".flac", ".aif",
                                                              ".aiff", ".au",   ".caf", ".wavex"};

// The channels of several sources side by side.
class SideBySide final : public SignalSource {
public:
    explicit SideBySide(std::vector<std::unique_ptr<SignalSource>> parts) : parts_(std::move(parts))
    {
        info_ = parts_.front()->info();
        for (std::size_t i = 1; i < parts_.size(); ++i) {
            const SignalInfo &o = parts_[i]->info();
            const auto &file = o.channels.front().file;
            if (o.rate != info_.rate)
                throw FormatError(file, "its sampling rate differs from that of " +
                                            info_.channels.front().file.string());
            if (o.frames != info_.frames)
                throw FormatError(file, "its length (" + std::to_string(o.frames) +
                                            " samples) differs from that of " +
                                            info_.channels.front().file.string() + " (" +
                                            std::to_string(info_.frames) + ")");
            info_.channels.insert(info_.channels.end(), o.channels.begin(), o.channels.end());
        }
        for (std::size_t i = 0; i < parts_.size(); ++i)
            for (std::size_t c = 0; c < parts_[i]->info().channels.size(); ++c)
                owner_.emplace_back(i, c);
    }
    const SignalInfo &info() const override { return info_; }
    std::size_t fetch(std::size_t maxFrames) override
    {
        std::size_t frames = 0;
        for (std::size_t i = 0; i < parts_.size(); ++i) {
            const std::size_t n = parts_[i]->fetch(maxFrames);
            if (i == 0)
                frames = n;
            else if (n != frames)
                throw FormatError(parts_[i]->info().channels.front().file, "the file ends early");
        }
        return frames;
    }
    void convert(std::size_t c, float *out) override
    {
        parts_[owner_[c].first]->convert(owner_[c].second, out);
    }
    void rewind() override
    {
        for (auto &p : parts_)
            p->rewind();
    }

private:
    std::vector<std::unique_ptr<SignalSource>> parts_;
    SignalInfo info_;
    std::vector<std::pair<std::size_t, std::size_t>> owner_; // channel -> (part, its channel)
};

} // namespace

std::size_t SignalSource::read(std::size_t maxFrames, std::vector<std::vector<float>> &out)
{
    const std::size_t n = fetch(maxFrames);
    out.resize(info().channels.size());
    for (std::size_t c = 0; c < out.size(); ++c) {
        out[c].resize(n);
        if (n > 0)
            convert(c, out[c].data());
    }
    return n;
}

bool isSignalFile(const std::filesystem::path &file)
{
    const std::string ext = lowerExtension(file);
    return ext == ".json" || ext == ".h5" || ext == ".hdf5" ||
           std::find(kSoundExtensions.begin(), kSoundExtensions.end(), ext) != kSoundExtensions.end();
}

std::unique_ptr<SignalSource> openSignalFile(const std::filesystem::path &file, const OpenOptions &options)
{
    if (options.rate && !(*options.rate > 0 && *options.rate < 1e12))
        throw ValueError("the sampling rate must be a positive number of hertz");
    const std::string ext = lowerExtension(file);
    std::unique_ptr<SignalSource> s;
    if (ext == ".json")
        s = openRawSignal(file, options);
    else if (ext == ".h5" || ext == ".hdf5")
        s = openHdf5Signal(file, options);
    else if (std::find(kSoundExtensions.begin(), kSoundExtensions.end(), ext) != kSoundExtensions.end())
        s = openSoundFile(file, options);
    else
        throw ValueError(file.string() + ": unknown signal file kind '" + ext +
                         "' (known: .wav, .rf64, .w64, .flac, .json sidecar of raw data, .h5)");
    const SignalInfo &in = s->info();
    if (!(in.rate > 0 && in.rate < 1e12))
        throw FormatError(file, "no valid sampling rate (give it with --rate)");
    if (in.channels.empty())
        throw FormatError(file, "the file holds no channel");
    return s;
}

std::unique_ptr<SignalSource> openSignalFiles(const std::vector<std::filesystem::path> &files,
                                              const OpenOptions &options)
{
    if (files.empty())
        throw ValueError("no signal file given");
    std::vector<std::unique_ptr<SignalSource>> parts;
    for (const auto &f : files)
        parts.push_back(openSignalFile(f, options));
    if (parts.size() == 1)
        return std::move(parts.front());
    return std::make_unique<SideBySide>(std::move(parts));
}

} // namespace vibrolan::toa
