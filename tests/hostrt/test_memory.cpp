// Memory services: the zero-size rules, the failure hook, and the C-library helpers.
#include "hostrt/hostrt.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(HostRtMemory, ZeroSizesAndNull)
{
    EXPECT_EQ(hrt_malloc(0), nullptr);
    EXPECT_EQ(hrt_calloc(0, 8), nullptr);
    EXPECT_EQ(hrt_calloc(8, 0), nullptr);
    EXPECT_EQ(hrt_calloc(SIZE_MAX / 2, 4), nullptr); // product wraps
    const int64_t live = hrt_live_blocks();
    hrt_free(nullptr);
    EXPECT_EQ(hrt_live_blocks(), live);
}

TEST(HostRtMemory, CallocZeroFillsAndBlocksAreCounted)
{
    const int64_t live = hrt_live_blocks();
    auto *p = static_cast<unsigned char *>(hrt_calloc(100, 3));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(p[i], 0);
    void *q = hrt_malloc(17);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(hrt_live_blocks(), live + 2);
    hrt_free(p);
    hrt_free(q);
    EXPECT_EQ(hrt_live_blocks(), live);
}

TEST(HostRtMemory, FailureHookFailsAfterNAllocations)
{
    hrt_fail_allocations_after(2);
    void *a = hrt_malloc(8);
    void *b = hrt_calloc(2, 8);
    void *c = hrt_malloc(8);
    hrt_fail_allocations_after(-1);
    void *d = hrt_malloc(8);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(c, nullptr);
    EXPECT_NE(d, nullptr);
    hrt_free(a);
    hrt_free(b);
    hrt_free(d);
}

TEST(HostRtMemory, LibraryFunctions)
{
    char buf[32] = {};
    hrt_strcpy(buf, "abc");
    hrt_strcat(buf, "de");
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(hrt_strlen(buf), 5u);
    hrt_memmove(buf + 1, buf, 4); // overlapping
    EXPECT_STREQ(buf, "aabcd");
    hrt_memset(buf, 'x', 2);
    EXPECT_STREQ(buf, "xxbcd");
    EXPECT_EQ(hrt_labs(-42L), 42L);
    int values[] = {5, -1, 3, 3, 0};
    hrt_qsort(values, 5, sizeof(int), [](const void *a, const void *b) {
        const int x = *static_cast<const int *>(a), y = *static_cast<const int *>(b);
        return (x > y) - (x < y);
    });
    const int sorted[] = {-1, 0, 3, 3, 5};
    EXPECT_EQ(std::memcmp(values, sorted, sizeof values), 0);
}
