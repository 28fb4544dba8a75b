#pragma once

#include <cstdint>

#include "dealer/dealer_outcome.h"
#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/player_hand_state.h"

// How a split computation ended.
enum class SplitRun {
  Completed,    // pairHand holds the results
  Refused,      // pair rank outside 1..10 or fewer than two such cards in the shoe
  OutOfMemory,  // abandoned cleanly: shoe restored, cache usable, pairHand unchanged
};

// The engine object: the live shoe, the rules, the last split's results and
// the dealer outcome cache. Every engine operation is a member.
class SplitCalculator {
 public:
  SplitCalculator(const Shoe& initialShoe, const RuleSet& initialRules);

  Shoe shoe;                       // between computations current counts equal full counts
  RuleSet rules;
  PlayerHandState pairHand;        // the first hand's lone pair card of the last run
  DealerOutcomeCache dealerCache;  // survives across runs

  // Discards every cached dealer outcome.
  void clearDealerOutcomes();

  // The cached outcome for the live shoe, whose full minus current counts
  // must equal key.takenOut.
  const DealerOutcome& dealerOutcomeFor(const DealerOutcome& key);

  // Splits a pair of rank pair once after taking out the removals; both
  // hands are played by the best of stand, hit and double. The results are
  // pairHand.splitEv (entry 0 overall, entry u against up card u). Leaves
  // the shoe as it found it.
  SplitRun evaluateSplit(const Removals& removals, Rank pair);
  // Values the second split hand for one first-hand state (two or more cards)
  // and sets that state's otherEv.
  void evaluateSecondHand(PlayerHandState& firstHand);

  // Hand values; see split/hand_values.cc.
  bool canDouble(const PlayerHandState& s) const;
  void computeStand(PlayerHandState& s, int handNumber);
  void computeDouble(PlayerHandState& s, int handNumber);
  void computeHit(PlayerHandState& s, int handNumber);
  void chooseBest(PlayerHandState& s);
  void copyOtherToStand(PlayerHandState& s);
  void computeOtherIfDouble(PlayerHandState& s);
  void computeOtherIfHit(PlayerHandState& s);

 private:
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
