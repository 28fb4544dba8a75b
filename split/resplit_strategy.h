#pragma once

#include "model/rank.h"
#include "split/perfect_split.h"
#include "split/split_results.h"

class SplitCalculator;

// The two post-split strategies analysts publish split values for. Each
// plays every split hand by a table of decisions on the hand's own cards and
// the up card (entry 0: without the up card), never on the other hands':
//   cdz  (CDZ-): the decisions best for a hand of these cards had the pair
//        not been split (the shoe before the pair less the hand's cards);
//   cdp1 (CDP1): the decisions best for the first split hand (the shoe less
//        both pair cards and the hand's cards).
// A lone pair card dealt another pair card is resplit whenever `resplit`
// allows (up to resplit.hands hands, aces only with resplitAces). Each value is exact for its strategy: the cards come from the real
// shoe, which the other hands deplete. Results follow the split's
// conventions (SplitResults), so the same views apply.
struct StrategyResplitResults {
  SplitResults cdz;
  SplitResults cdp1;
};

// Both strategies for a pair of rank pair after the removals. Refuses what
// evaluateSplit refuses, and hands outside 2..4. Leaves the shoe and
// pairHand as it found them; fills the dealer cache.
StrategyResplitResults evaluateStrategyResplits(SplitCalculator& calculator, const Removals& removals, Rank pair,
                                                const ResplitRules& resplit);
