#include "split/split_calculator.h"

#include "split/split_driver.h"

SplitCalculator::SplitCalculator(const Shoe& initialShoe, const RuleSet& initialRules)
    : shoe(1), rules(), pairHand(), dealerCache() {
  shoe = initialShoe;
  rules = initialRules;
}

void SplitCalculator::clearDealerOutcomes() { dealerCache.clearDealerOutcomes(); }

const DealerOutcome& SplitCalculator::dealerOutcomeFor(const ShoeCounts& takenOut) {
  return dealerCache.dealerOutcomeFor(takenOut, shoe, rules.standsOnSoft17);
}

SplitResults SplitCalculator::evaluateSplit(const Removals& removals, Rank pair) {
  return SplitDriver(*this, pair, nullptr).run(removals);
}

SplitDecision SplitCalculator::evaluateDecision(const Removals& removals, Rank pair) {
  SplitDecision decision;
  decision.split = SplitDriver(*this, pair, &decision).run(removals);
  return decision;
}
