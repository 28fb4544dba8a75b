#include "table/table_run.h"

#include <optional>
#include <string>
#include <utility>

#include "split/split_views.h"
#include "table/stop_signal.h"

namespace {

bool viewIsConditioned(int view) { return view == static_cast<int>(View::Conditioned); }

// The report of a pair whose computation did not complete; nothing when it did.
std::optional<PairReport> unfinishedPair(Rank pair, SplitRun run) {
  PairReport report;
  report.pair = pair;
  if (run == SplitRun::OutOfMemory) {
    report.status = PairStatus::OutOfMemory;
    return report;
  }
  // The case's removals were checked against the shoe: a refusal can only
  // mean too few cards of the pair.
  if (run != SplitRun::Completed) {
    report.status = PairStatus::CannotBeDealt;
    return report;
  }
  return std::nullopt;
}

// Split values (both hands' bets charged to a dealer blackjack) in both views.
QuantityValues splitQuantity(std::string name, const SplitResults& results, const RuleSet& rules) {
  QuantityValues values;
  values.name = std::move(name);
  values.complete = results.complete;
  for (int view = 0; view < ViewCount; ++view) {
    for (int entry = 0; entry < ValueCount; ++entry) {
      values.views[static_cast<std::size_t>(view)][static_cast<std::size_t>(entry)] =
          splitValueInView(results, entry, rules, viewIsConditioned(view));
    }
  }
  return values;
}

// Values of the pair kept as one hand (one bet charged to a dealer
// blackjack under full peek) in both views, on the split's up cards and
// dealer-blackjack chances.
QuantityValues unsplitQuantity(std::string name, const ValueVector& ev, const SplitDecision& decision,
                               const RuleSet& rules) {
  QuantityValues values;
  values.name = std::move(name);
  values.complete = decision.unsplitComplete;
  for (int view = 0; view < ViewCount; ++view) {
    for (int entry = 0; entry < ValueCount; ++entry) {
      const auto i = static_cast<std::size_t>(entry);
      if (!decision.split.dealable[i]) continue;
      values.views[static_cast<std::size_t>(view)][i] =
          peekAdjusted(ev[i], decision.split.blackjackAt(entry), 1, rules, viewIsConditioned(view));
    }
  }
  return values;
}

// The first play with the highest unconditional value, in the order ties
// prefer: an entry only when every play has a value there.
BestActions bestActions(const QuantityValues& stand, const QuantityValues& hit, const QuantityValues& doubled,
                        const QuantityValues& split) {
  const std::pair<Action, const QuantityValues*> plays[] = {
      {Action::Stand, &stand}, {Action::Hit, &hit}, {Action::Double, &doubled}, {Action::Split, &split}};
  BestActions best{};
  for (int entry = 0; entry < ValueCount; ++entry) {
    std::optional<Action> chosen;
    double highest = 0.0;
    bool missing = false;
    for (const auto& [action, values] : plays) {
      if (!values->allowed) continue;
      const ShownValue& value = values->at(View::Unconditional, entry);
      if (!value.shown) missing = true;
      if (value.shown && (!chosen || value.value > highest)) {
        chosen = action;
        highest = value.value;
      }
    }
    if (!missing) best[static_cast<std::size_t>(entry)] = chosen;
  }
  return best;
}

}  // namespace

PairReport splitPairReport(Rank pair, const SplitResults& results, const RuleSet& rules) {
  if (auto unfinished = unfinishedPair(pair, results.run)) return *unfinished;
  PairReport report;
  report.pair = pair;
  report.quantities.push_back(splitQuantity("split", results, rules));
  return report;
}

