#include "recording/angle_gates.hpp"

#include "base/code_pages.hpp"
#include "base/errors.hpp"
#include "base/file_io.hpp"

#include <cstring>

namespace vibrolan {

namespace {
constexpr float kFree = -10.0f; // FPeekInGate: the gate took no pulse this revolution
constexpr std::size_t kFixedHeader = 20;
} // namespace

GateFileContents parseGateFile(std::span<const std::uint8_t> bytes, const std::filesystem::path &file)
{
    if (bytes.size() < kFixedHeader)
        throw FormatError(file, "not a gate file: " + std::to_string(bytes.size()) +
                                    " bytes, the header alone has 20");
    std::uint16_t hl;
    std::memcpy(&hl, bytes.data() + 16, 2);
    if (hl < kFixedHeader)
        throw FormatError(file, "gate file header length " + std::to_string(hl) + " is below 20");
    if (hl > bytes.size())
        throw FormatError(file, "gate file header length " + std::to_string(hl) + " exceeds the file size " +
                                    std::to_string(bytes.size()));
    GateFileContents c;
    c.comdemon = bytes[18] != 0;
    c.headerText.assign(reinterpret_cast<const char *>(bytes.data()) + kFixedHeader, hl - kFixedHeader);
    const std::size_t count = (bytes.size() - hl) / sizeof(TAngleGate); // a partial record is ignored
    c.gates.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::memcpy(&c.gates[i], bytes.data() + hl + i * sizeof(TAngleGate), sizeof(TAngleGate));
        if (c.gates[i].Chan >= kGateChannels)
            throw FormatError(file, "gate " + std::to_string(i + 1) + " is on channel " +
                                        std::to_string(c.gates[i].Chan) + " (channels 0 ... 23 only)");
    }
    return c;
}

TAngleGates::TAngleGates(const std::filesystem::path &name)
{
    clearGates();
    if (!name.empty()) {
        FGateFileName = name;
        File2Gates(TGateMode::New);
    }
    fk = 0;
}

void TAngleGates::clearGates()
{
    for (int ch = 0; ch < kGateChannels; ++ch) {
        FGates[ch].clear();
        FPeekInGate[ch].clear();
        FNGates[ch] = 0;
        FNGatesm1[ch] = -1;
    }
}

void TAngleGates::File2Gates(TGateMode m, const std::filesystem::path &name)
{
    if (!name.empty())
        FGateFileName = name;
    GateFileContents c;
    try {
        c = parseGateFile(readWholeFile(FGateFileName, UINT64_C(1) << 30), FGateFileName);
    } catch (const Error &) {
        clearGates();
        FpText.clear();
        throw;
    }
    Fcomdemon = c.comdemon;
    FpText = std::move(c.headerText);
    // Unlike the original reader, New mode replaces the gates even when the
    // file holds none: loading an empty gate set must not keep the old one.
    if (m == TGateMode::New)
        clearGates();
    for (const auto &g : c.gates) {
        FGates[g.Chan].push_back(g);
        FPeekInGate[g.Chan].push_back(kFree);
        ++FNGates[g.Chan];
    }
    for (int ch = 0; ch < kGateChannels; ++ch)
        FNGatesm1[ch] = FNGates[ch] - 1;
}

void TAngleGates::Gates2File(const std::filesystem::path &name, const std::string &recordingName,
                             const std::string &description)
{
    std::filesystem::path target = name;
    target.replace_extension(".gts");
    const std::string rec = utf8ToCp1251(recordingName);
    const std::string text = utf8ToCp1251(description);
    std::size_t hl = 25 + rec.size() + text.size();
    const bool pad = hl % 2 != 0;
    if (pad)
        ++hl;
    if (hl > 65535)
        throw ValueError("the recording name and description are too long for a gate file");
    std::string out;
    out.push_back(15);
    out += "Zami DFM Gates ";
    out.push_back(static_cast<char>(hl & 0xFF));
    out.push_back(static_cast<char>(hl >> 8));
    out.push_back(Fcomdemon ? 1 : 0);
    out.push_back(0);
    out += rec;
    out.push_back('\0');
    out += text;
    if (pad)
        out.push_back(' ');
    out += "tttt";
    for (const auto &channel : FGates)
        for (const auto &g : channel)
            out.append(reinterpret_cast<const char *>(&g), sizeof g);
    writeFileAtomically(target, out);
    FGateFileName = target;
}

