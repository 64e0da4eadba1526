// Internal helpers every sigmath routine uses: the export macro for
// definitions, the one place where a failure code is produced, and the guard
// that keeps C++ exceptions from crossing the C ABI.
#pragma once

#include "sigmath/frame.h"

#include <cstdint>
#include <new>

#define SIGMATH_EXPORT extern "C" __attribute__((visibility("default")))

namespace sigmath {

// Every failure code passes through here: one place for a breakpoint.
inline int32_t fail(int32_t code) noexcept { return code; }

// Runs `body` and maps anything thrown to a status (there should be nothing;
// std::bad_alloc from a stray standard container still becomes -20001).
template <class Body>
int32_t guarded(Body &&body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc &) {
        return fail(SM_ERR_NO_MEMORY);
    } catch (...) {
        return fail(SM_ERR_NO_MEMORY);
    }
}

} // namespace sigmath
