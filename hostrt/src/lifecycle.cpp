// Lifecycle exports: registration of client libraries, runtime identity,
// abnormal exit and the library's own detach.
#include "registration.hpp"

#include <cfenv>
#include <cstdlib>
#include <unistd.h>

extern "C" {

HOSTRT_API int32_t InitJQZRTDll(void *module, const void *, const void *, const void *,
                                const void *, const void *, const void *, const void *,
                                const void *, const void *, HostRtEventHandler const *handlers)
{
    // All six exceptions (invalid, denormal, divide-by-zero, overflow,
    // underflow, inexact) masked for this thread; rounding and precision
    // settings stay as they are.
#if defined(__x86_64__) || defined(__i386__)
    unsigned int mxcsr = 0;
    __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
    mxcsr |= 0x1F80u; // IM DM ZM OM UM PM
    __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr));
    unsigned short x87 = 0;
    __asm__ volatile("fnstcw %0" : "=m"(x87));
    x87 |= 0x003Fu;
    __asm__ volatile("fldcw %0" : : "m"(x87));
#else
    std::fedisableexcept(FE_ALL_EXCEPT);
#endif
    if (handlers != nullptr)
        for (HostRtEventHandler const *h = handlers; *h != nullptr; ++h)
            hostrt::registerClient(*h, module);
    hostrt::dispatch(module, HOSTRT_EVENT_START);
    hostrt::dispatch(module, HOSTRT_EVENT_STARTED);
    return 1;
}

HOSTRT_API void CloseJQZRTDll(void *module)
{
    if (hostrt::detached())
        return;
    hostrt::dispatch(module, HOSTRT_EVENT_STOPPING);
    hostrt::dispatch(module, HOSTRT_EVENT_STOP);
    hostrt::removeModule(module);
}

HOSTRT_API void JQZRTDllAbnormalExit(int32_t code) { ::_exit(code); }

HOSTRT_API int32_t UsingHostRtDll(void) { return 1; }

HOSTRT_API int32_t __IsRTEStillLoaded(void) { return 1; }

HOSTRT_API int32_t hrt_client_count(void) { return hostrt::clientCount(); }

HOSTRT_API int32_t hrt_client_started(int32_t index)
{
    const hostrt::ClientEntry *e = hostrt::clientAt(index);
    return e == nullptr ? -1 : (e->started ? 1 : 0);
}

HOSTRT_API int32_t hrt_is_detached(void) { return hostrt::detached() ? 1 : 0; }

} // extern "C"

namespace {
// hostrt keeps no files of its own to flush; its detach only raises the flag so
// that a client's later CloseJQZRTDll does nothing.
__attribute__((destructor(101))) void hostrtDetach() { hostrt::setDetached(); }
} // namespace
