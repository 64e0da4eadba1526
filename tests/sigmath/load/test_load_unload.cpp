// sigmath registers with its runtime when loaded and closes the registration
// when unloaded; a second load of the same library does not register again.
#include "hostrt/hostrt.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

TEST(SigmathLoad, LoadTwiceRegistersOnceAndUnloadCloses)
{
    const int32_t before = hrt_client_count();
    void *first = dlopen(SIGMATH_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(first, nullptr) << dlerror();
    EXPECT_EQ(hrt_client_count(), before + 1);
    EXPECT_EQ(hrt_client_started(before), 1);

    auto ready = reinterpret_cast<int32_t (*)()>(dlsym(first, "SigmathRuntimeReady"));
    ASSERT_NE(ready, nullptr);
    EXPECT_EQ(ready(), 1);

    void *second = dlopen(SIGMATH_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_EQ(second, first);
    EXPECT_EQ(hrt_client_count(), before + 1);

    dlclose(second);
    EXPECT_EQ(hrt_client_count(), before + 1); // still loaded once
    dlclose(first);
    EXPECT_EQ(hrt_client_count(), before);

    // Loading again after a full unload registers afresh.
    void *again = dlopen(SIGMATH_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(hrt_client_count(), before + 1);
    dlclose(again);
    EXPECT_EQ(hrt_client_count(), before);
}

TEST(SigmathLoad, ExportsResolveByName)
{
    void *h = dlopen(SIGMATH_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr) << dlerror();
    auto text = reinterpret_cast<const char *(*)(int32_t)>(dlsym(h, "GetAnalysisErrorString"));
    ASSERT_NE(text, nullptr);
    EXPECT_NE(dlsym(h, "FreeAnalysisMem"), nullptr);
    // The two routines the program binds by name.
    EXPECT_NE(dlsym(h, "PolyFit"), nullptr);
    EXPECT_STREQ(text(-20037), "Array size must be greater than the order");
    dlclose(h);
}
