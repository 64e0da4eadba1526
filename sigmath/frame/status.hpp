// Internal helpers every sigmath routine uses: the export macro for
// definitions, the one place where a failure code is produced, and the guard
// that keeps C++ exceptions from crossing the C ABI.
#pragma once

#include "sigmath/frame.h"

#include <cstdint>

#define SIGMATH_EXPORT extern "C" __attribute__((visibility("default")))

namespace sigmath {

// Every failure code passes through here: one place for a breakpoint.
inline int32_t fail(int32_t code) noexcept { return code; }

// Runs `body` and maps anything thrown to a status. Nothing should throw;
// the only thing that could is an allocation, hence -20001.
template <class Body>
int32_t guarded(Body &&body) noexcept
{
    try {
        return body();
    } catch (...) {
        return fail(SM_ERR_NO_MEMORY);
    }
}

} // namespace sigmath
