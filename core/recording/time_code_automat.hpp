// TUnTimeAutomat follows a time-code channel (SEV or IRIG-B) from the pulse
// times alone and keeps a running absolute time: whole seconds in `second()`
// and milliseconds within the second in `ms`.
#pragma once

#include <array>
#include <cstdint>

namespace vibrolan {

enum class TAutomState { WaitStart, WaitCode, WaitAfterBit, WaitAfterNoise };
enum class TTypeOfTime { SEV = 0, IRIG = 1 };

class TUnTimeAutomat {
public:
    // The IRIG element stored for a frame that resynchronised: never a marker.
    static constexpr std::uint32_t kIrigUnknown = 999;
    static constexpr std::uint32_t kIrigMarker = 888;

    void NewStick(std::uint32_t ticks);
    void NewStick_SEV(std::uint32_t ticks);
    void NewStick_IREG(std::uint32_t ticks);

    // Seconds are held in 64 bits so that IRIG times from February 2036 on
    // (2^32 s after 1899-12-30) do not wrap.
    std::uint64_t second() const { return Fsecond; }
    void setSecond(std::uint64_t s) { Fsecond = s; }
    std::uint32_t noise() const { return FNoise; }
    TTypeOfTime TipeOfTime() const { return FTypeOfTime; }
    void setTipeOfTime(TTypeOfTime t) { FTypeOfTime = t; }

    TAutomState state() const { return FState; }
    std::uint32_t nbits() const { return FNbits; }
    std::uint32_t shifter() const { return Fshifter; }
    std::uint32_t year() const { return Fyear; }
    std::uint32_t day() const { return Fday; }
    int flagIrig() const { return FFlag_IRIG; }
    std::uint32_t element(int index) const { return Fbitseq[static_cast<std::size_t>(index)]; }
    // Running time in seconds, as the run stamps a revolution.
    double time() const { return static_cast<double>(ms) / 1000.0 + static_cast<double>(Fsecond); }

    // BCD value of the SEV shift register: 4-bit groups from the least
    // significant up, each read with its bits reversed; value = value * 10 + digit.
    static std::uint32_t bcdValue(std::uint32_t shifter);
    // Whole days from 1899-12-30 to day `dayOfYear` (1-based) of `year`.
    static std::int64_t daysSince18991230(int year, int dayOfYear);

    std::uint32_t ms = 0;

private:
    void disturbance();

    double tau = 0.025; // microseconds per tick
    std::uint32_t FNbits = 0;
    TAutomState FState = TAutomState::WaitStart;
    std::uint32_t FNoise = 0;
    std::uint32_t FCurrIndex = 0;
    std::uint32_t FLastIndex = 0;
    std::uint32_t FNwhite = 0;
    std::uint32_t Fshifter = 0;
    std::uint64_t Fsecond = 0;
    std::int64_t Ffalling_edge = 0;
    std::array<std::uint32_t, 101> Fbitseq{};
    std::uint32_t Fyear = 0, Fmonth = 0, Fday = 0;
    TTypeOfTime FTypeOfTime = TTypeOfTime::SEV;
    int FFlag_IRIG = 0;
};

} // namespace vibrolan
