#include "base/parallel_for.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace vibrolan;

// Every item once, progress in item order on the calling thread, for any
// number of threads (more threads than items included).
TEST(ParallelFor, EveryItemOnceAndProgressInOrderOnTheCallingThread)
{
    for (unsigned threads : {0U, 1U, 2U, 3U, 7U}) {
        for (std::size_t count : {0UL, 1UL, 5UL, 257UL}) {
            std::vector<std::atomic<int>> hits(count);
            std::vector<std::size_t> done;
            std::set<std::thread::id> workers;
            std::mutex m;
            const auto caller = std::this_thread::get_id();
            ParallelFor(
                count, threads,
                [&](std::size_t i) {
                    ++hits[i];
                    const std::lock_guard lock(m);
                    workers.insert(std::this_thread::get_id());
                },
                [&](std::size_t i) {
                    EXPECT_EQ(std::this_thread::get_id(), caller);
                    done.push_back(i);
                });
            for (std::size_t i = 0; i < count; ++i)
                EXPECT_EQ(hits[i].load(), 1) << threads << " threads, item " << i;
            ASSERT_EQ(done.size(), count);
            for (std::size_t i = 0; i < count; ++i)
                EXPECT_EQ(done[i], i);
            if (WorkerThreads(threads) == 1 && count > 0) { // the plain loop
                EXPECT_EQ(workers, std::set<std::thread::id>{caller});
            }
        }
    }
}

// A failing item: its exception (the first failed item's) comes out, the
// progress stops before it, and no item runs twice.
TEST(ParallelFor, TheFirstFailedItemsExceptionIsRethrown)
{
    for (unsigned threads : {1U, 2U, 3U, 7U}) {
        std::vector<std::atomic<int>> hits(64);
        std::vector<std::size_t> done;
        try {
            ParallelFor(
                64, threads,
                [&](std::size_t i) {
                    ++hits[i];
                    if (i == 20 || i == 40)
                        throw std::runtime_error("item " + std::to_string(i));
                },
                [&](std::size_t i) { done.push_back(i); });
            ADD_FAILURE() << "no exception with " << threads << " threads";
        } catch (const std::runtime_error &e) {
            // Item 40 may have failed too, but item 20 comes first.
            EXPECT_STREQ(e.what(), "item 20") << threads << " threads";
        }
        EXPECT_LE(done.size(), 20u);
        for (std::size_t i = 0; i < done.size(); ++i)
            EXPECT_EQ(done[i], i);
        for (const auto &h : hits)
            EXPECT_LE(h.load(), 1);
    }
}

// An exception from the progress listener stops the work and comes out.
TEST(ParallelFor, AProgressListenersExceptionStopsTheWork)
{
    std::atomic<int> started{0};
    EXPECT_THROW(ParallelFor(
                     1000, 2, [&](std::size_t) { ++started; },
                     [](std::size_t i) {
                         if (i == 3)
                             throw std::logic_error("cancelled");
                     }),
                 std::logic_error);
    EXPECT_LE(started.load(), 1000);
}
