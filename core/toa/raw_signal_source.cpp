// Raw interleaved little-endian samples described by a small JSON sidecar:
//
//   {"data": "run.bin", "format": "int16", "rate": 2e6, "channels": 3,
//    "scale": 0.0005, "offset": 0, "names": ["O", "K1", "P1"],
//    "header_bytes": 0, "frames": 4000000}
//
// "data" is relative to the sidecar (default: the sidecar's stem + ".bin"),
// "scale" and "offset" (volts per unit and volts) may be one number or one
// per channel, "frames" is optional and checked against the data file.
#include "toa/signal_source.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "base/unique_fd.hpp"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vibrolan::toa {

namespace {

enum class SampleFormat { Int16, Int32, Float32, Float64 };

std::size_t sampleBytes(SampleFormat f)
{
    switch (f) {
    case SampleFormat::Int16:
        return 2;
    case SampleFormat::Int32:
    case SampleFormat::Float32:
        return 4;
    case SampleFormat::Float64:
        return 8;
    }
    return 0;
}

template <typename T>
void convertChannel(const unsigned char *bytes, std::size_t frames, std::size_t stride, float scale,
                    float offset, float *out)
{
    for (std::size_t f = 0; f < frames; ++f) {
        T v;
        std::memcpy(&v, bytes + f * stride, sizeof v); // little-endian host (checked in tindex.hpp)
        out[f] = static_cast<float>(v) * scale + offset;
    }
}

class RawSignalSource final : public SignalSource {
public:
    RawSignalSource(const std::filesystem::path &sidecar, const OpenOptions &options)
    {
        const auto text = readWholeFile(sidecar, 1u << 20);
        nlohmann::json j;
        try {
            j = nlohmann::json::parse(text.begin(), text.end());
        } catch (const nlohmann::json::exception &e) {
            throw FormatError(sidecar, std::string("the sidecar is not valid JSON: ") + e.what());
        }
        auto fail = [&](const std::string &what) { throw FormatError(sidecar, what); };
        if (!j.is_object())
            fail("the sidecar is not a JSON object");
        try {
            const std::string fmt = j.value("format", std::string());
            if (fmt == "int16")
                format_ = SampleFormat::Int16;
            else if (fmt == "int32")
                format_ = SampleFormat::Int32;
            else if (fmt == "float32")
                format_ = SampleFormat::Float32;
            else if (fmt == "float64")
                format_ = SampleFormat::Float64;
            else
                fail("\"format\" must be one of int16, int32, float32, float64 (little-endian)");
            if (!j.contains("channels") || !j["channels"].is_number_integer() ||
                j["channels"].get<long>() < 1 || j["channels"].get<long>() > 4096)
                fail("\"channels\" must be a whole number from 1 to 4096");
            const auto nc = j["channels"].get<std::size_t>();
            if (options.rate)
                info_.rate = *options.rate;
            else if (j.contains("rate") && j["rate"].is_number())
                info_.rate = j["rate"].get<double>();
            else
                fail("\"rate\" (samples per second) is missing");
            auto perChannel = [&](const char *key, double deflt) {
                std::vector<float> v(nc, static_cast<float>(deflt));
                if (!j.contains(key))
                    return v;
                const auto &x = j[key];
                if (x.is_number()) {
                    std::fill(v.begin(), v.end(), x.get<float>());
                } else if (x.is_array() && x.size() == nc) {
                    for (std::size_t c = 0; c < nc; ++c) {
                        if (!x[c].is_number())
                            fail(std::string("\"") + key + "\" must hold numbers");
                        v[c] = x[c].get<float>();
                    }
                } else {
                    fail(std::string("\"") + key + "\" must be a number or one number per channel");
                }
                for (float f : v)
                    if (!std::isfinite(f))
                        fail(std::string("\"") + key + "\" must be finite");
                return v;
            };
            scale_ = perChannel("scale", 1.0);
            offset_ = perChannel("offset", 0.0);
            std::vector<std::string> names;
            if (j.contains("names")) {
                if (!j["names"].is_array() || j["names"].size() != nc)
                    fail("\"names\" must list one name per channel");
                for (const auto &n : j["names"])
                    names.push_back(n.get<std::string>());
            }
            std::string data = j.value("data", sidecar.stem().string() + ".bin");
            dataFile_ = std::filesystem::path(data).is_absolute() ? std::filesystem::path(data)
                                                                  : sidecar.parent_path() / data;
            const long long header = j.value("header_bytes", 0LL);
            if (header < 0)
                fail("\"header_bytes\" must not be negative");
            header_ = static_cast<std::uint64_t>(header);
            frameBytes_ = nc * sampleBytes(format_);
            for (std::size_t c = 0; c < nc; ++c)
                info_.channels.push_back({names.empty() ? std::to_string(c + 1) : names[c], dataFile_});
            if (j.contains("frames") && !j["frames"].is_number_unsigned())
                fail("\"frames\" must be a whole number");
            stated_ = j.contains("frames") ? std::optional<std::uint64_t>(j["frames"].get<std::uint64_t>())
                                           : std::nullopt;
        } catch (const nlohmann::json::exception &e) {
            fail(std::string("a field of the sidecar has the wrong type: ") + e.what());
        }

        int raw = ::open(dataFile_.c_str(), O_RDONLY | O_CLOEXEC);
        if (raw < 0)
            throw FileError(dataFile_, "cannot open the data file: " + systemErrorText(errno));
        fd_ = UniqueFd(raw);
        struct stat st {};
        if (::fstat(fd_.get(), &st) != 0 || !S_ISREG(st.st_mode))
            throw FileError(dataFile_, "the data file is not a regular file");
        const auto size = static_cast<std::uint64_t>(st.st_size);
        if (size < header_)
            throw FormatError(dataFile_, "the file is shorter than the header the sidecar states");
        const std::uint64_t body = size - header_;
        if (body % frameBytes_ != 0)
            throw FormatError(dataFile_,
                              "holds " + std::to_string(body) + " bytes of samples, not a whole number of " +
                                  std::to_string(frameBytes_) + "-byte frames the sidecar describes");
        info_.frames = body / frameBytes_;
        if (stated_ && *stated_ != info_.frames)
            throw FormatError(sidecar, "states " + std::to_string(*stated_) + " samples per channel, but " +
                                           dataFile_.filename().string() + " holds " +
                                           std::to_string(info_.frames));
    }

