#include "base/parallel.h"

#include <unistd.h>

#include <condition_variable>
#include <cstdint>

namespace {

// True on a thread while it runs a call's work: a parallelFor inside a task
// starts threads of its own rather than wait on the pool it is part of.
thread_local bool insideCall = false;

// Runs work with insideCall set.
void runMarked(const std::function<void()>& work) {
  insideCall = true;
  work();
  insideCall = false;
}

// Threads that wait for work between calls. One call uses the pool at a
// time; a call engages as many waiting threads as it asks for (starting
// more when there are too few), runs the work itself too, takes back the
// places no thread has claimed by the time its own share is done, and
// waits only for the threads that did start.
class WorkerPool {
 public:
  bool run(int helpers, const std::function<void()>& work) {
    if (insideCall) return false;
    std::unique_lock<std::mutex> call(callLock, std::try_to_lock);
    if (!call.owns_lock() || getpid() != owner) return false;
    grow(helpers);
    {
      const std::lock_guard<std::mutex> hold(lock);
      job = &work;
      open = std::min(helpers, started);
      running = open;
      ++generation;
    }
    wake.notify_all();
    runMarked(work);
    std::unique_lock<std::mutex> hold(lock);
    running -= open;
    open = 0;
    finished.wait(hold, [&] { return running == 0; });
    job = nullptr;
    return true;
  }

 private:
  // Starts threads until there are `helpers`, or as many as the system
  // gives. Called with callLock held.
  void grow(int helpers) {
    while (started < helpers) {
      try {
        std::thread(&WorkerPool::serve, this).detach();
      } catch (const std::system_error&) {
        return;
      } catch (const std::bad_alloc&) {
        return;
      }
      const std::lock_guard<std::mutex> hold(lock);
      ++started;
    }
  }

  void serve() {
    std::uint64_t seen = 0;
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
      wake.wait(hold, [&] { return generation != seen && open > 0; });
      seen = generation;
      --open;
      const std::function<void()>& work = *job;
      hold.unlock();
      runMarked(work);
      hold.lock();
      if (--running == 0) finished.notify_one();
    }
  }

  const pid_t owner = getpid();
  std::mutex callLock;  // held by the call using the pool
  std::mutex lock;      // guards everything below
  std::condition_variable wake;
  std::condition_variable finished;
  const std::function<void()>* job = nullptr;
  int started = 0;  // threads serving
  int open = 0;     // places of the current call not yet taken by a thread
  int running = 0;  // threads engaged in the current call and not yet done
  std::uint64_t generation = 0;
};

}  // namespace

bool runOnWorkerPool(int helpers, const std::function<void()>& work) {
  // Never destroyed: its threads wait for work until the process ends, and
  // a thread still waiting at exit must find its pool there.
  static WorkerPool* const pool = new WorkerPool;
  return pool->run(helpers, work);
}
