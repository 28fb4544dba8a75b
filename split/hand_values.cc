// The value steps of one hand's states. What a hand may do, what standing
// and a doubled stake are worth and the tie order are split/hand_rules.h's;
// here they are summed over the cards the live shoe can give. The pair kept
// as one hand is valued by the same steps (hand number 0) under its own
// rules.
#include "split/hand_values.h"

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

double dealerBlackjack(const PlayerHandState& s, int i) { return s.dealer->blackjack[i]; }

}  // namespace

const HandValues::DrawChances& HandValues::drawChancesNow() {
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

// The rules of a state's hand: a split hand of its pair, or the pair kept
// whole.
HandRules HandValues::rulesOf(const PlayerHandState& s) const {
  return s.splitHand ? HandRules(rules, s.pairRank) : HandRules::unsplitPair(rules, s.pairRank);
}

bool HandValues::canDouble(const PlayerHandState& s) const { return rulesOf(s).mayDouble(s.shape()); }

void HandValues::computeStand(PlayerHandState& s, int /*handNumber*/) {
  double charlie[EntryCount];
  const double* stand = rulesOf(s).standValues(s.dealer, s.shape(), charlie);
  s.standEv[0] = stand[0];
  for (int u = 1; u <= RankCount; ++u)
    if (shoe.count(u) > 0) s.standEv[u] = stand[u];
}

void HandValues::computeDouble(PlayerHandState& s, int /*handNumber*/) {
  const HandRules play = rulesOf(s);
  const int t = s.hand.hardTotal;
  if (!play.mayDraw(s.shape())) return;

  // The blackjack chance is this hand's, whatever card comes. The lone
  // final split ace is never doubled: every card takes the busting value.
  auto doubledValue = [&](int c, int i, double blackjack) {
    if (play.finalSplitAce() || t + c > 21) return play.doubledBust(blackjack);
    return play.doubledStand(successor(s, c).standEv[i], blackjack);
  };

  if (t == 21) {
    s.doubleEv[0] = play.doubledBust(dealerBlackjack(s, 0));
    for (int u = 1; u <= RankCount; ++u)
      if (shoe.count(u) > 0) s.doubleEv[u] = play.doubledBust(dealerBlackjack(s, u));
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

void HandValues::computeHit(PlayerHandState& s, int handNumber) {
  const HandRules play = rulesOf(s);
  const int t = s.hand.hardTotal;
  if (!play.mayDraw(s.shape())) return;
  if (t == 21) {
    s.hitEv.fill(LostBet);
    return;
  }
  // Only the first hand's lone pair card carries the value of the whole split.
  const bool wholeSplit = handNumber == 1 && s.hand.cardCount == 1;

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
        hit += p * LostBet;
        continue;
      }
      const PlayerHandState& n = successor(s, c);
      const char action = play.finalSplitAce() ? Stand : n.actionAt(i);
      const double v = actionValue(n, action, i);
      hit += p * v;
      if (wholeSplit) split += p * (v + otherForAction(n, action, i));
    }
    s.hitEv[i] = hit;
    s.splitEv[i] = split;
  }

  // The second hand's lone pair card: its hit value is the second hand's EV.
  if (handNumber == 2 && s.hand.cardCount == 1) {
    s.otherEv(0) = s.hitEv[0];
    for (int u = 1; u <= RankCount; ++u)
      if (shoe.count(u) > 0) s.otherEv(u) = s.hitEv[u];
  }
}

void HandValues::chooseBest(PlayerHandState& s) {
  const HandRules play = rulesOf(s);
  if (play.mustStand(s.shape())) {
    s.best = Stand;
    for (int u = 1; u <= RankCount; ++u)
      if (shoe.count(u) > 0) s.bestVs[rankIndex(u)] = Stand;
    return;
  }
  const bool mayDouble = play.mayDouble(s.shape());
  auto choose = [&](int i) { return chooseAction(s.standEv[i], s.doubleEv[i], s.hitEv[i], mayDouble).action; };
  s.best = choose(0);
  for (int u = 1; u <= RankCount; ++u) s.bestVs[rankIndex(u)] = choose(u);
}

void HandValues::copyOtherToStand(PlayerHandState& s) {
  s.otherIfStand(0) = s.otherEv(0);
  for (int u = 1; u <= RankCount; ++u)
    if (shoe.count(u) > 0) s.otherIfStand(u) = s.otherEv(u);
}

// The second hand's quantities: entry i of `quantity` at each successor,
// summed over the cards drawn. Nothing for a hand that draws no card, nor
// for a final split ace.
template <typename Quantity>
void HandValues::sumOtherOverDraws(PlayerHandState& s, OtherQuantity which, Quantity quantity) {
  const HandRules play = rulesOf(s);
  if (play.finalSplitAce() || !play.mayDraw(s.shape())) return;
  const DrawChances& draw = drawChancesNow();
  for (int i = 0; i < ValueCount; ++i) {
    if (!draw.dealable[i]) continue;
    double total = 0.0;
    for (int c = 1; c <= RankCount; ++c)
      if (draw.drawable[i][rankIndex(c)]) total += draw.chance[i][rankIndex(c)] * quantity(successor(s, c), i);
    (which == OtherIfDouble ? s.otherIfDouble(i) : s.otherIfHit(i)) = total;
  }
}

void HandValues::computeOtherIfDouble(PlayerHandState& s) {
  // Cards that bust the first hand count too: the second hand then plays on
  // without them.
  sumOtherOverDraws(s, OtherIfDouble, [](const PlayerHandState& n, int i) { return n.otherIfStand(i); });
}

void HandValues::computeOtherIfHit(PlayerHandState& s) {
  sumOtherOverDraws(s, OtherIfHit,
                    [](const PlayerHandState& n, int i) { return otherForAction(n, n.actionAt(i), i); });
}

void HandValues::computeJoint(PlayerHandState& s) {
  const HandRules play = rulesOf(s);
  const HandShape h = s.shape();
  // Busted, or a split ace that took its one card: the hand ends here.
  if (!play.mayDraw(h)) {
    s.jointEv[0] = s.standEv[0] + s.otherIfStand(0);
    for (int u = 1; u <= RankCount; ++u)
      if (shoe.count(u) > 0) s.jointEv[u] = s.standEv[u] + s.otherIfStand(u);
    return;
  }
  // Hitting and doubling stay open at hard 21, where the hand's own play
  // always stands: there they only burn a card for the second hand, which
  // the maximum weighs like any other choice, but only with a card to take.
  const bool mayDouble = play.mayDouble(h);  // never the lone pair card
  const DrawChances& draw = drawChancesNow();
  for (int i = 0; i < ValueCount; ++i) {
    if (!draw.dealable[i]) continue;
    double hit = 0.0;
    bool cardLeft = false;
    for (int c = 1; c <= RankCount; ++c) {
      if (!draw.drawable[i][rankIndex(c)]) continue;
      hit += draw.chance[i][rankIndex(c)] * successor(s, c).jointEv[i];
      cardLeft = true;
    }
    const double stand = s.standEv[i] + s.otherIfStand(i);
    if (play.mustDraw(h)) {
      s.jointEv[i] = hit;
    } else if (s.hand.hardTotal == 21 && !cardLeft) {
      s.jointEv[i] = stand;
    } else {
      s.jointEv[i] = chooseAction(stand, s.doubleEv[i] + s.otherIfDouble(i), hit, mayDouble).value;
    }
  }
}
