// The filter structure and its three arrays live in one hostrt block, so the
// caller releases everything with a single FreeIIRFilterPtr.
#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "iir/validation.hpp"
#include "sigmath/iir.h"

#include <cstring>
#include <limits>

using namespace sigmath;

SIGMATH_EXPORT IIRFilterInfo *AllocIIRFilterPtr(int32_t type, int32_t order)
{
    if (!iir::valid_type(type) || order < 1)
        return nullptr;
    const int64_t k = iir::section_width(type);
    const int64_t ns = iir::section_count(order);
    const int64_t nb = (k + 1) * ns;
    if (nb > std::numeric_limits<int32_t>::max())
        return nullptr; // the counts would not fit the structure's fields
    const int64_t na = k * ns;
    const std::size_t doubles = static_cast<std::size_t>(na + nb + na);
    const std::size_t bytes = sizeof(IIRFilterInfo) + doubles * sizeof(double);
    auto *block = static_cast<unsigned char *>(hrt_malloc(bytes));
    if (block == nullptr)
        return nullptr;
    std::memset(block, 0, bytes);
    auto *f = reinterpret_cast<IIRFilterInfo *>(block);
    auto *arrays = reinterpret_cast<double *>(block + sizeof(IIRFilterInfo));
    f->type = type;
    f->order = order;
    f->reset = 0;
    f->na = static_cast<int32_t>(na);
    f->a = arrays;
    f->nb = static_cast<int32_t>(nb);
    f->b = arrays + na;
    f->nstate = static_cast<int32_t>(na);
    f->state = arrays + na + nb;
    return f;
}

SIGMATH_EXPORT void FreeIIRFilterPtr(IIRFilterInfo *filter) { hrt_free(filter); }

SIGMATH_EXPORT void ResetIIRFilter(IIRFilterInfo *filter)
{
    if (filter != nullptr)
        filter->reset = 1;
}
