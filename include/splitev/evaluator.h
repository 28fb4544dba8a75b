#pragma once

// Evaluating cases.
//
// What may run in parallel: any number of evaluations at once, each on its
// own Evaluator (or through the free function evaluate, which makes one).
// An Evaluator is not shared between threads without a lock: one call at a
// time. The library's shared state (the dealer hand tables, built on first
// use, and the choice of vector code, made once) is built thread-safely
// and only read afterwards, so the free function is safe from any thread at
// any time. prepare() is the one exception: see there.

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <string_view>

#include "splitev/case.h"
#include "splitev/results.h"

namespace splitev {

// Thrown by Evaluator::evaluate when its stop test said to stop. The
// evaluator stays usable.
class Cancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "the evaluation was cancelled"; }
};

// What an evaluation computes for each pair.
enum class Quantities {
  Split,     // the split alone (the "split" quantity, no best play)
  Decision,  // the whole decision: every quantity and the best play
};

struct EvaluatorOptions {
  int threads = 0;                    // worker threads; 0: one per core. No result depends on it
  std::size_t cacheBudgetMiB = 4096;  // the dealer cache is cleared when it holds more
  std::size_t maxMemoryMiB = 0;       // split_perfect's limit; 0: half the machine's memory
  Quantities quantities = Quantities::Decision;
};

// Evaluates cases one after another, keeping the dealer cache from one case
// to the next where the shoes are related (as a batch does: same decks and
// soft-17 rule, removals of one within the other's). No result depends on
// what was evaluated before.
class Evaluator {
 public:
  explicit Evaluator(const EvaluatorOptions& options = {});
  ~Evaluator();
  Evaluator(Evaluator&&) noexcept;
  Evaluator& operator=(Evaluator&&) noexcept;
  Evaluator(const Evaluator&) = delete;
  Evaluator& operator=(const Evaluator&) = delete;

  // Every pair the case asks for, ace first. Throws Error for a case check()
  // refuses or one that cannot run at all (no memory for it); a pair that
  // runs out of memory is only that pair's error. Throws Cancelled when the
  // stop test returned true.
  Results evaluate(const Case& c);

  // Called on the thread that called evaluate, and only there, at least
  // every tenth of a second while it runs (so it may check for a keyboard
  // interrupt in an interpreter): the case is computed on a thread of its
  // own meanwhile (or, when none can be started, on the calling thread, and
  // the stop test is called once after it). Returning true abandons the case: the
  // computation stops at its next check (within a fraction of a second
  // during split_perfect; after the pair's split, decision or post-split
  // strategies otherwise, about a second at most for 8 decks) and evaluate
  // throws Cancelled.
  void setStop(std::function<bool()> stop);

  // Called on the thread that called evaluate, and only there, as work goes
  // on: with the pair ("A".."T"), the phase and the share of it done, 0 to
  // 1. Phases: "states" and "values" while split_perfect runs (at most every
  // tenth of a second), then "done" once for every pair when it is finished.
  void setProgress(std::function<void(std::string_view pair, std::string_view phase, double share)> progress);

 private:
  struct State;
  std::unique_ptr<State> state;
};

// One case on a fresh evaluator with the default options.
Results evaluate(const Case& c);

// Builds the tables every evaluation reads now rather than on the first
// evaluation; Error ("not enough memory to build the dealer hand tables")
// when they do not fit. Optional: a program calls it first thing, on its one
// thread, so that a machine too short of memory stops it at start-up (it
// sets the process's new-handler while it runs, so not while other threads
// allocate).
void prepare();

}  // namespace splitev
