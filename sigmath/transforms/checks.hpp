// Argument tests shared by the transforms: count, power of two, arrays.
#pragma once

#include "frame/status.hpp"
#include "transforms/fft_core.hpp"

#include <initializer_list>

namespace sigmath::fft {

// n < 1 -> -20003; n not a power of two -> -20009 (when required); a null
// array -> -20008. Arrays are tested last so that the codes of the common
// checks come first.
inline int32_t check_args(int64_t n, bool power_of_two, std::initializer_list<const void *> arrays)
{
    if (n < 1)
        return fail(SM_ERR_SAMPLES_GT_ZERO);
    if (power_of_two && !is_power_of_two(n))
        return fail(SM_ERR_POWER_OF_TWO);
    for (const void *p : arrays)
        if (p == nullptr)
            return fail(SM_ERR_ARRAY_SIZE);
    return SM_NO_ERROR;
}

} // namespace sigmath::fft
