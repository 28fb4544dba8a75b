#include "lib/case_runner.h"

#include <optional>
#include <string>
#include <utility>

#include "split/split_views.h"

namespace splitev {

namespace {

bool viewIsConditioned(int view) { return view == static_cast<int>(View::Conditioned); }

std::optional<double> shown(const ShownValue& value) {
  return value.shown ? std::optional<double>(value.value) : std::nullopt;
}

// Why a pair has no values, as every format words it.
std::string_view statusText(PairStatus status) {
  switch (status) {
    case PairStatus::Computed:
      return "";
    case PairStatus::CannotBeDealt:
      return "pair cannot be dealt";
    case PairStatus::OutOfMemory:
      return "not enough memory to compute this split";
    case PairStatus::TooLarge:
      return "split_perfect needs more memory than --max-memory allows";
  }
  return "";
}

PairResult unfinished(Rank pair, PairStatus status) {
  PairResult result;
  result.pair = rankName(pair);
  result.status = status;
  result.error = std::string(statusText(status));
  return result;
}

// The result of a pair whose computation did not complete; nothing when it did.
std::optional<PairResult> unfinishedPair(Rank pair, SplitRun run) {
  if (run == SplitRun::OutOfMemory) return unfinished(pair, PairStatus::OutOfMemory);
  // The case's removals were checked against the shoe: a refusal can only
  // mean too few cards of the pair.
  if (run != SplitRun::Completed) return unfinished(pair, PairStatus::CannotBeDealt);
  return std::nullopt;
}

// Split values (both hands' bets charged to a dealer blackjack) in both views.
QuantityResult splitQuantity(std::string name, const SplitResults& results, const RuleSet& rules) {
  QuantityResult values;
  values.name = std::move(name);
  values.complete = results.complete;
  for (int view = 0; view < ViewCount; ++view) {
    for (int entry = 0; entry < EntryCount; ++entry) {
      values.views[static_cast<std::size_t>(view)][static_cast<std::size_t>(entry)] =
          shown(splitValueInView(results, entry, rules, viewIsConditioned(view)));
    }
  }
  return values;
}

// Values of the pair kept as one hand (one bet charged to a dealer
// blackjack under full peek) in both views, on the split's up cards and
// dealer-blackjack chances.
QuantityResult unsplitQuantity(std::string name, const ValueVector& ev, const SplitDecision& decision,
                               const RuleSet& rules) {
  QuantityResult values;
  values.name = std::move(name);
  values.complete = decision.unsplitComplete;
  for (int view = 0; view < ViewCount; ++view) {
    for (int entry = 0; entry < EntryCount; ++entry) {
      const auto i = static_cast<std::size_t>(entry);
      if (!decision.split.dealable[i]) continue;
      values.views[static_cast<std::size_t>(view)][i] =
          shown(peekAdjusted(ev[i], decision.split.blackjackAt(entry), 1, rules, viewIsConditioned(view)));
    }
  }
  return values;
}

// The first play with the highest unconditional value, in the order ties
// prefer: an entry only when every play has a value there.
BestPlays bestPlays(const QuantityResult& stand, const QuantityResult& hit, const QuantityResult& doubled,
                    const QuantityResult& split) {
  const std::pair<Play, const QuantityResult*> plays[] = {
      {Play::Stand, &stand}, {Play::Hit, &hit}, {Play::Double, &doubled}, {Play::Split, &split}};
  BestPlays best;
  for (int entry = 0; entry < EntryCount; ++entry) {
    std::optional<Play> chosen;
    double highest = 0.0;
    bool missing = false;
    for (const auto& [play, values] : plays) {
      if (!values->allowed) continue;
      const std::optional<double>& value = values->at(View::Unconditional, entry);
      if (!value) missing = true;
      if (value && (!chosen || *value > highest)) {
        chosen = play;
        highest = *value;
      }
    }
    if (!missing) best.plays[static_cast<std::size_t>(entry)] = chosen;
  }
  return best;
}

bool allComplete(const PairResult& pair) {
  for (const QuantityResult& quantity : pair.quantities)
    if (!quantity.complete) return false;
  return true;
}

}  // namespace

PairResult splitPairResult(Rank pair, const SplitResults& results, const RuleSet& rules) {
  if (auto unfinished = unfinishedPair(pair, results.run)) return *unfinished;
  PairResult result;
  result.pair = rankName(pair);
  result.quantities.push_back(splitQuantity("split", results, rules));
  return result;
}

PairResult decisionPairResult(Rank pair, const SplitDecision& decision, const RuleSet& rules,
                              const PerfectResults* perfect, const EntrySet& entries,
                              const StrategyResplitResults* strategies) {
  if (auto unfinished = unfinishedPair(pair, decision.split.run)) return *unfinished;
  if (strategies != nullptr)
    if (auto unfinished = unfinishedPair(pair, strategies->cdz.run)) return *unfinished;
  if (perfect != nullptr && perfect->run != PerfectRun::Completed) {
    PairResult result =
        unfinished(pair, perfect->run == PerfectRun::TooLarge ? PairStatus::TooLarge : PairStatus::OutOfMemory);
    result.neededBytes = perfect->estimatedBytes;
    result.neededAtLeast = !perfect->estimateComplete;
    return result;
  }
  // The joint split has the split's conventions, up cards and blackjack chances.
  SplitResults joint = decision.split;
  joint.ev = decision.splitJoint;
  QuantityResult split = splitQuantity("split", decision.split, rules);
  QuantityResult stand = unsplitQuantity("stand", decision.stand, decision, rules);
  QuantityResult hit = unsplitQuantity("hit", decision.hit, decision, rules);
  QuantityResult doubled = unsplitQuantity("double", decision.doubled, decision, rules);
  if (!decision.doubleAllowed) {
    doubled.allowed = false;
    doubled.views = {};
  }
  PairResult result;
  result.pair = rankName(pair);
  BestPlays best = bestPlays(stand, hit, doubled, split);
  result.quantities = {std::move(split), splitQuantity("split_joint", joint, rules)};
  if (perfect != nullptr) {
    QuantityResult values = splitQuantity("split_perfect", perfect->split, rules);
    // Entries not asked for hold nothing.
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (!entries[i]) values.views[0][i] = values.views[1][i] = std::nullopt;
    values.computed = entries;
    result.quantities.push_back(std::move(values));
  }
  if (strategies != nullptr) {
    result.quantities.push_back(splitQuantity("split_cdz", strategies->cdz, rules));
    result.quantities.push_back(splitQuantity("split_cdp1", strategies->cdp1, rules));
  }
  for (QuantityResult* unsplit : {&stand, &hit, &doubled}) result.quantities.push_back(std::move(*unsplit));
  best.complete = allComplete(result);
  result.best = best;
  return result;
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

SplitCalculator& CaseRunner::calculatorFor(const EngineCase& c) {
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

Results CaseRunner::evaluate(const Case& input, const std::function<void(Rank)>& afterPair) {
  Results report;
  report.input = input;
  const EngineCase c = engineCase(input);
  SplitCalculator& calc = calculatorFor(c);
  PerfectScratch scratch;  // split_perfect's buffers, from one pair to the next
  for (Rank pair = 1; pair <= RankCount; ++pair) {
    if (!c.pairs[static_cast<std::size_t>(rankIndex(pair))]) continue;
    if (quantities == Quantities::Decision) {
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
        report.pairs.push_back(decisionPairResult(pair, decision, c.rules, nullptr, AllEntries, &strategies));
      } else if (c.resplit.hands == 2) {
        // Two hands leave no resplit to choose, and perfect play of the two is
        // the joint split (the engine's own computation of it gives the same
        // bits, as the tests prove), so it is not computed a second time.
        PerfectResults perfect;
        perfect.run = PerfectRun::Completed;
        perfect.split = decision.split;
        perfect.split.ev = decision.splitJoint;
        report.pairs.push_back(decisionPairResult(pair, decision, c.rules, &perfect, c.upCards, &strategies));
      } else {
        PerfectControl control;
        control.entries = c.upCards;
        control.memoryBudget = memoryBudget;
        control.stopRequested = stopRequested;
        control.threads = threads;
        control.scratch = &scratch;
        if (perfectProgress) control.progress = [&](std::string_view phase, double share) { perfectProgress(pair, phase, share); };
        // Its own memory: the dealer cache's records are not needed for it.
        if (calc.dealerCache.bytesUsed() > memoryBudget / 4) calc.clearDealerOutcomes();
        const PerfectResults perfect =
            evaluatePerfectSplit(calc.shoe, c.removed, pair, c.rules, c.resplit, control);
        if (perfect.run == PerfectRun::Cancelled) throw CaseCancelled{};
        report.pairs.push_back(decisionPairResult(pair, decision, c.rules, &perfect, c.upCards, &strategies));
      }
    } else {
      const SplitResults results =
          computeWithCacheRetry(calc, cacheBudget, [&] { return calc.evaluateSplit(c.removed, pair); });
      report.pairs.push_back(splitPairResult(pair, results, c.rules));
    }
    if (stopRequested && stopRequested()) throw CaseCancelled{};
    if (afterPair) afterPair(pair);
  }
  return report;
}

}  // namespace splitev
