// Makes the n-th allocation of a call fail, for n = 0, 1, 2, ... until the call
// succeeds, and checks that each failure is -20001 and leaves no block behind.
#pragma once

#include "hostrt/hostrt.h"
#include "sigmath/frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

namespace fit_test {

// Returns the number of allocation points seen (failures before success).
inline int expectCleanAllocationFailures(const std::function<int32_t()> &call)
{
    for (int failAfter = 0; failAfter < 64; ++failAfter) {
        const int64_t before = hrt_live_blocks();
        hrt_fail_allocations_after(failAfter);
        const int32_t status = call();
        hrt_fail_allocations_after(-1);
        EXPECT_EQ(hrt_live_blocks(), before) << "leak when allocation " << failAfter << " failed";
        if (status == SM_NO_ERROR)
            return failAfter;
        EXPECT_EQ(status, SM_ERR_NO_MEMORY) << "allocation " << failAfter;
        if (status != SM_ERR_NO_MEMORY)
            return failAfter;
    }
    ADD_FAILURE() << "call never succeeded";
    return -1;
}

} // namespace fit_test
