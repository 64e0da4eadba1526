// Independent work items spread over threads, their completion reported in
// order on the calling thread (where a front end may repaint). The items must
// not depend on one another; what each writes must be its own, so the results
// are those of the plain loop whatever the number of threads.
#pragma once

#include <cstddef>
#include <functional>

namespace vibrolan {

// The number of threads to use for `requested` (0: one per core, at least 1).
unsigned WorkerThreads(unsigned requested);

// Runs work(0) .. work(count - 1) on up to `threads` threads (0: one per core)
// and calls done(i) on the calling thread for i = 0, 1, ... as soon as items
// 0 .. i have finished. With one thread (or one item) everything runs on the
// calling thread in order, as the plain loop would. When an item (or done)
// throws, the items not started yet are skipped, done() is called no more,
// and the exception of the first failed item is rethrown once every thread
// has finished.
void ParallelFor(std::size_t count, unsigned threads, const std::function<void(std::size_t)> &work,
                 const std::function<void(std::size_t)> &done = {});

} // namespace vibrolan
