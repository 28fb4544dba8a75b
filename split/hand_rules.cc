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

// Stand values of a busted hand.
constexpr double BustedRow[EntryCount] = {LostBet, LostBet, LostBet, LostBet, LostBet, LostBet,
                                          LostBet, LostBet, LostBet, LostBet, LostBet};

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

int HandRules::standRow(const HandShape& h) const {
  const int best = h.soft ? h.total + 10 : h.total;
  if (best > 21) return Busted;
  if (isCharlie(h.cards)) return Charlie;
  return best >= 17 ? best - 17 : StandBelow17;
}

const double* HandRules::standValues(const DealerOutcome& d, const HandShape& h,
                                     double (&scratch)[EntryCount]) const {
  const int row = standRow(h);
  if (row == Busted) return BustedRow;
  if (row == Charlie) {
    for (int i = 0; i < EntryCount; ++i) scratch[i] = charlieValue(d.blackjack[i]);
    return scratch;
  }
  return d.stand[row];
}
