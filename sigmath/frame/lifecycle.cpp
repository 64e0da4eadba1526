// Load and unload of the library: bind the runtime by name and register with
// it, and close the registration again when the library is unloaded.
#include "status.hpp"

#include "hostrt/hostrt.h"

#include <cstdio>
#include <dlfcn.h>

namespace {

// The runtime in use answers UsingHostRtDll with non-zero; the alternative
// runtime is only named for completeness and is never present next to hostrt.
constexpr const char *kHostRuntime = "libhostrt.so.0";
constexpr const char *kAlternativeRuntime = "libjqzrt.so";

void *g_module = nullptr;
void *g_runtime = nullptr;
bool g_initialised = false;
int32_t g_lastEvent = -1;

// sigmath registers one handler of its own so that the runtime's table shows
// the registration; it only remembers the last event.
void onRuntimeEvent(int32_t event) { g_lastEvent = event; }

void *ownModuleHandle()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&onRuntimeEvent), &info) != 0 && info.dli_fbase != nullptr)
        return info.dli_fbase;
    return dlopen(nullptr, RTLD_NOW); // the main program's handle
}

__attribute__((constructor)) void sigmathAttach()
{
    if (g_initialised)
        return;
    g_module = ownModuleHandle();
    const char *name = UsingHostRtDll() != 0 ? kHostRuntime : kAlternativeRuntime;
    g_runtime = dlopen(name, RTLD_NOW);
    if (g_runtime == nullptr) {
        // A loader cannot be told to refuse us from here: say so loudly and
        // stay unregistered; programs check SigmathRuntimeReady() at start.
        const char *why = dlerror();
        std::fprintf(stderr, "libsigmath: cannot load runtime library %s: %s\n", name,
                     why != nullptr ? why : "unknown reason");
        return;
    }
    static HostRtEventHandler const handlers[] = {&onRuntimeEvent, nullptr};
    g_initialised = InitJQZRTDll(g_module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, handlers) != 0;
    if (!g_initialised)
        std::fprintf(stderr, "libsigmath: runtime library %s refused the registration\n", name);
}

__attribute__((destructor)) void sigmathDetach()
{
    if (!g_initialised)
        return;
    if (__IsRTEStillLoaded() != 0)
        CloseJQZRTDll(g_module);
    if (g_runtime != nullptr) {
        dlclose(g_runtime);
        g_runtime = nullptr;
    }
    g_initialised = false;
}

} // namespace

SIGMATH_EXPORT int32_t SigmathRuntimeReady(void) { return g_initialised ? 1 : 0; }
