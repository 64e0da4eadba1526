// The three readers of sampled signals: every sample format in, volts out,
// block by block; and the input they refuse, with the reason.
#include "support/temp_dir.hpp"

#include "base/errors.hpp"
#include "toa/signal_source.hpp"

#include <gtest/gtest.h>
#include <hdf5.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <fstream>

using namespace vibrolan;
using vibrolan::test::TempDir;

namespace {

constexpr std::size_t kFrames = 10007; // not a multiple of any block size used
constexpr int kChannels = 3;

// A "high-entropy" test signal within +-0.95 of full scale.
float sample(std::size_t f, int c)
{
    return static_cast<float>(0.61 * std::sin(0.0123 * f * (c + 1.3)) + 0.27 * std::cos(0.00071 * f) +
                              0.05 * c);
}

// Reads a whole source in blocks of `block` frames.
std::vector<std::vector<float>> readAll(toa::SignalSource &s, std::size_t block)
{
    std::vector<std::vector<float>> all(s.info().channels.size()), part;
    while (const std::size_t n = s.read(block, part)) {
        EXPECT_LE(n, block);
        for (std::size_t c = 0; c < all.size(); ++c)
            all[c].insert(all[c].end(), part[c].begin(), part[c].begin() + static_cast<long>(n));
    }
    return all;
}

void writeSound(const std::filesystem::path &file, int format, std::size_t frames)
{
    SF_INFO info{};
    info.samplerate = 96000;
    info.channels = kChannels;
    info.format = format;
    SNDFILE *f = sf_open(file.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    std::vector<float> inter(frames * kChannels);
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < kChannels; ++c)
            inter[i * kChannels + c] = sample(i, c);
    sf_writef_float(f, inter.data(), static_cast<sf_count_t>(frames));
    sf_close(f);
}

TEST(SignalReaders, SoundFilesOfEverySampleFormatAreReadBlockByBlock)
{
    struct Case {
        const char *name;
        int format;
        double tolerance; // of full scale
    } cases[] = {
        {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2.5 / 32768},
        {"pcm24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2.5 / 8388608},
        {"pcm32.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 1e-6},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0},
        {"double.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 0},
        {"pcm16.rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 2.5 / 32768},
        {"float.w64", SF_FORMAT_W64 | SF_FORMAT_FLOAT, 0},
        {"pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2.5 / 32768},
    };
    TempDir dir;
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        writeSound(dir / k.name, k.format, kFrames);
        auto s = toa::openSignalFile(dir / k.name);
        EXPECT_EQ(s->info().rate, 96000);
        ASSERT_EQ(s->info().frames, kFrames);
        ASSERT_EQ(s->info().channels.size(), 3u);
        for (int pass = 0; pass < 2; ++pass) { // the second after a rewind
            const auto all = readAll(*s, 1000);
            for (int c = 0; c < kChannels; ++c) {
                ASSERT_EQ(all[c].size(), kFrames);
                for (std::size_t i = 0; i < kFrames; i += 37)
                    ASSERT_NEAR(all[c][i], sample(i, c), k.tolerance + 1e-7)
                        << "channel " << c << " sample " << i;
            }
            s->rewind();
        }
    }
    // The rate of the header can be overridden.
    EXPECT_EQ(toa::openSignalFile(dir / "pcm16.wav", {.rate = 2.5e6})->info().rate, 2.5e6);
}

template <typename T>
void writeRaw(const std::filesystem::path &file, std::size_t header, const std::vector<T> &v)
{
    std::ofstream out(file, std::ios::binary);
    const std::string pad(header, '\x7f');
    out.write(pad.data(), static_cast<std::streamsize>(pad.size()));
    out.write(reinterpret_cast<const char *>(v.data()), static_cast<std::streamsize>(v.size() * sizeof(T)));
}

TEST(SignalReaders, RawSamplesOfEveryFormatWithScaleOffsetAndNames)
{
    TempDir dir;
    const double scale[kChannels] = {0.001, 2.5e-4, 1.0}, offset[kChannels] = {0.125, -1.5, 0};
    auto raw = [&](std::size_t f, int c) { return std::round(20000 * sample(f, c)); };
    auto check = [&](const std::string &format, const std::filesystem::path &sidecar) {
        SCOPED_TRACE(format);
        auto s = toa::openSignalFile(sidecar);
        EXPECT_EQ(s->info().rate, 1.25e6);
        ASSERT_EQ(s->info().frames, kFrames);
        EXPECT_EQ(s->info().channels[1].name, "K1");
        const auto all = readAll(*s, 4096);
        for (int c = 0; c < kChannels; ++c)
            for (std::size_t i = 0; i < kFrames; i += 13)
                ASSERT_NEAR(all[c][i], raw(i, c) * scale[c] + offset[c],
                            1e-6 * (1 + std::fabs(raw(i, c) * scale[c])))
                    << "channel " << c << " sample " << i;
    };
    auto sidecar = [&](const std::string &format, const std::string &data, std::size_t header) {
        const auto file = dir / (format + ".json");
        std::ofstream(file) << R"({"data": ")" << data << R"(", "format": ")" << format
                            << R"(", "rate": 1.25e6, "channels": 3, "scale": [0.001, 0.00025, 1.0],
                               "offset": [0.125, -1.5, 0], "names": ["O", "K1", "P1"], "header_bytes": )"
                            << header << R"(, "frames": )" << kFrames << "}";
        return file;
    };
    std::vector<std::int16_t> i16;
    std::vector<std::int32_t> i32;
    std::vector<float> f32;
    std::vector<double> f64;
    for (std::size_t f = 0; f < kFrames; ++f)
        for (int c = 0; c < kChannels; ++c) {
            i16.push_back(static_cast<std::int16_t>(raw(f, c)));
            i32.push_back(static_cast<std::int32_t>(raw(f, c)));
            f32.push_back(static_cast<float>(raw(f, c)));
            f64.push_back(raw(f, c));
        }
    writeRaw(dir / "a.i16", 0, i16);
    writeRaw(dir / "a.i32", 7, i32);
    writeRaw(dir / "a.f32", 512, f32);
    writeRaw(dir / "a.f64", 3, f64);
    check("int16", sidecar("int16", "a.i16", 0));
    check("int32", sidecar("int32", "a.i32", 7));
    check("float32", sidecar("float32", "a.f32", 512));
    check("float64", sidecar("float64", "a.f64", 3));
}

void writeHdf5(const std::filesystem::path &file, bool rateOnRoot, std::size_t secondLength)
{
    hid_t f = H5Fcreate(file.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    auto attr = [](hid_t obj, const char *name, double v) {
        hid_t sp = H5Screate(H5S_SCALAR);
        hid_t a = H5Acreate2(obj, name, H5T_IEEE_F64LE, sp, H5P_DEFAULT, H5P_DEFAULT);
        H5Awrite(a, H5T_NATIVE_DOUBLE, &v);
        H5Aclose(a);
        H5Sclose(sp);
    };
    if (rateOnRoot)
        attr(f, "rate", 5e5);
    auto dataset = [&](const char *name, hid_t type, std::size_t n, int c, double scale) {
        std::vector<double> v(n);
        for (std::size_t i = 0; i < n; ++i)
            v[i] = std::round(30000 * sample(i, c));
        const hsize_t dims = n;
        hid_t sp = H5Screate_simple(1, &dims, nullptr);
        hid_t d = H5Dcreate2(f, name, type, sp, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
        H5Dwrite(d, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, v.data());
        if (scale != 1)
            attr(d, "scale", scale);
        if (!rateOnRoot)
            attr(d, "sample_rate", 5e5);
        H5Dclose(d);
        H5Sclose(sp);
    };
    dataset("P1", H5T_STD_I16LE, kFrames, 1, 1e-4);
    dataset("K1", H5T_IEEE_F32BE, secondLength, 0, 1); // stored big-endian
    H5Fclose(f);
}

TEST(SignalReaders, Hdf5DatasetsOnePerChannelInNameOrder)
{
    TempDir dir;
    for (bool rootRate : {true, false}) {
        SCOPED_TRACE(rootRate ? "rate on the root group" : "rate on each dataset");
        writeHdf5(dir / "s.h5", rootRate, kFrames);
        auto s = toa::openSignalFile(dir / "s.h5");
        EXPECT_EQ(s->info().rate, 5e5);
        ASSERT_EQ(s->info().channels.size(), 2u);
        EXPECT_EQ(s->info().channels[0].name, "K1");
        EXPECT_EQ(s->info().channels[1].name, "P1");
        const auto all = readAll(*s, 3000);
        for (std::size_t i = 0; i < kFrames; i += 11) {
            ASSERT_NEAR(all[0][i], std::round(30000 * sample(i, 0)), 1e-3);
            ASSERT_NEAR(all[1][i], 1e-4 * std::round(30000 * sample(i, 1)), 1e-6);
        }
    }
    writeHdf5(dir / "uneven.h5", true, kFrames - 1);
    EXPECT_THROW(toa::openSignalFile(dir / "uneven.h5"), FormatError);
}

// The message of the error that opening (and reading) `file` throws.
template <typename E> std::string refusal(const std::filesystem::path &file)
{
    try {
        auto s = toa::openSignalFile(file);
        readAll(*s, 4096);
    } catch (const E &e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(SignalReaders, DamagedAndInconsistentFilesAreRefusedWithTheReason)
{
    TempDir dir;
    writeSound(dir / "full.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kFrames);
    writeSound(dir / "full.rf64", SF_FORMAT_RF64 | SF_FORMAT_FLOAT, kFrames);
    writeSound(dir / "full.w64", SF_FORMAT_W64 | SF_FORMAT_PCM_24, kFrames);
    writeSound(dir / "full.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, kFrames);
    auto cut = [&](const std::string &from, const std::string &to, double share) {
        std::ifstream in(dir / from, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream(dir / to, std::ios::binary)
            << bytes.substr(0, static_cast<std::size_t>(bytes.size() * share));
    };
    cut("full.wav", "cut.wav", 2.0 / 3);
    cut("full.wav", "head.wav", 0.0005);
    cut("full.rf64", "cut.rf64", 0.9);
    cut("full.w64", "cut.w64", 0.8);
    cut("full.aiff", "cut.aiff", 0.5);
    for (const char *name : {"cut.wav", "cut.rf64", "cut.w64", "cut.aiff"})
        EXPECT_NE(refusal<FormatError>(dir / name).find("truncated"), std::string::npos) << name;
    for (const char *name : {"full.wav", "full.rf64", "full.w64", "full.aiff"})
        EXPECT_EQ(toa::openSignalFile(dir / name)->info().frames, kFrames) << name;
    std::vector<std::int16_t> v(3 * 1000 + 1); // one sample more than 1000 frames
    writeRaw(dir / "odd.bin", 0, v);
    writeRaw(dir / "ok.bin", 0, std::vector<std::int16_t>(3 * 1000));
    auto side = [&](const std::string &name, const std::string &json) {
        std::ofstream(dir / name) << json;
        return dir / name;
    };
    EXPECT_NE(refusal<FormatError>(dir / "head.wav").find("sound file"), std::string::npos);
    EXPECT_NE(refusal<FormatError>(side("lies.json", R"({"data": "ok.bin", "format": "int16", "rate": 1e6,
                                                     "channels": 3, "frames": 1200})"))
                  .find("states 1200 samples per channel, but ok.bin holds 1000"),
              std::string::npos);
    EXPECT_NE(refusal<FormatError>(side("odd.json", R"({"format": "int16", "rate": 1e6, "channels": 3})"))
                  .find("not a whole number of 6-byte frames"),
              std::string::npos);
    EXPECT_NE(
        refusal<FormatError>(side("norate.json", R"({"data": "ok.bin", "format": "int16", "channels": 3})"))
            .find("\"rate\""),
        std::string::npos);
    EXPECT_NE(refusal<FormatError>(
                  side("fmt.json", R"({"data": "ok.bin", "format": "int12", "rate": 1, "channels": 3})"))
                  .find("\"format\""),
              std::string::npos);
    EXPECT_NE(refusal<FormatError>(side("names.json", R"({"data": "ok.bin", "format": "int16", "rate": 1,
                                                      "channels": 3, "names": ["a"]})"))
                  .find("\"names\""),
              std::string::npos);
    EXPECT_NE(refusal<FormatError>(side("bad.json", "{\"format\": ")).find("not valid JSON"),
              std::string::npos);
    EXPECT_NE(refusal<FileError>(
                  side("gone.json", R"({"data": "none.bin", "format": "int16", "rate": 1, "channels": 1})"))
                  .find("cannot open"),
              std::string::npos);
    EXPECT_NE(refusal<ValueError>(dir / "odd.bin").find("unknown signal file kind"), std::string::npos);
    // Files side by side must agree in rate and length.
    writeSound(dir / "short.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kFrames - 5);
    EXPECT_THROW(toa::openSignalFiles({dir / "full.wav", dir / "short.wav"}), FormatError);
    auto both = toa::openSignalFiles({dir / "full.wav", dir / "full.wav"});
    EXPECT_EQ(both->info().channels.size(), 6u);
}

} // namespace
