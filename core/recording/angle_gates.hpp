// Angle gates: per channel (0 ... 23), angular windows of the revolution,
// measured from its tacho pulse, that take in (include gates) or keep out
// (exclude gates) blade pulses. Stored in .gts gate files.
#pragma once

#include "recording/tindex.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace vibrolan {

#pragma pack(push, 1)
struct TAngleGate {
    std::uint8_t Chan = 0;      // channel whose pulses the gate filters, 0 ... 23
    std::uint8_t TachoChan = 0; // channel of the tacho pulse the angle is measured from
    std::uint8_t Blade = 0;     // informational
    std::uint8_t Reserved = 0;
    std::uint8_t demon = 1; // 1 include gate, anything else exclude gate
    std::uint8_t Marker4 = 0;
    float lpillar = 0; // start, fraction of a revolution
    float rpillar = 0; // end
};
#pragma pack(pop)
static_assert(sizeof(TAngleGate) == 14, "TAngleGate is 14 packed bytes");

enum class TGateMode { New, Add };

inline constexpr int kGateChannels = 24;

// What a gate file holds, after checking it.
struct GateFileContents {
    bool comdemon = true;
    std::string headerText; // bytes 20 ... HL (recording name, NUL, description, padding, "tttt")
    std::vector<TAngleGate> gates;
};

// Checks and splits a gate file. Throws FormatError (naming `file`) for a file
// shorter than its 20-byte header, a header length below 20 or beyond the
// file, or a gate whose channel exceeds 23.
GateFileContents parseGateFile(std::span<const std::uint8_t> bytes, const std::filesystem::path &file = {});

class TAngleGates {
public:
    // Reads the named file in New mode when the name is not empty.
    explicit TAngleGates(const std::filesystem::path &name = {});

    // Loads a gate file (empty name: the current GateFileName). A file that
    // cannot be read or is malformed throws FileError/FormatError and leaves
    // no gates at all.
    void File2Gates(TGateMode m, const std::filesystem::path &name = {});
    // Writes all gates; GateFileName becomes `name` with the extension ".gts".
    // The recording name and the description are UTF-8 and stored in CP1251.
    void Gates2File(const std::filesystem::path &name, const std::string &recordingName,
                    const std::string &description);

    // Starts a revolution from pulse S to pulse E; returns RCh(S) - RCh(E).
    int SetTurn(const TIndex &S, const TIndex &E, double kom);
    bool InGates(const TIndex &P);

    int GetNGates() const;
    int NGates() const { return GetNGates(); }
    // Gate k of the running order (channel 0's gates first); ValueError when out of range.
    TAngleGate GetGate(int k) const;
    // Replaces gate k; a gate whose channel changes moves to the end of its new channel.
    void SetGate(int k, const TAngleGate &g);
    // Appends to the gate's channel; a channel above 23 is refused (ValueError).
    void AddGt(const TAngleGate &g);
    void Delete(int k);

    const std::filesystem::path &GateFileName() const { return FGateFileName; }
    void setGateFileName(const std::filesystem::path &p) { FGateFileName = p; }
    std::uint32_t LeftTachoTick() const { return FLeftTachoTick; }
    void setLeftTachoTick(std::uint32_t v) { FLeftTachoTick = v; }
    std::uint32_t TurnDuration() const { return FTurnDuration; }
    void setTurnDuration(std::uint32_t v) { FTurnDuration = v; }
    bool comdemon() const { return Fcomdemon; }
    void setComdemon(bool v) { Fcomdemon = v; }
    double komega() const { return fk; }
    void setKomega(double v) { fk = v; }
    const std::string &headerText() const { return FpText; }
    std::size_t channelGateCount(int ch) const { return FGates.at(static_cast<std::size_t>(ch)).size(); }

private:
    std::pair<int, int> locate(int k) const;
    void clearGates();

    std::filesystem::path FGateFileName;
    bool Fcomdemon = true;
    int fTachoch = 0;
    std::uint32_t FLeftTachoTick = 0;
    std::uint32_t FTurnDuration = 0;
    double fk = 0;
    std::array<int, kGateChannels> FNGates{};
    std::array<int, kGateChannels> FNGatesm1{};
    std::array<std::vector<TAngleGate>, kGateChannels> FGates;
    std::array<std::vector<float>, kGateChannels> FPeekInGate;
    std::string FpText; // header text block; its length is FLText
};

} // namespace vibrolan