PairReport decisionPairReport(Rank pair, const SplitDecision& decision, const RuleSet& rules,
                              const PerfectResults* perfect, const EntrySet& entries,
                              const StrategyResplitResults* strategies) {
  if (auto unfinished = unfinishedPair(pair, decision.split.run)) return *unfinished;
  if (strategies != nullptr)
    if (auto unfinished = unfinishedPair(pair, strategies->cdz.run)) return *unfinished;
  if (perfect != nullptr && perfect->run != PerfectRun::Completed) {
    PairReport report;
    report.pair = pair;
    report.status = perfect->run == PerfectRun::TooLarge ? PairStatus::TooLarge : PairStatus::OutOfMemory;
    report.neededBytes = perfect->estimatedBytes;
    report.neededAtLeast = !perfect->estimateComplete;
    return report;
  }
  // The joint split has the split's conventions, up cards and blackjack chances.
  SplitResults joint = decision.split;
  joint.ev = decision.splitJoint;
  QuantityValues split = splitQuantity("split", decision.split, rules);
  QuantityValues stand = unsplitQuantity("stand", decision.stand, decision, rules);
  QuantityValues hit = unsplitQuantity("hit", decision.hit, decision, rules);
  QuantityValues doubled = unsplitQuantity("double", decision.doubled, decision, rules);
  if (!decision.doubleAllowed) {
    doubled.allowed = false;
    doubled.views = {};
  }
  PairReport report;
  report.pair = pair;
  report.best = bestActions(stand, hit, doubled, split);
  report.quantities = {std::move(split), splitQuantity("split_joint", joint, rules)};
  if (perfect != nullptr) {
    QuantityValues values = splitQuantity("split_perfect", perfect->split, rules);
    values.computed = entries;
    report.quantities.push_back(std::move(values));
  }
  if (strategies != nullptr) {
    report.quantities.push_back(splitQuantity("split_cdz", strategies->cdz, rules));
    report.quantities.push_back(splitQuantity("split_cdp1", strategies->cdp1, rules));
  }
  for (QuantityValues* unsplit : {&stand, &hit, &doubled}) report.quantities.push_back(std::move(*unsplit));
  return report;
}

namespace {

// The most a case carries into the next: reuse across cases paid for no
// more than this on the batches of bench/table_cache_bench.cc, while every
// computation pays for the records held. Within a case the budget applies.
constexpr std::size_t CarriedCacheBytes = std::size_t{64} << 20;

// Whether one set of removals lies within the other (equal ones included).
bool nested(const Removals& a, const Removals& b) {
  bool aWithinB = true;
  bool bWithinA = true;
  for (std::size_t i = 0; i < a.size(); ++i) {
    aWithinB = aWithinB && a[i] <= b[i];
    bWithinA = bWithinA && b[i] <= a[i];
  }
  return aWithinB || bWithinA;
}

}  // namespace

SplitCalculator& CaseRunner::calculatorFor(const TableCase& c) {
  // Cached dealer outcomes hold for one full shoe and one soft-17 rule.
  if (!calculator || calculator->shoe.decks != c.decks ||
      calculator->rules.standsOnSoft17 != c.rules.standsOnSoft17) {
    calculator.reset();
    calculator = std::make_unique<SplitCalculator>(Shoe(c.decks), c.rules);
    calculator->threads = threads;
    calculator->dealerCacheBudget = cacheBudget;
  } else if (acrossCases == CacheAcrossCases::WhenRelated &&
             (!nested(c.removed, lastRemoved) || calculator->dealerCache.bytesUsed() > CarriedCacheBytes)) {
    calculator->clearDealerOutcomes();
  }
  calculator->rules = c.rules;
  lastRemoved = c.removed;
  return *calculator;
}

