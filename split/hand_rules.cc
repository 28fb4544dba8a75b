#include "split/hand_rules.h"

namespace {

// The doubling rule's table; the "10 or 11" rules admit every hard total
// from 10 up.
bool doubleRuleAdmits(DoubleRule rule, int total, bool soft) {
  const bool hard = !soft;
  const int t = total;
  switch (rule) {
    case DoubleRule::AnyTwoCards: return true;
    case DoubleRule::Hard10or11: return hard && t >= 10;
    case DoubleRule::Hard9to11: return hard && t >= 9;
    case DoubleRule::Hard10or11AndSoft: return (hard && t >= 10) || !hard;
    case DoubleRule::Hard9to11AndSoft: return (hard && t >= 9) || !hard;
    case DoubleRule::HardOnly: return hard;
    default: return false;
  }
}

}  // namespace

HandRules::HandRules(const RuleSet& rules, int pair)
    : doubleRule(rules.doubleRule),
      pairRank(static_cast<std::int16_t>(pair)),
      splitLimit(pair == Ace ? rules.maxSplitsAces : rules.maxSplits),
      split(true),
      peek(rules.peeks()),
      das(rules.das),
      dspa(rules.dspa),
      dan(rules.dan),
      oneCardAce(pair == Ace && !rules.hsa),
      charlie5(rules.charlie5),
      charlie6(rules.charlie6) {}

HandRules HandRules::unsplitPair(const RuleSet& rules, int pair) {
  HandRules kept(rules, pair);
  kept.split = false;
  kept.oneCardAce = false;
  kept.splitLimit = 0;
  return kept;
}

bool HandRules::mayDouble(const HandShape& h) const {
  if (split) {
    if (doubleRule == DoubleRule::NoDoubling) return false;
    if (!das) return false;
    if (h.cards == 1) return false;
    if (pairRank == Ace && !dspa) return false;
  }
  if (h.cards > 2 && !dan) return false;
  return doubleRuleAdmits(doubleRule, h.total, h.soft);
}
