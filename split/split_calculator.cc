#include "split/split_calculator.h"

SplitCalculator::SplitCalculator(const Shoe& initialShoe, const RuleSet& initialRules)
    : shoe(1), rules(), pairHand(), dealerCache() {
  shoe = initialShoe;
  rules = initialRules;
}

void SplitCalculator::clearDealerOutcomes() { dealerCache.clearDealerOutcomes(); }

const DealerOutcome& SplitCalculator::dealerOutcomeFor(const ShoeCounts& takenOut) {
  return dealerCache.dealerOutcomeFor(takenOut, shoe, rules.standsOnSoft17);
}
