#include "recording/tacho_detector.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "recording/tindex.hpp"

#include <cmath>
#include <cstring>
#include <fstream>

namespace vibrolan {

std::filesystem::path signatureFileName(const std::filesystem::path &configFile, int channel)
{
    return configFile.parent_path() / ("signatureCh" + std::to_string(channel + 1) + ".shp");
}

std::vector<float> parseSignature(std::span<const std::uint8_t> bytes, int n)
{
    std::vector<float> s(static_cast<std::size_t>(std::max(n, 0)), 0.0f);
    const std::size_t have = std::min(s.size(), bytes.size() / 4);
    for (std::size_t i = 0; i < have; ++i)
        std::memcpy(&s[i], bytes.data() + 4 * i, 4);
    return s;
}

void TTachoDetector::init(int N)
{
    if (N < 1)
        throw ValueError("the tacho detector needs at least one interval, got " + std::to_string(N));
    FN = N;
    Falfa = std::exp(std::log(0.85) / N);
    FThreshold = 0.4;
    FSampleSignature.assign(static_cast<std::size_t>(N), 0.0f);
    FCurrentSignature.assign(static_cast<std::size_t>(N), 0.0f);
    FCurrentSignatureCard.assign(static_cast<std::size_t>(N) + 1, 0);
    TchBuff = TCCardBuff(N + 1); // zero-filled: the first revolution sees zero ticks
    FSqrtOfSignature = 0;
}

TTachoDetector::TTachoDetector(int N, const std::filesystem::path &signatureFile, MessageSink &sink)
{
    init(N);
    // A FIFO or device would block the read: it counts as no signature file.
    const std::string kind = nonRegularKind(signatureFile);
    std::ifstream in;
    if (kind.empty())
        in.open(signatureFile, std::ios::binary);
    if (!kind.empty() || !in) {
        sink.show(Message{"signature",
                          "Don't view " + signatureFile.string() + (kind.empty() ? "" : " (" + kind + ")"),
                          Buttons::Ok, Severity::Warning});
        return;
    }
    // Only the N values the stage needs are read, whatever the file's size.
    std::vector<std::uint8_t> bytes(4 * static_cast<std::size_t>(N));
    in.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    std::vector<float> signature = parseSignature(bytes, N);
    *this = TTachoDetector(N, std::move(signature));
}

TTachoDetector::TTachoDetector(int N, std::vector<float> signature)
{
    init(N);
    signature.resize(static_cast<std::size_t>(N), 0.0f);
    FSampleSignature = std::move(signature);
    double sum = 0;
    for (float v : FSampleSignature)
        sum += static_cast<double>(v) * v;
    FSqrtOfSignature = std::sqrt(sum / (N - 1));
}

void TTachoDetector::NewStick(std::uint32_t ticks) { TchBuff.Add(&ticks, 1); }

bool TTachoDetector::IsTacho(double &threshold)
{
    const int n = FN;
    auto &card = FCurrentSignatureCard;
    for (int i = 0; i <= n; ++i)
        card[static_cast<std::size_t>(i)] = TchBuff.GetX(static_cast<std::uint32_t>(i));
    const double span = CardDiff(card[static_cast<std::size_t>(n)], card[0]);
    for (int i = n; i >= 1; --i)
        card[static_cast<std::size_t>(i)] =
            CardDiff(card[static_cast<std::size_t>(i)], card[static_cast<std::size_t>(i - 1)]);
    if (span > 0)
        for (int i = 1; i <= n; ++i)
            FCurrentSignature[static_cast<std::size_t>(i - 1)] =
                static_cast<float>(card[static_cast<std::size_t>(i)] / span);
    // As in the original: without a usable span the previous pattern is kept,
    // and its mean is removed once more.
    for (auto &c : FCurrentSignature)
        c = static_cast<float>(static_cast<double>(c) - 1.0 / n);

    double sq = 0;
    FProduct = 0;
    for (int i = 0; i < n; ++i) {
        const double c = FCurrentSignature[static_cast<std::size_t>(i)];
        sq += c * c;
        FProduct += c * FSampleSignature[static_cast<std::size_t>(i)];
    }
    FSqrtOfCurrSignature = std::sqrt(sq / (n - 1));

    double q = 0;
    if (FSqrtOfSignature > 0 && FSqrtOfCurrSignature > 0)
        q = FProduct / (n - 1) / FSqrtOfSignature / FSqrtOfCurrSignature;
    if (q > 1)
        q = 1;
    lastQ_ = q;
    bool result = false;
    if (q > FThreshold) {
        result = true;
        FThreshold = q;
    }
    FThreshold *= Falfa;
    threshold = FThreshold;
    return result;
}

} // namespace vibrolan
