#pragma once

// Computing the cases of the table program on the split engine.

#include <cstddef>
#include <functional>
#include <memory>

#include "split/perfect_split.h"
#include "split/split_calculator.h"
#include "split/split_results.h"
#include "table/table_format.h"

// A pair's split results in both views, as every program shows them.
PairReport splitPairReport(Rank pair, const SplitResults& results, const RuleSet& rules);

// A pair's whole decision in both views: the quantities split, split_joint,
// split_perfect (when perfect is given; only the entries asked for), stand,
// hit and double, and the best play per entry (the highest unconditional
// value among stand, hit, double where allowed and split; exact ties prefer
// stand, then hit, then double, then split).
PairReport decisionPairReport(Rank pair, const SplitDecision& decision, const RuleSet& rules,
                              const PerfectResults* perfect = nullptr, const EntrySet& entries = AllEntries);

// Thrown by CaseRunner::evaluate when its stop test said to stop.
struct CaseCancelled {};

// What a run computes for each pair.
enum class PairQuantities {
  Split,     // the split alone
  Decision,  // the whole decision
};

// Evaluates cases one after another. Cases with the same deck count and
// soft-17 rule share one calculator and so its dealer cache; the cache is
// cleared whenever it holds more than the budget. No result depends on
// either.
class CaseRunner {
 public:
  CaseRunner(int threads, std::size_t cacheBudget, PairQuantities quantities)
      : threads(threads), cacheBudget(cacheBudget), quantities(quantities) {}

  // Bytes split_perfect may hold.
  std::size_t memoryBudget = SIZE_MAX;
  // Polled during split_perfect: true abandons the case (CaseCancelled).
  std::function<bool()> stopRequested;
  // split_perfect's progress: the pair, the phase and the share done.
  std::function<void(Rank, std::string_view, double)> perfectProgress;

  // Every pair the case asks for, ace first; afterPair(done, total) is
  // called after each one.
  CaseReport evaluate(const TableCase& c, const std::function<void(int, int)>& afterPair = {});

 private:
  SplitCalculator& calculatorFor(const TableCase& c);

  int threads;
  std::size_t cacheBudget;
  PairQuantities quantities;
  std::unique_ptr<SplitCalculator> calculator;
};
