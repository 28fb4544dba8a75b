#pragma once

// Computing cases on the split engine, into the public results. Private to
// the library: the Evaluator runs a CaseRunner.

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

#include "lib/engine_case.h"
#include "split/perfect_split.h"
#include "split/resplit_strategy.h"
#include "split/split_calculator.h"
#include "split/split_results.h"
#include "splitev/evaluator.h"
#include "splitev/results.h"

namespace splitev {

// A pair's split results in both views, as every program shows them.
PairResult splitPairResult(Rank pair, const SplitResults& results, const RuleSet& rules);

// A pair's whole decision in both views: the quantities split, split_joint,
// split_perfect (when perfect is given; only the entries asked for),
// split_cdz and split_cdp1 (when strategies is given; every entry), stand,
// hit and double, and the best play per entry (the highest unconditional
// value among stand, hit, double where allowed and split; exact ties prefer
// stand, then hit, then double, then split).
PairResult decisionPairResult(Rank pair, const SplitDecision& decision, const RuleSet& rules,
                              const PerfectResults* perfect = nullptr, const EntrySet& entries = AllEntries,
                              const StrategyResplitResults* strategies = nullptr);

// Thrown by CaseRunner::evaluate when its stop test said to stop.
struct CaseCancelled {};

// When the dealer cache is carried from one case to the next.
enum class CacheAcrossCases {
  // Only into a case whose shoe is related to the last one's, and only a
  // small cache (see CaseRunner); otherwise the case starts empty.
  WhenRelated,
  // Always, within the budget: the fixed-budget policy, for comparison.
  WithinBudget,
};

// Evaluates cases one after another. Cases with the same deck count and
// soft-17 rule share one calculator; within a case the pairs share its
// dealer cache, which is cleared whenever it holds more than the budget.
// Between cases the cache pays only where the shoes are related: cached
// records are keyed by every card out of the shoe, so two cases meet on a
// record only where the removals of one plus some player cards equal the
// removals of the other plus some player cards. A sweep that removes more
// (or fewer) cards case by case meets the last case at every step; shoes
// that differ both ways share little, and carrying a large cache across
// them costs more than it saves, as every computation pays for the records
// held (200 distinct small one-deck shoes took 2.2 times the processor time
// with a 4 GiB budget as with 64 MiB; see bench/table_cache_bench.cc). So a
// case keeps the cache when its removals lie within the last case's or
// contain them and the cache holds at most 64 MiB, and starts empty
// otherwise. No result depends on any of this.
class CaseRunner {
 public:
  CaseRunner(int threads, std::size_t cacheBudget, Quantities quantities,
             CacheAcrossCases acrossCases = CacheAcrossCases::WhenRelated)
      : threads(threads), cacheBudget(cacheBudget), quantities(quantities), acrossCases(acrossCases) {}

  // Bytes split_perfect may hold.
  std::size_t memoryBudget = SIZE_MAX;
  // Polled during split_perfect (from any of its threads) and after each
  // pair: true abandons the case (CaseCancelled).
  std::function<bool()> stopRequested;
  // split_perfect's progress: the pair, the phase and the share done.
  std::function<void(Rank, std::string_view, double)> perfectProgress;

  // Every pair the case asks for, ace first; afterPair(pair) is called
  // after each one.
  Results evaluate(const Case& c, const std::function<void(Rank)>& afterPair = {});

 private:
  SplitCalculator& calculatorFor(const EngineCase& c);

  int threads;
  std::size_t cacheBudget;
  Quantities quantities;
  CacheAcrossCases acrossCases;
  std::unique_ptr<SplitCalculator> calculator;
  Removals lastRemoved{};  // of the last case the calculator evaluated
};

}  // namespace splitev
