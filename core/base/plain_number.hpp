// Numbers written to and read from files, dialogs and messages with "." as
// the decimal separator whatever the process locale says (the GUI toolkit
// sets the C locale from the environment, and printf/strtod follow it).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vibrolan {

// printf's "%.*g", "%.*f" and "%.*e"/"%.*E" without the locale.
std::string PlainGeneral(double v, int precision = 6);
std::string PlainFixed(double v, int decimals);
std::string PlainScientific(double v, int precision, bool upperCase = false);

// The whole text as a decimal number ("." separator, optional sign and
// exponent); nullopt for anything else, trailing characters included.
std::optional<double> ParsePlainNumber(std::string_view text);

} // namespace vibrolan
