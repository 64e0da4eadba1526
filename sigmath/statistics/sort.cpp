// Sorting of a copy through the runtime's qsort.
#include "statistics/sort.hpp"

#include "frame/status.hpp"
#include "hostrt/hostrt.h"
#include "sigmath/statistics.h"

#include <cmath>
#include <cstddef>

namespace sigmath::stats {
namespace {

// A strict total order even with NaNs (they go after every number), because
// qsort is only safe with a consistent comparison.
int compareAscending(const void *pa, const void *pb)
{
    const double a = *static_cast<const double *>(pa);
    const double b = *static_cast<const double *>(pb);
    const bool na = std::isnan(a);
    const bool nb = std::isnan(b);
    if (na || nb)
        return static_cast<int>(na) - static_cast<int>(nb);
    return (a < b) ? -1 : (a > b) ? 1 : 0;
}

int compareDescending(const void *pa, const void *pb) { return compareAscending(pb, pa); }

} // namespace

void sortInPlace(double *x, int32_t n, bool ascending)
{
    hrt_qsort(x, static_cast<std::size_t>(n), sizeof(double),
              ascending ? compareAscending : compareDescending);
}

} // namespace sigmath::stats

using namespace sigmath;

SIGMATH_EXPORT int32_t Sort(const double *x, int32_t n, int32_t direction, double *out)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        if (out != x)
            hrt_memmove(out, x, static_cast<std::size_t>(n) * sizeof(double));
        stats::sortInPlace(out, n, direction == 0);
        return SM_NO_ERROR;
    });
}
