#include "base/parallel_for.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace vibrolan {

unsigned WorkerThreads(unsigned requested)
{
    if (requested != 0)
        return requested;
    return std::max(1U, std::thread::hardware_concurrency());
}

void ParallelFor(std::size_t count, unsigned threads, const std::function<void(std::size_t)> &work,
                 const std::function<void(std::size_t)> &done)
{
    const std::size_t workers = std::min<std::size_t>(WorkerThreads(threads), count);
    if (workers <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            work(i);
            if (done)
                done(i);
        }
        return;
    }

    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex m;
    std::condition_variable cv;
    std::vector<char> finished(count, 0); // guarded by m
    std::vector<std::exception_ptr> errors(count);
    std::exception_ptr doneError;
    auto worker = [&] {
        for (;;) {
            const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= count || failed.load(std::memory_order_relaxed))
                break;
            try {
                work(i);
            } catch (...) {
                errors[i] = std::current_exception();
                failed.store(true, std::memory_order_relaxed);
            }
            {
                const std::lock_guard lock(m);
                finished[i] = 1;
            }
            cv.notify_one();
        }
        // A skipped item must not keep the calling thread waiting for it.
        const std::lock_guard lock(m);
        cv.notify_one();
    };
    {
        std::vector<std::jthread> pool;
        pool.reserve(workers);
        for (std::size_t t = 0; t < workers; ++t)
            pool.emplace_back(worker);
        std::size_t reported = 0;
        std::unique_lock lock(m);
        while (reported < count) {
            cv.wait(lock, [&] { return finished[reported] != 0 || failed.load(std::memory_order_relaxed); });
            if (finished[reported] == 0)
                break; // something failed; the threads stop on their own
            if (errors[reported])
                break;
            lock.unlock();
            try {
                if (done)
                    done(reported);
            } catch (...) {
                doneError = std::current_exception();
                failed.store(true, std::memory_order_relaxed);
                lock.lock();
                break;
            }
            lock.lock();
            ++reported;
        }
        lock.unlock();
    } // the threads are joined here
    for (const std::exception_ptr &e : errors)
        if (e)
            std::rethrow_exception(e);
    if (doneError)
        std::rethrow_exception(doneError);
}

} // namespace vibrolan
