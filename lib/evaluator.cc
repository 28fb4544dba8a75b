// The public Evaluator: a CaseRunner behind the public interface, with the
// caller's stop test and progress kept on the caller's thread.

#include "splitev/evaluator.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "dealer/dealer_table.h"
#include "lib/case_runner.h"

namespace splitev {

namespace {

// How often the calling thread polls the stop test and passes progress on.
constexpr auto PollInterval = std::chrono::milliseconds(50);

// Half the machine's memory, in bytes (1 GiB when it cannot be told).
std::size_t halfTheMachine() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return std::size_t{1} << 30;
  return static_cast<std::size_t>(pages) / 2 * static_cast<std::size_t>(pageSize);
}

std::size_t mebibytes(std::size_t mib) { return mib > (SIZE_MAX >> 20) ? SIZE_MAX : mib << 20; }

// Progress reports from the computing threads, waiting for the caller's.
struct ProgressEvent {
  Rank pair;
  std::string phase;
  double share;
};

}  // namespace

struct Evaluator::State {
  explicit State(const EvaluatorOptions& options)
      : runner(options.threads, mebibytes(options.cacheBudgetMiB), options.quantities) {
    runner.memoryBudget = options.maxMemoryMiB == 0 ? halfTheMachine() : mebibytes(options.maxMemoryMiB);
  }

  Results run(const Case& c);
  Results runWatched(const Case& c);

  CaseRunner runner;
  std::function<bool()> stop;
  std::function<void(std::string_view, std::string_view, double)> progress;
};

Results Evaluator::State::run(const Case& c) {
  try {
    return runner.evaluate(c);
  } catch (const std::bad_alloc&) {
    throw Error("not enough memory for this case");
  }
}

// The case on a thread of its own while this one polls the stop test and
// hands on progress, so that both run on the caller's thread only, however
// the engine spreads its work.
Results Evaluator::State::runWatched(const Case& c) {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<ProgressEvent> events;
  bool finished = false;
  std::atomic<bool> stopping{false};
  std::optional<Results> results;
  std::exception_ptr failure;

  runner.stopRequested = [&stopping] { return stopping.load(); };
  runner.perfectProgress = [&](Rank pair, std::string_view phase, double share) {
    const std::lock_guard<std::mutex> hold(lock);
    events.push_back({pair, std::string(phase), share});
    changed.notify_one();
  };
  const auto afterPair = [&](Rank pair) {
    const std::lock_guard<std::mutex> hold(lock);
    events.push_back({pair, "done", 1.0});
    changed.notify_one();
  };
  const auto compute = [&] {
    std::optional<Results> got;
    std::exception_ptr thrown;
    try {
      got = runner.evaluate(c, afterPair);
    } catch (...) {
      thrown = std::current_exception();
    }
    const std::lock_guard<std::mutex> hold(lock);
    results = std::move(got);
    failure = thrown;
    finished = true;
    changed.notify_one();
  };
  std::thread worker;
  try {
    worker = std::thread(compute);
  } catch (const std::system_error&) {
    // No thread to spare: the case runs here, and the stop test and progress
    // are called after it, once.
    compute();
  }

  // Whatever the caller's callbacks throw, the worker is stopped and joined
  // before it goes on.
  std::exception_ptr callerFailure;
  for (bool done = false; !done;) {
    std::vector<ProgressEvent> pending;
    {
      std::unique_lock<std::mutex> hold(lock);
      changed.wait_for(hold, PollInterval, [&] { return finished || !events.empty(); });
      pending.swap(events);
      done = finished;
    }
    if (callerFailure) continue;
    try {
      for (const ProgressEvent& event : pending)
        if (progress) progress(rankName(event.pair), event.phase, event.share);
      if (!stopping && stop && stop()) stopping = true;
    } catch (...) {
      callerFailure = std::current_exception();
      stopping = true;
    }
  }
  if (worker.joinable()) worker.join();
  runner.stopRequested = nullptr;
  runner.perfectProgress = nullptr;

  if (callerFailure) std::rethrow_exception(callerFailure);
  if (stopping) throw Cancelled();
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
      throw Error("not enough memory for this case");
    }
  }
  return std::move(*results);
}

Evaluator::Evaluator(const EvaluatorOptions& options) : state(std::make_unique<State>(options)) {}
Evaluator::~Evaluator() = default;
Evaluator::Evaluator(Evaluator&&) noexcept = default;
Evaluator& Evaluator::operator=(Evaluator&&) noexcept = default;

void Evaluator::setStop(std::function<bool()> stop) { state->stop = std::move(stop); }

void Evaluator::setProgress(std::function<void(std::string_view, std::string_view, double)> progress) {
  state->progress = std::move(progress);
}

Results Evaluator::evaluate(const Case& c) {
  check(c);
  if (state->stop || state->progress) return state->runWatched(c);
  return state->run(c);
}

Results evaluate(const Case& c) { return Evaluator().evaluate(c); }

void prepare() {
  if (!buildDealerTables()) throw Error("not enough memory to build the dealer hand tables");
}

}  // namespace splitev
