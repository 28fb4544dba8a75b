// Values of one post-split hand: stand, double and hit, overall and against
// each up card, the chosen action, and for the first hand the second hand's
// EV under each choice and both hands' value under the joint play. Every
// routine reads only the state, its dealer record and its successors, whose
// values are already final. The pair kept as one hand is valued by the same
// routines (hand number 0), under its own doubling test.
#include "split/hand_values.h"

#include <algorithm>

#include "split/split_calculator.h"

namespace {

// The value of action a at a successor, and the matching second-hand
// quantity, at entry i.
double actionValue(const PlayerHandState& n, char action, int i) {
  if (action == DoubleDown) return n.doubleEv[i];
  if (action == Hit) return n.hitEv[i];
  return n.standEv[i];
}

double otherForAction(const PlayerHandState& n, char action, int i) {
  if (action == DoubleDown) return n.otherIfDouble(i);
  if (action == Hit) return n.otherIfHit(i);
  return n.otherIfStand(i);
}

// A split ace that may not be hit takes exactly one card and stands.
bool isFinalSplitAce(const PlayerHandState& s, const RuleSet& rules) {
  return s.splitHand && s.pairRank == Ace && !rules.hsa;
}

double dealerBlackjack(const PlayerHandState& s, int i) { return s.dealer->blackjack[i]; }

}  // namespace

const SplitCalculator::DrawChances& SplitCalculator::drawChancesNow() {
  DrawChances& d = drawChances;
  if (d.total == shoe.currentTotal && d.counts == shoe.currentCounts) return d;
  d.counts = shoe.currentCounts;
  d.total = shoe.currentTotal;
  auto fillRow = [&](int i) {
    for (int c = 1; c <= RankCount; ++c) {
      d.drawable[i][rankIndex(c)] = shoe.count(c) > 0;
      d.chance[i][rankIndex(c)] = shoe.count(c) > 0 ? shoe.probability(c) : 0.0;
    }
  };
  d.dealable[0] = true;
  fillRow(0);
  // Against an up card: take it out, read the shoe, put it back.
  for (int u = 1; u <= RankCount; ++u) {
    d.dealable[u] = shoe.count(u) > 0;
    if (!d.dealable[u]) continue;
    shoe.removeCard(u);
    fillRow(u);
    shoe.returnCard(u);
  }
  return d;
}

