// Sampled probe signals as a stream of blocks: one reader per file kind
// (WAV/RF64 and the other sound-file formats, raw binary described by a JSON
// sidecar, HDF5 datasets), all giving every channel as floats in volts.
// Files larger than memory are read block by block and never held whole.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vibrolan::toa {

struct SignalChannel {
    std::string name;
    std::filesystem::path file; // the file it comes from, for messages
};

struct SignalInfo {
    double rate = 0;          // samples per second and channel
    std::uint64_t frames = 0; // samples per channel
    std::vector<SignalChannel> channels;
};

class SignalSource {
public:
    virtual ~SignalSource() = default;
    virtual const SignalInfo &info() const = 0;
    // Reads the next frames, up to `maxFrames`, as the file holds them;
    // returns how many, 0 at the end. A file that ends before its stated
    // length is a FormatError.
    virtual std::size_t fetch(std::size_t maxFrames) = 0;
    // Channel c of the frames fetched last, in volts, into out[0 .. fetched).
    // Several threads may convert different channels at once.
    virtual void convert(std::size_t c, float *out) = 0;
    // fetch() and every channel's convert() into out[c] (resized to the
    // frames read, out sized to the channel count).
    std::size_t read(std::size_t maxFrames, std::vector<std::vector<float>> &out);
    // Back to the first frame (for a second pass).
    virtual void rewind() = 0;
};

struct OpenOptions {
    std::optional<double> rate; // overrides the rate a file states (or gives it)
};

// Opens one signal file by its extension: .wav .rf64 .w64 .flac .aiff .au .caf
// (libsndfile), .json (a raw-data sidecar), .h5 .hdf5 (HDF5). Throws FileError
// or FormatError naming the file, ValueError for an unknown extension.
std::unique_ptr<SignalSource> openSignalFile(const std::filesystem::path &file,
                                             const OpenOptions &options = {});

// The channels of several files side by side; the files must have the same
// rate and length. Throws FormatError when they do not.
std::unique_ptr<SignalSource> openSignalFiles(const std::vector<std::filesystem::path> &files,
                                              const OpenOptions &options = {});

// The readers behind openSignalFile().
std::unique_ptr<SignalSource> openSoundFile(const std::filesystem::path &file, const OpenOptions &options);
std::unique_ptr<SignalSource> openRawSignal(const std::filesystem::path &sidecar, const OpenOptions &options);
std::unique_ptr<SignalSource> openHdf5Signal(const std::filesystem::path &file, const OpenOptions &options);

// True for the extensions openSignalFile() accepts (any case).
bool isSignalFile(const std::filesystem::path &file);

} // namespace vibrolan::toa
