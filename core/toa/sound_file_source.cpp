// Sound-file formats through libsndfile: every sample format it knows
// (8/16/24/32-bit integers, floats, doubles, compressed ones) comes as floats
// of full scale 1. A file whose data end before the length its header states
// (a recording cut short) is refused rather than read as a shorter signal.
#include "toa/signal_source.hpp"

#include "base/errors.hpp"

#include <sndfile.h>

#include <cstring>

namespace vibrolan::toa {

namespace {

// True when libsndfile's log of the header says the data chunk is longer
// than the bytes the file holds ("data : 4000 (should be 2957)").
bool dataChunkCut(const char *log)
{
    for (const char *line = log; line != nullptr && *line != '\0';) {
        const char *end = std::strchr(line, '\n');
        const std::string text(line, end != nullptr ? end : line + std::strlen(line));
        if (text.rfind("data", 0) == 0 && text.find("should be") != std::string::npos)
            return true;
        line = end != nullptr ? end + 1 : nullptr;
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
        if (dataChunkCut(log)) {
            sf_close(handle_);
            throw FormatError(file,
                              "the file is truncated: its data end before the length its header states");
        }
    }
    ~SoundFileSource() override { sf_close(handle_); }
    SoundFileSource(const SoundFileSource &) = delete;
    SoundFileSource &operator=(const SoundFileSource &) = delete;

    const SignalInfo &info() const override { return info_; }
    std::size_t read(std::size_t maxFrames, std::vector<std::vector<float>> &out) override
    {
        const std::uint64_t left = info_.frames - position_;
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(left, maxFrames));
        out.resize(info_.channels.size());
        if (want == 0) {
            for (auto &ch : out)
                ch.clear();
            return 0;
        }
        interleaved_.resize(want * static_cast<std::size_t>(channels_));
        const sf_count_t got = sf_readf_float(handle_, interleaved_.data(), static_cast<sf_count_t>(want));
        if (got != static_cast<sf_count_t>(want))
            throw FormatError(file_,
                              "the file is truncated: its data end at sample " +
                                  std::to_string(position_ + static_cast<std::uint64_t>(got > 0 ? got : 0)) +
                                  " of " + std::to_string(info_.frames));
        const auto nc = static_cast<std::size_t>(channels_);
        for (std::size_t c = 0; c < nc; ++c) {
            auto &ch = out[c];
            ch.resize(want);
            const float *in = interleaved_.data() + c;
            for (std::size_t f = 0; f < want; ++f)
                ch[f] = in[f * nc];
        }
        position_ += want;
        return want;
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
    std::vector<float> interleaved_;
};

} // namespace

std::unique_ptr<SignalSource> openSoundFile(const std::filesystem::path &file, const OpenOptions &options)
{
    return std::make_unique<SoundFileSource>(file, options);
}

} // namespace vibrolan::toa
