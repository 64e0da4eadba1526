// Date-time values as the data files carry them: days since 30 December 1899
// (whole part the day, fraction the time of day), and their texts in the
// regional formats handed in by the front end.
#pragma once

#include <string>
#include <string_view>

namespace vibrolan::datafiles {

// Formats a date-time value with a pattern of d, dd, M, MM, yy, yyyy, h, hh,
// m, mm, s, ss, zzz; text in single quotes and any other character are copied.
// Values that are not finite or lie outside the years 100..9999 count as 0.
std::string formatDateTime(double dateTime, std::string_view pattern);

// The current local date and time as a date-time value.
double currentDateTime();

} // namespace vibrolan::datafiles
