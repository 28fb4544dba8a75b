#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

// The number of worker threads to use: requested, or one per core when 0.
inline int workerCount(int requested) {
  if (requested > 0) return requested;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores);
}

// Runs work() on the calling thread and on up to `helpers` threads of a
// process-wide pool at once, and returns once every one of them is done.
// The pool's threads are started when first wanted and then wait for the
// next call, so a computation that goes parallel many times a second does
// not pay for starting threads each time. False, with nothing run, when
// the pool is in use by another call (two computations on two threads) or
// belongs to the parent of a forked process; the caller then starts
// threads of its own. work must not throw.
bool runOnWorkerPool(int helpers, const std::function<void()>& work);

// Runs task(i) for every i in 0..count-1 on up to `threads` threads (0: one
// per core). Tasks are handed out in order from a shared counter; callers
// make each task's result depend on i alone, so no result depends on the
// scheduling. The first exception a task throws is rethrown here once every
// thread has stopped; the remaining tasks are then skipped. When no thread
// can be started the calling thread does all the work.
template <typename Task>
void parallelFor(int threads, std::size_t count, Task&& task) {
  const int workers = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(workerCount(threads)), count));
  if (workers <= 1) {
    for (std::size_t i = 0; i < count; ++i) task(i);
    return;
  }
  std::atomic<std::size_t> nextTask{0};
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  std::mutex failureLock;
  auto work = [&]() {
    for (;;) {
      if (failed.load(std::memory_order_relaxed)) return;
      const std::size_t i = nextTask.fetch_add(1, std::memory_order_relaxed);
      if (i >= count) return;
      try {
        task(i);
      } catch (...) {
        const std::lock_guard<std::mutex> hold(failureLock);
        if (!failure) failure = std::current_exception();
        failed.store(true, std::memory_order_relaxed);
      }
    }
  };
  if (runOnWorkerPool(workers - 1, work)) {
    if (failure) std::rethrow_exception(failure);
    return;
  }
  std::vector<std::thread> pool;
  try {
    pool.reserve(static_cast<std::size_t>(workers - 1));
    for (int w = 1; w < workers; ++w) pool.emplace_back(work);
  } catch (const std::system_error&) {
    // Fewer threads than asked for: the ones started and this one share the work.
  } catch (const std::bad_alloc&) {
  }
  work();
  for (std::thread& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);
}
