#pragma once

#include <cstddef>

#include "dealer/dealer_cache.h"
#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/player_hand_state.h"
#include "split/split_results.h"

// The engine object: the live shoe, the rules, the last split's results and
// the dealer outcome cache. Every engine operation is a member.
class SplitCalculator {
 public:
  SplitCalculator(const Shoe& initialShoe, const RuleSet& initialRules);

  Shoe shoe;                       // between computations current counts equal full counts
  RuleSet rules;
  PlayerHandState pairHand;        // the first hand's lone pair card of the last run
  DealerOutcomeCache dealerCache;  // survives across runs
  // Worker threads a computation may use; 0 means one per core. No result
  // depends on it.
  int threads = 0;
  // Bytes the dealer cache may hold: when a computation would pass it, the
  // cache is cleared before the computation (results never depend on it).
  std::size_t dealerCacheBudget = std::size_t{2} << 30;

  // Discards every cached dealer outcome.
  void clearDealerOutcomes();

  // The cached outcome for the live shoe, whose full minus current counts
  // must equal takenOut.
  const DealerOutcome& dealerOutcomeFor(const ShoeCounts& takenOut);

  // Splits a pair of rank pair once after taking out the removals; both
  // hands are played by the best of stand, hit and double. Refuses removals
  // the shoe cannot supply and a pair with fewer than two cards left after
  // them. Leaves the shoe as it found it; pairHand keeps the first hand's
  // lone pair card of the last completed run.
  SplitResults evaluateSplit(const Removals& removals, Rank pair);

  // The whole decision for a pair of rank pair after the removals: the
  // split exactly as evaluateSplit gives it, the split with the first hand
  // played for both hands, and the pair kept as one hand (stand, hit,
  // double). Refuses, runs out of memory and leaves the shoe and pairHand
  // as evaluateSplit does; split.run says how it ended, and the other
  // values are meaningful only when it completed.
  SplitDecision evaluateDecision(const Removals& removals, Rank pair);
};
