// Sound-file formats through libsndfile: every sample format it knows
// (8/16/24/32-bit integers, floats, doubles, compressed ones) comes as floats
// of full scale 1. A file whose data end before the length its header states
// (a recording cut short) is refused rather than read as a shorter signal.
#include "toa/signal_source.hpp"

#include "base/errors.hpp"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <string>

namespace vibrolan::toa {

namespace {

// True when libsndfile's log of the header says that the file holds fewer
// bytes than its header states: "data : 4000 (should be 2957)" (WAV),
// "SSND : ..." (AIFF), a container size short by more than padding
// ("riff", "RIFF", "FORM", "Riff size"), or a frame count of the RF64
// header that the data do not reach.
bool headerStatesMore(const char *log)
{
    for (const char *line = log; line != nullptr && *line != '\0';) {
        const char *end = std::strchr(line, '\n');
        std::string text(line, end != nullptr ? end : line + std::strlen(line));
        line = end != nullptr ? end + 1 : nullptr;
        if (text.find("does not match") != std::string::npos && text.find("frame count") != std::string::npos)
            return true;
        const std::size_t colon = text.find(':'), should = text.find("(should be ");
        if (colon == std::string::npos || should == std::string::npos || should < colon)
            continue;
        std::string label = text.substr(0, colon);
        label.erase(0, label.find_first_not_of(' '));
        label.erase(label.find_last_not_of(' ') + 1);
        std::transform(label.begin(), label.end(), label.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        const std::string stated = text.substr(colon + 1), actual = text.substr(should + 11);
        std::uint64_t x = 0, y = 0;
        const char *xs = stated.c_str() + stated.find_first_not_of(' ');
        if (std::from_chars(xs, stated.c_str() + stated.size(), x).ec != std::errc() ||
            std::from_chars(actual.c_str(), actual.c_str() + actual.size(), y).ec != std::errc())
            continue;
        if ((label == "data" || label == "ssnd") && y < x)
            return true;
        if ((label == "riff" || label == "form" || label == "riff size") && y + 16 < x)
            return true;
    }
    return false;
}

class SoundFileSource final : public SignalSource {
public:
    SoundFileSource(const std::filesystem::path &file, const OpenOptions &options) : file_(file)
    {
        SF_INFO sfi{};
        handle_ = sf_open(file.c_str(), SFM_READ, &sfi);
        if (handle_ == nullptr)
            throw FormatError(file, std::string("not a readable sound file: ") + sf_strerror(nullptr));
        if (sfi.channels <= 0 || sfi.frames < 0) {
            sf_close(handle_);
            throw FormatError(file, "the header states no channels");
        }
        channels_ = sfi.channels;
        info_.rate = options.rate ? *options.rate : static_cast<double>(sfi.samplerate);
        info_.frames = static_cast<std::uint64_t>(sfi.frames);
        for (int c = 0; c < sfi.channels; ++c)
            info_.channels.push_back({std::to_string(c + 1), file});
        // libsndfile shortens the length of a data chunk that runs past the
        // end of the file and notes it in its log: that file was cut short.
        char log[4096] = {};
        sf_command(handle_, SFC_GET_LOG_INFO, log, sizeof log);
        if (headerStatesMore(log)) {
            sf_close(handle_);
            throw FormatError(file,
                              "the file is truncated: its data end before the length its header states");
        }
    }
    ~SoundFileSource() override { sf_close(handle_); }
    SoundFileSource(const SoundFileSource &) = delete;
    SoundFileSource &operator=(const SoundFileSource &) = delete;

    const SignalInfo &info() const override { return info_; }
    std::size_t fetch(std::size_t maxFrames) override
    {
        const std::uint64_t left = info_.frames - position_;
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(left, maxFrames));
        fetched_ = want;
        if (want == 0)
            return 0;
        interleaved_.resize(want * static_cast<std::size_t>(channels_));
        const sf_count_t got = sf_readf_float(handle_, interleaved_.data(), static_cast<sf_count_t>(want));
        if (got != static_cast<sf_count_t>(want))
            throw FormatError(file_,
                              "the file is truncated: its data end at sample " +
                                  std::to_string(position_ + static_cast<std::uint64_t>(got > 0 ? got : 0)) +
                                  " of " + std::to_string(info_.frames));
        position_ += want;
        return want;
    }
    void convert(std::size_t c, float *out) override
    {
        const auto nc = static_cast<std::size_t>(channels_);
        const float *in = interleaved_.data() + c;
        for (std::size_t f = 0; f < fetched_; ++f)
            out[f] = in[f * nc];
    }
    void rewind() override
    {
        if (sf_seek(handle_, 0, SEEK_SET) != 0)
            throw FileError(file_, "cannot return to the start of the file");
        position_ = 0;
    }

private:
    std::filesystem::path file_;
    SNDFILE *handle_ = nullptr;
    int channels_ = 0;
    SignalInfo info_;
    std::uint64_t position_ = 0;
    std::size_t fetched_ = 0;
    std::vector<float> interleaved_;
};

} // namespace

std::unique_ptr<SignalSource> openSoundFile(const std::filesystem::path &file, const OpenOptions &options)
{
    return std::make_unique<SoundFileSource>(file, options);
}

} // namespace vibrolan::toa
