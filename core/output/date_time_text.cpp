#include "output/date_time_text.hpp"

#include <chrono>
#include <cmath>
#include <ctime>

namespace vibrolan::datafiles {

namespace {

// 1 January 100 and 31 December 9999 as date-time values.
constexpr double minDateTime = -657434.0;
constexpr double maxDateTime = 2958466.0;

struct Parts {
    int year, month, day, hour, minute, second, msec;
};

Parts decode(double dt)
{
    using namespace std::chrono;
    if (!std::isfinite(dt) || dt < minDateTime || dt >= maxDateTime)
        dt = 0;
    // Whole part the day; the fraction, taken without its sign, the time of day.
    double whole = std::trunc(dt);
    auto ms = static_cast<long long>(std::llround(std::fabs(dt - whole) * 86400000.0));
    long long days = static_cast<long long>(whole);
    if (ms >= 86400000) {
        ms -= 86400000;
        days += dt < 0 ? -1 : 1;
    }
    const sys_days epoch = year{1899} / December / 30;
    const year_month_day ymd{epoch + std::chrono::days{days}};
    Parts p{};
    p.year = static_cast<int>(ymd.year());
    p.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    p.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    p.hour = static_cast<int>(ms / 3600000);
    p.minute = static_cast<int>(ms / 60000 % 60);
    p.second = static_cast<int>(ms / 1000 % 60);
    p.msec = static_cast<int>(ms % 1000);
    return p;
}

std::string padded(int value, std::size_t width)
{
    std::string s = std::to_string(value);
    while (s.size() < width)
        s.insert(0, "0");
    return s;
}

} // namespace

std::string formatDateTime(double dateTime, std::string_view pattern)
{
    const Parts p = decode(dateTime);
    std::string out;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\'') {
            std::size_t close = pattern.find('\'', i + 1);
            if (close == std::string_view::npos)
                close = pattern.size();
            out += pattern.substr(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        switch (c) {
        case 'd':
            out += run >= 2 ? padded(p.day, 2) : std::to_string(p.day);
            break;
        case 'M':
            out += run >= 2 ? padded(p.month, 2) : std::to_string(p.month);
            break;
        case 'y':
            out += run >= 4 ? padded(p.year, 4) : padded(p.year % 100, 2);
            break;
        case 'h':
        case 'H':
            out += run >= 2 ? padded(p.hour, 2) : std::to_string(p.hour);
            break;
        case 'm':
            out += run >= 2 ? padded(p.minute, 2) : std::to_string(p.minute);
            break;
        case 's':
            out += run >= 2 ? padded(p.second, 2) : std::to_string(p.second);
            break;
        case 'z':
            out += run >= 3 ? padded(p.msec, 3) : std::to_string(p.msec);
            break;
        default:
            out.append(run, c);
            break;
        }
        i += run;
    }
    return out;
}

double currentDateTime()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const sys_days day = year{local.tm_year + 1900} / (local.tm_mon + 1) / local.tm_mday;
    const sys_days epoch = year{1899} / December / 30;
    const double ms = static_cast<double>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + ms / 1000.0;
    return static_cast<double>((day - epoch).count()) + seconds / 86400.0;
}

} // namespace vibrolan::datafiles
