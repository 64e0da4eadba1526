// Loading hostrt must not take over the C library's functions for the rest of
// the process: only the lifecycle names and hrt_-prefixed names are exported.
#include "hostrt/hostrt.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <string>

namespace {

// Name of the object that defines the symbol `name` as seen through handle `h`.
std::string definingObject(void *h, const char *name)
{
    void *p = dlsym(h, name);
    Dl_info info{};
    if (p == nullptr || dladdr(p, &info) == 0 || info.dli_fname == nullptr)
        return {};
    return info.dli_fname;
}

} // namespace

TEST(HostRtExports, OnlyPrefixedAndLifecycleNamesAreVisible)
{
    void *h = dlopen(HOSTRT_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr) << dlerror();
    // dlsym on a handle also searches the library's dependencies: the C
    // library may answer, hostrt itself must not.
    for (const char *name : {"malloc", "free", "calloc", "realloc", "sin", "pow", "sqrt", "log", "qsort",
                             "strlen", "memset", "memmove", "strcpy", "labs"})
        EXPECT_EQ(definingObject(h, name).find("libhostrt"), std::string::npos) << name;
    for (const char *name :
         {"InitJQZRTDll", "CloseJQZRTDll", "JQZRTDllAbnormalExit", "UsingHostRtDll", "__IsRTEStillLoaded",
          "hrt_malloc", "hrt_sin_FLTREG_", "hrt_sin_FLTEAXEDX_", "hrt_errno_location", "hrt_version"})
        EXPECT_NE(definingObject(h, name).find("libhostrt"), std::string::npos) << name;
    dlclose(h);
}
