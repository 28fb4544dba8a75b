#pragma once

#include <array>

#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/player_hand_state.h"

// How a split computation ended.
enum class SplitRun {
  Completed,    // the results hold the values
  Refused,      // pair rank outside 1..10, removals the shoe cannot supply, or fewer
                // than two pair cards left after the removals
  OutOfMemory,  // abandoned cleanly: shoe restored, cache usable
};

// What one split computation returns. Values are in units of one hand's
// bet, both split hands together; under full peek a dealer blackjack is
// charged as the loss of both split bets (the views below turn that into
// what the player actually loses). Nothing is conditioned on the dealer
// lacking blackjack.
struct SplitResults {
  SplitRun run = SplitRun::Refused;
  ValueVector ev{};  // entry 0 overall (SPL1), entry u against up card u; 0 where not dealable
  // Dealer-blackjack probabilities of the shoe less the removals and both pair cards.
  double blackjackOverall = 0.0;
  double blackjackVsAce = 0.0;
  double blackjackVsTen = 0.0;
  // Entry 0 always; entry u when a card of rank u is left for the dealer.
  std::array<bool, ValueCount> dealable{};
  // False when some branch of the computation needed a card the shoe no
  // longer had (a dealer who could not finish, or a hit with no card left):
  // the values are then what the model gives, not what a real round would.
  bool complete = true;

  // The dealer-blackjack probability that goes with entry i.
  double blackjackAt(int i) const {
    return i == 0 ? blackjackOverall : i == Ace ? blackjackVsAce : i == Ten ? blackjackVsTen : 0.0;
  }
};

// The whole decision for a pair: splitting (as evaluateSplit), splitting
// with the first hand played for both hands, and the pair kept as one
// two-card hand played by standing, hitting or doubling. The unsplit
// values charge a dealer blackjack as the loss of one bet under full peek,
// doubled or not; under no peek a doubled hand loses 2 to it.
struct SplitDecision {
  SplitResults split;
  ValueVector splitJoint{};  // every first-hand decision maximises both hands' sum
  ValueVector stand{};
  ValueVector hit{};
  ValueVector doubled{};     // meaningful only when doubleAllowed
  bool doubleAllowed = false;
  bool unsplitComplete = true;  // as SplitResults::complete, for the unsplit hand
};
