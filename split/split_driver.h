#pragma once

#include <cstddef>
#include <vector>

#include "model/rank.h"
#include "model/shoe.h"
#include "split/hand_rules.h"
#include "split/hand_values.h"
#include "split/player_hand_state.h"
#include "split/second_hand.h"
#include "split/split_results.h"

class SplitCalculator;

// One split computation on a calculator's shoe, rules and dealer cache:
// backward induction over every composition the first split hand can hold,
// with the second hand valued beside each of them over the shoe the first
// hand's cards leave; for the whole decision, also the first hand played
// for both hands and the pair kept as one hand. Leaves the shoe as it found
// it and the lone pair card's state in the calculator's pairHand.
class SplitDriver {
 public:
  // decision: null for the split alone; else it receives the rest of the
  // decision.
  SplitDriver(SplitCalculator& calc, Rank pair, SplitDecision* decision);

  SplitResults run(const Removals& removals);

 private:
  // The steps of run, in order; all but the last run with both pair cards
  // and the removals out of the shoe.
  void listFirstHands();
  void planSecondHand(SecondHandMemo& second);
  void listUnsplitHands();
  void fillDealerCache();
  void valueUnsplitPair();
  void valueFirstHand(const SecondHandMemo& second);
  void valueFirstHandState(std::size_t k, const SecondHandMemo& second, PlayerHandStates& states, HandValues& values);
  void readResults(SplitResults& results, const ShoeCounts& available);

  SplitCalculator& calc;
  Shoe& shoe;
  const Rank pair;
  const HandRules play;
  SplitDecision* const decision;

  std::vector<HandCounts> firstHands;   // drawn cards, in the order they are valued
  std::vector<std::size_t> rootOf;      // each first hand's second-hand root
  std::vector<HandCounts> unsplitHands; // drawn cards, decision only
  std::vector<ShoeCounts> dealerKeys;   // every dealer record the run reads
  bool complete = true;
};
