#pragma once

#include <cstdint>

#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/hand_rules.h"
#include "split/player_hand_state.h"

// The value steps of one hand's states (split/hand_rules.h decides what each
// hand may do): stand, double and hit, overall and against each up card, the
// chosen action, and for the first split hand the second hand's EV under
// each choice and both hands' value under the joint play. Each step reads
// only the state, its dealer record, the live shoe (as the split driver has
// set it for the hand) and the state's successors in `states`, whose values
// are already final; it writes only the state.
class HandValues {
 public:
  // shoe: the live shoe, changed only for a moment and put back; states:
  // where the states' next links point.
  HandValues(Shoe& shoe, const RuleSet& rules, const PlayerHandStates& states)
      : shoe(shoe), rules(rules), states(states) {}

  // handNumber: 1 for the first split hand, 2 for the second, 0 for the
  // pair kept as one hand; only computeHit looks at it.
  bool canDouble(const PlayerHandState& s) const;
  void computeStand(PlayerHandState& s, int handNumber);
  void computeDouble(PlayerHandState& s, int handNumber);
  // Also splitEv for the first hand's lone pair card, and otherEv for the
  // second hand's.
  void computeHit(PlayerHandState& s, int handNumber);
  void chooseBest(PlayerHandState& s);
  // The first hand's second-hand quantities, once otherEv is set.
  void copyOtherToStand(PlayerHandState& s);
  void computeOtherIfDouble(PlayerHandState& s);
  void computeOtherIfHit(PlayerHandState& s);
  // jointEv, after all of the above.
  void computeJoint(PlayerHandState& s);

 private:
  // Draw probabilities of the live shoe: row 0 before the up card is known,
  // row u once one card of rank u is out. Every value step of one state
  // reads the same rows, so they are worked out once per shoe composition.
  struct DrawChances {
    ShoeCounts counts{};
    std::int32_t total = -1;
    bool dealable[ValueCount] = {};             // row 0 always; row u when a u is left
    bool drawable[ValueCount][RankCount] = {};  // a card of rank c is left in that shoe
    double chance[ValueCount][RankCount] = {};
  };
  const DrawChances& drawChancesNow();
  enum OtherQuantity { OtherIfDouble, OtherIfHit };
  template <typename Quantity>
  void sumOtherOverDraws(PlayerHandState& s, OtherQuantity which, Quantity quantity);
  HandRules rulesOf(const PlayerHandState& s) const;
  const PlayerHandState& successor(const PlayerHandState& s, int rank) const {
    return states[s.next[rankIndex(rank)]];
  }

  Shoe& shoe;
  const RuleSet& rules;
  const PlayerHandStates& states;
  DrawChances drawChances;
};