int TAngleGates::SetTurn(const TIndex &S, const TIndex &E, double kom)
{
    const std::uint32_t previous = FTurnDuration;
    fTachoch = S.RCh();
    FLeftTachoTick = S.Ticks;
    FTurnDuration = CardDiff(E.Ticks, FLeftTachoTick);
    if (FTurnDuration != previous) {
        // The difference is taken signed: a shorter revolution gives a positive change.
        const double prev = previous, dur = FTurnDuration;
        if (kom > 1 || kom < -1)
            fk = 0.9 * fk + 0.1 * ((prev - dur) / 2) / (dur + prev);
        else
            fk = kom;
    }
    for (int ch = 0; ch < kGateChannels; ++ch) {
        FNGates[ch] = static_cast<int>(FGates[ch].size());
        FNGatesm1[ch] = FNGates[ch] - 1;
        FPeekInGate[ch].assign(FGates[ch].size(), kFree);
    }
    return static_cast<int>(S.RCh()) - static_cast<int>(E.RCh());
}

bool TAngleGates::InGates(const TIndex &P)
{
    const int ch = P.RCh();
    if (ch >= kGateChannels)
        return false;
    const auto &gates = FGates[ch];
    if (gates.empty())
        return true;
    const double a = static_cast<double>(Diff(P.Ticks, FLeftTachoTick));
    const double r = a / FTurnDuration;
    float phi = static_cast<float>(r * ((r - 1) * fk + 1));
    if (phi > 1)
        phi = phi - 1;
    bool inside = false, excluded = false;
    auto &taken = FPeekInGate[ch];
    for (std::size_t i = 0; i < gates.size(); ++i) {
        const TAngleGate &g = gates[i];
        if (g.TachoChan != fTachoch || taken[i] != kFree || !(phi > g.lpillar) || phi >= g.rpillar)
            continue;
        if (g.demon == 1) {
            taken[i] = phi;
            inside = true;
        } else {
            excluded = true;
        }
        break;
    }
    return Fcomdemon ? inside : !excluded;
}

int TAngleGates::GetNGates() const
{
    int n = 0;
    for (const auto &channel : FGates)
        n += static_cast<int>(channel.size());
    return n;
}

std::pair<int, int> TAngleGates::locate(int k) const
{
    if (k >= 0)
        for (int ch = 0; ch < kGateChannels; ++ch) {
            const int n = static_cast<int>(FGates[ch].size());
            if (k < n)
                return {ch, k};
            k -= n;
        }
    throw ValueError("there is no gate number " + std::to_string(k));
}

TAngleGate TAngleGates::GetGate(int k) const
{
    const auto [ch, i] = locate(k);
    return FGates[ch][static_cast<std::size_t>(i)];
}

void TAngleGates::SetGate(int k, const TAngleGate &g)
{
    if (g.Chan >= kGateChannels)
        throw ValueError("a gate channel must be 0 ... 23, got " + std::to_string(g.Chan));
    const auto [ch, i] = locate(k);
    if (g.Chan == ch) {
        FGates[ch][static_cast<std::size_t>(i)] = g;
        return;
    }
    Delete(k);
    AddGt(g);
}

void TAngleGates::AddGt(const TAngleGate &g)
{
    if (g.Chan >= kGateChannels)
        throw ValueError("a gate channel must be 0 ... 23, got " + std::to_string(g.Chan));
    FGates[g.Chan].push_back(g);
    FPeekInGate[g.Chan].push_back(kFree);
    FNGates[g.Chan] = static_cast<int>(FGates[g.Chan].size());
    FNGatesm1[g.Chan] = FNGates[g.Chan] - 1;
}

void TAngleGates::Delete(int k)
{
    const auto [ch, i] = locate(k);
    FGates[ch].erase(FGates[ch].begin() + i);
    FPeekInGate[ch].erase(FPeekInGate[ch].begin() + i);
    FNGates[ch] = static_cast<int>(FGates[ch].size());
    FNGatesm1[ch] = FNGates[ch] - 1;
}

} // namespace vibrolan
