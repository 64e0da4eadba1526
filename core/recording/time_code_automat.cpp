#include "recording/time_code_automat.hpp"

#include "recording/tindex.hpp"

#include <algorithm>

namespace vibrolan {

void TUnTimeAutomat::NewStick(std::uint32_t ticks)
{
    if (FTypeOfTime == TTypeOfTime::IRIG)
        NewStick_IREG(ticks);
    else
        NewStick_SEV(ticks);
}

void TUnTimeAutomat::disturbance()
{
    FNoise = FState == TAutomState::WaitStart ? 5 : 200;
    FState = TAutomState::WaitAfterNoise;
}

void TUnTimeAutomat::NewStick_SEV(std::uint32_t t)
{
    FCurrIndex = t;
    const double d = static_cast<double>(CardDiff(t, FLastIndex)) * tau;
    FLastIndex = t;

    const double eps = 90 * tau;
    int cls;
    if (d < 80 - eps)
        cls = 0;
    else if (d < 80 + eps)
        cls = 1;
    else if (d < 920 - eps)
        cls = 2;
    else if (d < 920 + eps)
        cls = 3;
    else if (d < 1000 - eps)
        cls = 4;
    else if (d < 1000 + eps)
        cls = 5;
    else
        cls = 6;
    if (cls != 5)
        FNwhite = 0;

    if (FState == TAutomState::WaitAfterNoise) {
        // Intervals after a disturbance are only counted down.
        if (FNoise > 0)
            --FNoise;
        if (FNoise == 0)
            FState = TAutomState::WaitStart;
    } else if (cls == 1) {
        if (FState == TAutomState::WaitStart) {
            FNbits = 0;
            Fshifter = 0;
            FState = TAutomState::WaitAfterBit;
        } else if (FState == TAutomState::WaitCode) {
            ++ms;
            Fshifter = Fshifter * 2 + 1;
            ++FNbits;
            FState = TAutomState::WaitAfterBit;
        } else {
            disturbance();
        }
    } else if (cls == 3) {
        if (FState == TAutomState::WaitAfterBit)
            FState = TAutomState::WaitCode;
        else
            disturbance();
    } else if (cls == 5) {
        if (FState == TAutomState::WaitStart) {
            ++ms;
        } else if (FState == TAutomState::WaitCode) {
            Fshifter = Fshifter * 2;
            ++FNbits;
            ++ms;
            ++FNwhite;
        } else {
            disturbance();
        }
    } else {
        disturbance();
    }

    if (ms >= 1000) {
        ms = 0;
        ++Fsecond;
    }
    if (FNbits == 32) {
        Fsecond = bcdValue(Fshifter);
        FState = TAutomState::WaitStart;
        ms = 32;
        FNbits = 0;
    }
    if (FNwhite > 32)
        FState = TAutomState::WaitStart;
}

std::uint32_t TUnTimeAutomat::bcdValue(std::uint32_t shifter)
{
    std::uint32_t value = 0;
    for (int g = 0; g < 8; ++g) {
        const std::uint32_t group = (shifter >> (4 * g)) & 0xF;
        const std::uint32_t digit =
            ((group & 1) << 3) | ((group & 2) << 1) | ((group & 4) >> 1) | ((group & 8) >> 3);
        value = value * 10 + digit;
    }
    return value;
}

std::int64_t TUnTimeAutomat::daysSince18991230(int year, int dayOfYear)
{
    // Days from 1970-01-01 to 1 January of `year` (proleptic Gregorian).
    auto daysFromCivil = [](std::int64_t y, unsigned m, unsigned d) {
        y -= m <= 2;
        const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
        const auto yoe = static_cast<unsigned>(y - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
    };
    return daysFromCivil(year, 1, 1) - daysFromCivil(1899, 12, 30) + (dayOfYear - 1);
}

void TUnTimeAutomat::NewStick_IREG(std::uint32_t t)
{
    constexpr std::int64_t kWrap = INT64_C(1) << 32;
    Ffalling_edge = (Ffalling_edge + 400000) % kWrap;
    const std::int64_t d = Diff(t, static_cast<std::uint32_t>(Ffalling_edge));

    ms += 10;
    if (ms >= 1000) {
        ms = 0;
        ++Fsecond;
    }

    std::uint32_t element;
    if (d >= -1000 && d <= 1000) {
        element = kIrigMarker;
        Ffalling_edge = ((Ffalling_edge + d / 2) % kWrap + kWrap) % kWrap; // d / 2 truncates toward zero
    } else if (d >= -241000 && d <= -239000) {
        element = 0;
    } else if (d >= -121000 && d <= -119000) {
        element = 1;
    } else {
        Ffalling_edge = t;
        FFlag_IRIG = 90;
        element = kIrigUnknown;
    }
    if (element != kIrigUnknown)
        FFlag_IRIG = std::max(FFlag_IRIG - 1, 0);

    std::copy(Fbitseq.begin() + 1, Fbitseq.end(), Fbitseq.begin());
    Fbitseq[100] = element;

    const auto &e = Fbitseq;
    if (e[100] == kIrigMarker && e[99] == kIrigMarker && e[98] == 0 && FFlag_IRIG == 0) {
        Fyear = 2000 + e[50] + 2 * e[51] + 4 * e[52] + 8 * e[53] + 10 * e[55] + 20 * e[56] + 40 * e[57] +
                80 * e[58];
        Fday = e[30] + 2 * e[31] + 4 * e[32] + 8 * e[33] + 10 * e[35] + 20 * e[36] + 40 * e[37] + 80 * e[38] +
               100 * e[40] + 200 * e[41];
        if (Fyear >= 2010 && Fyear <= 2050 && Fday >= 1 && Fday <= 366) {
            std::uint64_t secondOfDay = 0;
            for (int i = 0; i <= 8; ++i)
                secondOfDay += static_cast<std::uint64_t>(e[80 + i]) << i;
            for (int i = 9; i <= 16; ++i)
                secondOfDay += static_cast<std::uint64_t>(e[81 + i]) << i;
            Fsecond = static_cast<std::uint64_t>(
                          daysSince18991230(static_cast<int>(Fyear), static_cast<int>(Fday))) *
                          86400 +
                      secondOfDay;
            ms = 0;
        }
    }
}

} // namespace vibrolan
