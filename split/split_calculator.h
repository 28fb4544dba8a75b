#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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

  // Hand values; see split/hand_values.cc.
  bool canDouble(const PlayerHandState& s) const;
  void computeStand(PlayerHandState& s, int handNumber);
  void computeDouble(PlayerHandState& s, int handNumber);
  void computeHit(PlayerHandState& s, int handNumber);
  void chooseBest(PlayerHandState& s);
  void copyOtherToStand(PlayerHandState& s);
  void computeOtherIfDouble(PlayerHandState& s);
  void computeOtherIfHit(PlayerHandState& s);
  void computeJoint(PlayerHandState& s);

 private:
  // Both public computations: the split, and with decision given the rest
  // of the decision into it.
  SplitResults runSplit(const Removals& removals, Rank pair, SplitDecision* decision);
  // Values the pair kept as one hand over the live shoe (the shoe less the
  // removals and both pair cards) from its compositions, each after every
  // composition with one card more; the dealer records must be cached.
  void valueUnsplitPair(Rank pair, const std::vector<HandCounts>& hands, SplitDecision& decision);

  // Draw probabilities of the live shoe: row 0 before the up card is known,
  // row u once one card of rank u is out. Every value routine of one state
  // reads the same rows, so they are worked out once per shoe composition.
  struct DrawChances {
    ShoeCounts counts{};
    std::int32_t total = -1;
    bool dealable[ValueCount] = {};              // row 0 always; row u when a u is left
    bool drawable[ValueCount][RankCount] = {};   // a card of rank c is left in that shoe
    double chance[ValueCount][RankCount] = {};
  };
  DrawChances drawChances;
  const DrawChances& drawChancesNow();
};
