// Memory and C-library services. The C library's own heap and functions serve
// (hostrt exports them under prefixed names only, so nothing else in the
// process is redirected). A test hook can make allocations fail on purpose.
#include "hostrt/hostrt.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<int32_t> g_failAfter{-1};
std::atomic<int64_t> g_liveBlocks{0};

bool allocationAllowed()
{
    int32_t left = g_failAfter.load();
    while (left >= 0) {
        if (left == 0)
            return false;
        if (g_failAfter.compare_exchange_weak(left, left - 1))
            return true;
    }
    return true;
}

} // namespace

extern "C" {

HOSTRT_API void hrt_fail_allocations_after(int32_t n) { g_failAfter.store(n < 0 ? -1 : n); }

HOSTRT_API int64_t hrt_live_blocks(void) { return g_liveBlocks.load(); }

HOSTRT_API void *hrt_malloc(size_t n)
{
    if (n == 0 || !allocationAllowed())
        return nullptr;
    void *p = std::malloc(n);
    if (p != nullptr)
        ++g_liveBlocks;
    return p;
}

HOSTRT_API void *hrt_calloc(size_t count, size_t size)
{
    if (count == 0 || size == 0)
        return nullptr;
    if (count > SIZE_MAX / size)
        return nullptr; // the product would wrap: no such block exists
    void *p = hrt_malloc(count * size);
    if (p != nullptr)
        std::memset(p, 0, count * size);
    return p;
}

HOSTRT_API void hrt_free(void *p)
{
    if (p == nullptr)
        return;
    --g_liveBlocks;
    std::free(p);
}

HOSTRT_API void hrt_qsort(void *base, size_t count, size_t size,
                          int (*compare)(const void *, const void *))
{
    std::qsort(base, count, size, compare);
}

HOSTRT_API void *hrt_memmove(void *dst, const void *src, size_t n) { return std::memmove(dst, src, n); }
HOSTRT_API void *hrt_memset(void *dst, int value, size_t n) { return std::memset(dst, value, n); }
HOSTRT_API char *hrt_strcat(char *dst, const char *src) { return std::strcat(dst, src); }
HOSTRT_API char *hrt_strcpy(char *dst, const char *src) { return std::strcpy(dst, src); }
HOSTRT_API size_t hrt_strlen(const char *s) { return std::strlen(s); }
HOSTRT_API long hrt_labs(long v) { return std::labs(v); }

} // extern "C"
