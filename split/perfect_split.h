#pragma once

// The split with resplits to three or four hands under perfect play: every
// decision (stand, hit, double, resplit) maximises the expected total of all
// the round's hands given every card seen so far. With two hands it is the
// joint split (SplitDecision::splitJoint), bit for bit.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/split_results.h"

// How far a pair may be split again: up to `hands` hands in all (2, 3 or 4),
// and aces too when resplitAces.
struct ResplitRules {
  int hands = 2;
  bool resplitAces = false;

  bool operator==(const ResplitRules&) const = default;
};

// Memory lent to a run of computations (the pairs of one case), kept from
// one to the next so that each does not map its largest buffers anew
// (fresh pages cost a single deck's pairs about a tenth of their time). A
// computation counts what it holds against its memory budget, lets it go
// first when it would not fit otherwise, and keeps its buffers afterwards
// only when they are at most an eighth of the budget.
class PerfectScratch {
 public:
  PerfectScratch() = default;
  PerfectScratch(const PerfectScratch&) = delete;
  PerfectScratch& operator=(const PerfectScratch&) = delete;

  // What it holds.
  std::size_t bytes() const { return (values_.count + records_.count) * sizeof(double); }
  // Lets it all go.
  void release() {
    values_ = Buffer();
    records_ = Buffer();
  }
  // At least count doubles, not initialised: the kept ones when there are
  // enough, otherwise new ones in their place.
  double* values(std::size_t count) { return values_.atLeast(count); }
  double* records(std::size_t count) { return records_.atLeast(count); }

 private:
  struct Buffer {
    std::unique_ptr<double[]> data;
    std::size_t count = 0;
    double* atLeast(std::size_t n) {
      if (count < n) {
        data.reset();
        count = 0;
        data.reset(new double[n]);
        count = n;
      }
      return data.get();
    }
  };
  Buffer values_;
  Buffer records_;
};

// What drives one computation from outside: which entries to compute, how
// much memory it may take, when to stop and where to report progress.
struct PerfectControl {
  // Entry 0 overall, entry u against up card u; entries not asked for are
  // left at 0 and not dealable in the results.
  std::array<bool, 11> entries = {true, true, true, true, true, true, true, true, true, true, true};
  // Bytes the computation may hold; it works on fewer entries at a time to
  // stay under, and refuses (PerfectRun::TooLarge) when even one does not fit.
  std::size_t memoryBudget = SIZE_MAX;
  // Polled several times a second: true stops the computation (PerfectRun::Cancelled).
  std::function<bool()> stopRequested;
  // Called now and then with the phase ("states" or "values") and the share
  // of the whole computation done, 0 to 1.
  std::function<void(std::string_view phase, double share)> progress;
  int threads = 0;  // 0: one per core; no result depends on it
  // Memory kept between computations, or none.
  PerfectScratch* scratch = nullptr;
};

enum class PerfectRun {
  Completed,
  Refused,    // as SplitRun::Refused, or hands outside 2..4
  TooLarge,   // even one entry at a time would pass the memory budget
  Cancelled,  // stopRequested said so
  OutOfMemory,
};

struct PerfectResults {
  PerfectRun run = PerfectRun::Refused;
  // Values in the split's conventions: both first hands' bets charged to a
  // dealer blackjack under full peek (however many hands the round ends
  // with), so the split's views apply unchanged. split.run is Completed
  // exactly when run is.
  SplitResults split;
  std::size_t states = 0;       // player states valued (per pass)
  std::size_t dealerShoes = 0;  // distinct shoes a hand was played against (per pass)
  std::size_t passes = 0;       // passes over the states, each on a share of the entries
  std::size_t estimatedBytes = 0;  // peak the computation needs (for TooLarge: with one entry per pass)
  // False when the states alone passed the budget before all were found:
  // estimatedBytes is then only a lower bound.
  bool estimateComplete = true;
};

// The split of a pair of rank pair on the shoe (its full counts) less the
// removals, resplitting as resplit allows, played perfectly. The shoe is
// only read.
PerfectResults evaluatePerfectSplit(const Shoe& shoe, const Removals& removals, Rank pair, const RuleSet& rules,
                                    const ResplitRules& resplit, const PerfectControl& control);
