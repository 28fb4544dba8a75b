#include "table/table_run.h"

#include "split/split_views.h"

PairReport splitPairReport(Rank pair, const SplitResults& results, const RuleSet& rules) {
  PairReport report;
  report.pair = pair;
  if (results.run == SplitRun::OutOfMemory) {
    report.status = PairStatus::OutOfMemory;
    return report;
  }
  // The case's removals were checked against the shoe: a refusal can only
  // mean too few cards of the pair.
  if (results.run != SplitRun::Completed) {
    report.status = PairStatus::CannotBeDealt;
    return report;
  }
  QuantityValues split;
  split.name = "split";
  split.complete = results.complete;
  for (int view = 0; view < ViewCount; ++view) {
    for (int entry = 0; entry < ValueCount; ++entry) {
      split.views[static_cast<std::size_t>(view)][static_cast<std::size_t>(entry)] =
          splitValueInView(results, entry, rules, view == static_cast<int>(View::Conditioned));
    }
  }
  report.quantities.push_back(split);
  return report;
}

SplitCalculator& CaseRunner::calculatorFor(const TableCase& c) {
  // Cached dealer outcomes hold for one full shoe and one soft-17 rule.
  if (!calculator || calculator->shoe.decks != c.decks ||
      calculator->rules.standsOnSoft17 != c.rules.standsOnSoft17) {
    calculator.reset();
    calculator = std::make_unique<SplitCalculator>(Shoe(c.decks), c.rules);
    calculator->threads = threads;
    calculator->dealerCacheBudget = cacheBudget;
  }
  calculator->rules = c.rules;
  return *calculator;
}

CaseReport CaseRunner::evaluate(const TableCase& c, const std::function<void(int, int)>& afterPair) {
  CaseReport report;
  report.table = c;
  SplitCalculator& calc = calculatorFor(c);
  int total = 0;
  for (bool asked : c.pairs) total += asked ? 1 : 0;
  int done = 0;
  for (Rank pair = 1; pair <= RankCount; ++pair) {
    if (!c.pairs[static_cast<std::size_t>(rankIndex(pair))]) continue;
    const auto held = static_cast<std::size_t>(calc.dealerCache.recordCount()) * DealerOutcomeCache::bytesPerRecord();
    if (held > cacheBudget) calc.clearDealerOutcomes();
    const bool cachedBefore = calc.dealerCache.recordCount() > 0;
    SplitResults results = calc.evaluateSplit(c.removed, pair);
    // Memory may have run out only for what earlier pairs left in the cache:
    // once more with an empty cache, and never leave a full cache to the next.
    if (results.run == SplitRun::OutOfMemory && cachedBefore) {
      calc.clearDealerOutcomes();
      results = calc.evaluateSplit(c.removed, pair);
    }
    if (results.run == SplitRun::OutOfMemory) calc.clearDealerOutcomes();
    report.pairs.push_back(splitPairReport(pair, results, c.rules));
    if (afterPair) afterPair(++done, total);
  }
  return report;
}