    const SignalInfo &info() const override { return info_; }
    std::size_t fetch(std::size_t maxFrames) override
    {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(maxFrames, info_.frames - position_));
        bytes_.resize(n * frameBytes_);
        std::size_t got = 0;
        const std::uint64_t at = header_ + position_ * frameBytes_;
        while (got < bytes_.size()) {
            const ssize_t r =
                ::pread(fd_.get(), bytes_.data() + got, bytes_.size() - got, static_cast<off_t>(at + got));
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                throw FileError(dataFile_, "cannot read: " + systemErrorText(errno));
            if (r == 0)
                throw FormatError(dataFile_, "the file ends early (it shrank while being read)");
            got += static_cast<std::size_t>(r);
        }
        fetched_ = n;
        position_ += n;
        return n;
    }
    void convert(std::size_t c, float *out) override
    {
        const unsigned char *p = bytes_.data() + c * sampleBytes(format_);
        switch (format_) {
        case SampleFormat::Int16:
            convertChannel<std::int16_t>(p, fetched_, frameBytes_, scale_[c], offset_[c], out);
            break;
        case SampleFormat::Int32:
            convertChannel<std::int32_t>(p, fetched_, frameBytes_, scale_[c], offset_[c], out);
            break;
        case SampleFormat::Float32:
            convertChannel<float>(p, fetched_, frameBytes_, scale_[c], offset_[c], out);
            break;
        case SampleFormat::Float64:
            convertChannel<double>(p, fetched_, frameBytes_, scale_[c], offset_[c], out);
            break;
        }
    }
    void rewind() override { position_ = 0; }

private:
    SignalInfo info_;
    SampleFormat format_ = SampleFormat::Int16;
    std::vector<float> scale_, offset_;
    std::filesystem::path dataFile_;
    std::uint64_t header_ = 0, frameBytes_ = 1, position_ = 0;
    std::size_t fetched_ = 0;
    std::optional<std::uint64_t> stated_;
    UniqueFd fd_;
    std::vector<unsigned char> bytes_;
};

} // namespace

std::unique_ptr<SignalSource> openRawSignal(const std::filesystem::path &sidecar, const OpenOptions &options)
{
    return std::make_unique<RawSignalSource>(sidecar, options);
}

} // namespace vibrolan::toa
