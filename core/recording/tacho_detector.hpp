// TTachoDetector finds the once-per-revolution pulse among the blade pulses
// of a stage by correlating the relative spacing of the last N intervals with
// a stored signature; the threshold follows each peak and decays by 0.85 per
// revolution.
#pragma once

#include "base/message_sink.hpp"
#include "base/ring_buffers.hpp"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace vibrolan {

// "signatureCh<channel + 1>.shp" in the folder of the configuration file.
std::filesystem::path signatureFileName(const std::filesystem::path &configFile, int channel);

// Up to n little-endian Single values from the start of `bytes`; the rest 0.
std::vector<float> parseSignature(std::span<const std::uint8_t> bytes, int n);

class TTachoDetector {
public:
    // N >= 1 intervals (the stage's blade count). A signature file that cannot
    // be read shows "Don't view <file>" (caption "signature") and leaves an
    // all-zero signature, with which nothing is ever detected.
    TTachoDetector(int N, const std::filesystem::path &signatureFile, MessageSink &sink);
    // The same with the signature given directly (tests, simulator).
    TTachoDetector(int N, std::vector<float> signature);

    // Appends one pulse tick to the window of the last N + 1 ticks.
    void NewStick(std::uint32_t ticks);
    // True when the newest pulse is the once-per-revolution pulse; writes the
    // threshold after its decay into `threshold`.
    bool IsTacho(double &threshold);

    double alfa() const { return Falfa; }
    double threshold() const { return FThreshold; }
    double sqrtOfSignature() const { return FSqrtOfSignature; }
    double lastCorrelation() const { return lastQ_; }
    const std::vector<float> &signature() const { return FSampleSignature; }

private:
    void init(int N);

    double Falfa = 0;
    std::vector<float> FSampleSignature;
    double FProduct = 0;
    double FSqrtOfCurrSignature = 0;
    double FSqrtOfSignature = 0;
    std::vector<float> FCurrentSignature;
    std::vector<std::uint32_t> FCurrentSignatureCard;
    int FN = 0;
    double FThreshold = 0.4;
    TCCardBuff TchBuff{1};
    double lastQ_ = 0;
};

} // namespace vibrolan
