// In-place sort through the runtime's qsort, shared by Sort and Median.
#pragma once

#include <cstdint>

namespace sigmath::stats {

void sortInPlace(double *x, int32_t n, bool ascending);

} // namespace sigmath::stats