namespace {

// The doubling rule's table of two-card hands; the "10 or 11" rules admit
// every hard total from 10 up.
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

bool doublingAllowed(const RuleSet& rules, int pair, int total, bool soft, int cards) {
  if (rules.doubleRule == DoubleRule::NoDoubling) return false;
  if (!rules.das) return false;  // every hand valued here is a split hand
  if (cards == 1) return false;
  if (pair == Ace && !rules.dspa) return false;
  if (cards > 2 && !rules.dan) return false;
  return doubleRuleAdmits(rules.doubleRule, total, soft);
}

bool unsplitDoublingAllowed(const RuleSet& rules, int total, bool soft, int cards) {
  if (cards > 2 && !rules.dan) return false;
  return doubleRuleAdmits(rules.doubleRule, total, soft);
}

bool SplitCalculator::canDouble(const PlayerHandState& s) const {
  if (!s.splitHand) return unsplitDoublingAllowed(rules, s.hardTotal, s.soft, s.cardCount);
  return doublingAllowed(rules, s.pairRank, s.hardTotal, s.soft, s.cardCount);
}

void SplitCalculator::computeStand(PlayerHandState& s, int /*handNumber*/) {
  const int e = s.bestTotal();
  if (e > 21) {
    s.standEv[0] = -1.0;
    for (int u = 1; u <= RankCount; ++u)
      if (shoe.count(u) > 0) s.standEv[u] = -1.0;
    return;
  }
  // A charlie wins whatever its total, unless the dealer has blackjack.
  if ((rules.charlie5 && s.cardCount >= 5) || (rules.charlie6 && s.cardCount >= 6)) {
    s.standEv[0] = 1.0 - 2.0 * dealerBlackjack(s, 0);
    for (int u = 1; u <= RankCount; ++u)
      if (shoe.count(u) > 0) s.standEv[u] = 1.0 - 2.0 * dealerBlackjack(s, u);
    return;
  }
  const int position = e >= 17 ? e - 17 : StandBelow17;
  s.standEv[0] = s.dealer->stand[position][0];
  for (int u = 1; u <= RankCount; ++u)
    if (shoe.count(u) > 0) s.standEv[u] = s.dealer->stand[position][u];
}

void SplitCalculator::computeDouble(PlayerHandState& s, int /*handNumber*/) {
  const int t = s.hardTotal;
  const bool finalAce = isFinalSplitAce(s, rules);
  if (t > 21 || (finalAce && s.cardCount == 2)) return;
  const bool peek = rules.peeks();

  // A dealer blackjack takes only the original bet under peek: the doubled
  // stand value charged it twice, so it is given back once. The blackjack
  // chance is this hand's, whatever card comes.
  auto doubledValue = [&](int c, int i, double blackjack) {
    const bool busts = finalAce || t + c > 21;
    if (busts) return peek ? -2.0 + blackjack : -2.0;
    const double stand = s.next[rankIndex(c)]->standEv[i];
    return peek ? 2.0 * stand + blackjack : 2.0 * stand;
  };

  if (t == 21) {
    s.doubleEv[0] = peek ? -2.0 + dealerBlackjack(s, 0) : -2.0;
    for (int u = 1; u <= RankCount; ++u)
      if (shoe.count(u) > 0) s.doubleEv[u] = peek ? -2.0 + dealerBlackjack(s, u) : -2.0;
    return;
  }

  const DrawChances& draw = drawChancesNow();
  for (int i = 0; i < ValueCount; ++i) {
    if (!draw.dealable[i]) continue;
    const double blackjack = dealerBlackjack(s, i);
    double sum = 0.0;
    for (int c = 1; c <= RankCount; ++c)
      if (draw.drawable[i][rankIndex(c)])
        sum += draw.chance[i][rankIndex(c)] * doubledValue(c, i, blackjack);
    s.doubleEv[i] = sum;
  }
}

void SplitCalculator::computeHit(PlayerHandState& s, int handNumber) {
  const int t = s.hardTotal;
  const bool finalAce = isFinalSplitAce(s, rules);
  if (t > 21 || (finalAce && s.cardCount == 2)) return;
  if (t == 21) {
    s.hitEv.fill(-1.0);
    return;
  }
  // Only the first hand's lone pair card carries the value of the whole split.
  const bool wholeSplit = handNumber == 1 && s.cardCount == 1;

  // P(c) x v for the hand and P(c) x (v + w) for the split at each entry.
  const DrawChances& draw = drawChancesNow();
  for (int i = 0; i < ValueCount; ++i) {
    if (!draw.dealable[i]) continue;
    double hit = 0.0;
    double split = 0.0;
    for (int c = 1; c <= RankCount; ++c) {
      if (!draw.drawable[i][rankIndex(c)]) continue;
      const double p = draw.chance[i][rankIndex(c)];
      if (t + c > 21) {
        hit += p * -1.0;
        continue;
      }
      const PlayerHandState& n = *s.next[rankIndex(c)];
      const char action = finalAce ? Stand : n.actionAt(i);
      const double v = actionValue(n, action, i);
      hit += p * v;
      if (wholeSplit) split += p * (v + otherForAction(n, action, i));
    }
    s.hitEv[i] = hit;
    s.splitEv[i] = split;
  }

  // The second hand's lone pair card: its hit value is the second hand's EV.
  if (handNumber == 2 && s.cardCount == 1) {
    s.otherEv(0) = s.hitEv[0];
    for (int u = 1; u <= RankCount; ++u)
      if (shoe.count(u) > 0) s.otherEv(u) = s.hitEv[u];
  }
}

void SplitCalculator::chooseBest(PlayerHandState& s) {
  if (s.hardTotal >= 21 || (isFinalSplitAce(s, rules) && s.cardCount == 2)) {
    s.best = Stand;
    for (int u = 1; u <= RankCount; ++u)
      if (shoe.count(u) > 0) s.bestVs[rankIndex(u)] = Stand;
    return;
  }
  const bool mayDouble = canDouble(s);
  // Strict comparisons: at equal value stand beats double and hit, double beats hit.
  auto choose = [&](int i) {
    double x = s.standEv[i];
    char action = Stand;
    if (mayDouble && x < s.doubleEv[i]) {
      action = DoubleDown;
      x = s.doubleEv[i];
    }
    if (x < s.hitEv[i]) action = Hit;
    return action;
  };
  s.best = choose(0);
  for (int u = 1; u <= RankCount; ++u) s.bestVs[rankIndex(u)] = choose(u);
}

void SplitCalculator::copyOtherToStand(PlayerHandState& s) {
  s.otherIfStand(0) = s.otherEv(0);
  for (int u = 1; u <= RankCount; ++u)
    if (shoe.count(u) > 0) s.otherIfStand(u) = s.otherEv(u);
}

void SplitCalculator::computeOtherIfDouble(PlayerHandState& s) {
  if (s.hardTotal > 21 || isFinalSplitAce(s, rules)) return;
  // Cards that bust the first hand count too: the second hand then plays on
  // without them.
  const DrawChances& draw = drawChancesNow();
  for (int i = 0; i < ValueCount; ++i) {
    if (!draw.dealable[i]) continue;
    double total = 0.0;
    for (int c = 1; c <= RankCount; ++c)
      if (draw.drawable[i][rankIndex(c)])
        total += draw.chance[i][rankIndex(c)] * s.next[rankIndex(c)]->otherIfStand(i);
    s.otherIfDouble(i) = total;
  }
}

void SplitCalculator::computeOtherIfHit(PlayerHandState& s) {
  if (s.hardTotal > 21 || isFinalSplitAce(s, rules)) return;
  const DrawChances& draw = drawChancesNow();
  for (int i = 0; i < ValueCount; ++i) {
    if (!draw.dealable[i]) continue;
    double total = 0.0;
    for (int c = 1; c <= RankCount; ++c) {
      if (!draw.drawable[i][rankIndex(c)]) continue;
      const PlayerHandState& n = *s.next[rankIndex(c)];
      total += draw.chance[i][rankIndex(c)] * otherForAction(n, n.actionAt(i), i);
    }
    s.otherIfHit(i) = total;
  }
}

void SplitCalculator::computeJoint(PlayerHandState& s) {
  const bool finalAce = isFinalSplitAce(s, rules);
  // Busted, or a split ace that took its one card: the hand ends here.
  if (s.hardTotal > 21 || (finalAce && s.cardCount == 2)) {
    s.jointEv[0] = s.standEv[0] + s.otherIfStand(0);
    for (int u = 1; u <= RankCount; ++u)
      if (shoe.count(u) > 0) s.jointEv[u] = s.standEv[u] + s.otherIfStand(u);
    return;
  }
  // Hitting and doubling stay open at hard 21, where the hand's own play
  // always stands: there they only burn a card for the second hand, which
  // the maximum weighs like any other choice, but only with a card to take.
  const bool mayDouble = canDouble(s);  // never the lone pair card
  const DrawChances& draw = drawChancesNow();
  for (int i = 0; i < ValueCount; ++i) {
    if (!draw.dealable[i]) continue;
    double hit = 0.0;
    bool cardLeft = false;
    for (int c = 1; c <= RankCount; ++c) {
      if (!draw.drawable[i][rankIndex(c)]) continue;
      hit += draw.chance[i][rankIndex(c)] * s.next[rankIndex(c)]->jointEv[i];
      cardLeft = true;
    }
    // The lone pair card must draw.
    if (s.cardCount == 1) {
      s.jointEv[i] = hit;
      continue;
    }
    double best = s.standEv[i] + s.otherIfStand(i);
    if (s.hardTotal == 21 && !cardLeft) {
      s.jointEv[i] = best;
      continue;
    }
    if (mayDouble) best = std::max(best, s.doubleEv[i] + s.otherIfDouble(i));
    s.jointEv[i] = std::max(best, hit);
  }
}
