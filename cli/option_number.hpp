// Numbers given as command-line option values: "." decimals whatever the locale.
#pragma once

#include "base/errors.hpp"
#include "base/plain_number.hpp"

#include <cmath>
#include <string>
#include <string_view>

namespace vibrolan::cli {

// The finite number `text` of `option`; a ValueError naming both otherwise.
inline double optionNumber(const std::string &option, std::string_view text)
{
    const auto v = ParsePlainNumber(text);
    if (!v || !std::isfinite(*v))
        throw ValueError(option + " needs a number, got \"" + std::string(text) + "\"");
    return *v;
}

} // namespace vibrolan::cli
