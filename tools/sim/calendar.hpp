// Civil dates as day counts from 1899-12-30, the epoch of the recording
// header's date and of the time code's seconds.
#pragma once

namespace vibrolan::sim {

constexpr long daysSince1899(int y, int m, int d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569; // 25569: 1899-12-30 .. 1970-01-01
}
static_assert(daysSince1899(2020, 1, 1) == 43831);
static_assert(daysSince1899(1899, 12, 30) == 0);

} // namespace vibrolan::sim
