// Regional number and date formats handed to the core by the front end, so
// that the core never reads global locale state and tests are deterministic.
#pragma once

#include <string>

namespace vibrolan {

struct NumberFormat {
    char decimalSeparator = '.';
    std::string shortDateFormat = "dd.MM.yyyy";
    std::string longTimeFormat = "hh:mm:ss";
};

// The format the configuration dialogs always use.
inline NumberFormat dialogNumberFormat() { return NumberFormat{}; }

} // namespace vibrolan
