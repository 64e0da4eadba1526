// Progress reporting for long operations. `done` runs from 0 to `total`;
// the front end repaints from it. A null function means nobody listens.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace vibrolan {

using ProgressFn = std::function<void(std::int64_t done, std::int64_t total)>;

inline void reportProgress(const ProgressFn &fn, std::int64_t done, std::int64_t total)
{
    if (fn)
        fn(done, total);
}

} // namespace vibrolan