namespace {

SplitRun runOf(const SplitResults& results) { return results.run; }
SplitRun runOf(const SplitDecision& decision) { return decision.split.run; }
SplitRun runOf(const StrategyResplitResults& strategies) { return strategies.cdz.run; }

// One computation on the calculator. Memory may have run out only for what
// earlier pairs left in the cache: once more with an empty cache, and never
// leave a full cache to the next.
template <class Compute>
auto computeWithCacheRetry(SplitCalculator& calc, std::size_t cacheBudget, const Compute& compute) {
  const auto held = static_cast<std::size_t>(calc.dealerCache.recordCount()) * DealerOutcomeCache::bytesPerRecord();
  if (held > cacheBudget) calc.clearDealerOutcomes();
  const bool cachedBefore = calc.dealerCache.recordCount() > 0;
  auto result = compute();
  if (runOf(result) == SplitRun::OutOfMemory && cachedBefore) {
    calc.clearDealerOutcomes();
    result = compute();
  }
  if (runOf(result) == SplitRun::OutOfMemory) calc.clearDealerOutcomes();
  return result;
}

}  // namespace

CaseReport CaseRunner::evaluate(const TableCase& c, const std::function<void(int, int)>& afterPair) {
  CaseReport report;
  report.table = c;
  SplitCalculator& calc = calculatorFor(c);
  int total = 0;
  for (bool asked : c.pairs) total += asked ? 1 : 0;
  int done = 0;
  for (Rank pair = 1; pair <= RankCount; ++pair) {
    if (!c.pairs[static_cast<std::size_t>(rankIndex(pair))]) continue;
    if (quantities == PairQuantities::Decision) {
      const SplitDecision decision =
          computeWithCacheRetry(calc, cacheBudget, [&] { return calc.evaluateDecision(c.removed, pair); });
      // The post-split strategies on the same cache as the split (they share
      // many of its shoes), before split_perfect may clear it.
      const StrategyResplitResults strategies =
          decision.split.run != SplitRun::Completed
              ? StrategyResplitResults{}
              : computeWithCacheRetry(calc, cacheBudget,
                                      [&] { return evaluateStrategyResplits(calc, c.removed, pair, c.resplit); });
      if (decision.split.run != SplitRun::Completed || strategies.cdz.run != SplitRun::Completed) {
        report.pairs.push_back(decisionPairReport(pair, decision, c.rules, nullptr, AllEntries, &strategies));
      } else if (c.resplit.hands == 2) {
        // Two hands leave no resplit to choose, and perfect play of the two is
        // the joint split (the engine's own computation of it gives the same
        // bits, as the tests prove), so it is not computed a second time.
        PerfectResults perfect;
        perfect.run = PerfectRun::Completed;
        perfect.split = decision.split;
        perfect.split.ev = decision.splitJoint;
        report.pairs.push_back(decisionPairReport(pair, decision, c.rules, &perfect, c.upCards, &strategies));
      } else {
        PerfectControl control;
        control.entries = c.upCards;
        control.memoryBudget = memoryBudget;
        control.stopRequested = stopRequested;
        control.threads = threads;
        if (perfectProgress) control.progress = [&](std::string_view phase, double share) { perfectProgress(pair, phase, share); };
        // Its own memory: the dealer cache's records are not needed for it.
        if (calc.dealerCache.bytesUsed() > memoryBudget / 4) calc.clearDealerOutcomes();
        // It polls for a stop: a signal is only recorded meanwhile, and the
        // case dropped once the computation has returned.
        const std::optional<DeferStop> polled = stopRequested ? std::optional<DeferStop>(std::in_place) : std::nullopt;
        const PerfectResults perfect =
            evaluatePerfectSplit(calc.shoe, c.removed, pair, c.rules, c.resplit, control);
        if (perfect.run == PerfectRun::Cancelled) throw CaseCancelled{};
        report.pairs.push_back(decisionPairReport(pair, decision, c.rules, &perfect, c.upCards, &strategies));
      }
    } else {
      const SplitResults results =
          computeWithCacheRetry(calc, cacheBudget, [&] { return calc.evaluateSplit(c.removed, pair); });
      report.pairs.push_back(splitPairReport(pair, results, c.rules));
    }
    if (stopRequested && stopRequested()) throw CaseCancelled{};
    if (afterPair) afterPair(++done, total);
  }
  return report;
}
