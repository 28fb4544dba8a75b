#pragma once

#include <cstdint>

#include "dealer/dealer_outcome.h"
#include "model/hand_composition.h"
#include "model/rank.h"
#include "model/rule_set.h"

// The rules of one player hand once the cards are out: which actions it may
// take, what standing is worth, what a doubled stake wins or loses, what a
// dealer blackjack costs it, and which action wins a tie. Every evaluator of
// the split engine (the first split hand, the second split hand, the joint
// play of both, the pair kept as one hand) asks these questions here and
// nowhere else, and so must any new one.
//
// What a rule looks at is the hand's shape: hard total, softness and number
// of cards (HandShape), never which cards make it up. An evaluator builds
// one HandRules for the hands it values (cheap: a few flags, copied from
// the RuleSet) and asks it per hand:
//
//   const HandRules play(rules, pair);   // hands grown from one split card
//   for each hand shape h, against a dealer record d of the hand's shoe:
//     play.mustDraw(h)    the lone split card: it draws, its value is its
//                         hit value (a resplit evaluator first asks
//                         maySplitAgain and compares splitting with it)
//     play.mustStand(h)   busted, hard 21 or a split ace that has its card:
//                         its value is its stand value, its action Stand
//     play.mayDouble(h)   the doubling rule, DAS, DSpA and DAN
//     play.standValues(d, h, scratch)    the eleven stand values
//     a drawn card c that busts:   LostBet for a hit,
//                                  play.doubledBust(B) for a double
//     a drawn card c that does not:
//                                  play.doubledStand(S', B) for a double,
//                                  S' the successor's stand value
//     chooseAction(stand, doubled, hit, mayDouble): the action and value
//
// B is the dealer-blackjack chance of the hand's own dealer record, even for
// the value of a successor's card. Values are in units of the hand's
// original bet; index i of an eleven-entry vector is 0 before the up card
// is known and u against up card u.
//
// The stake arithmetic is a template on the value type: double for one
// entry, or a vector type holding several entries (split/entry_vector.h)
// that has Value(x) fill every entry with x and the operators + and *. Each
// entry gets the same IEEE operations in the same order either way, so an
// evaluator may work one entry or a vector at a time and get the same bits;
// evaluators that must agree bit for bit (the golden values) also keep the
// order of their sums over cards: ranks ace to ten, zero-chance cards left
// out.

// The chosen actions, as the engine stores and prints them.
constexpr char Stand = 's';
constexpr char Hit = 'h';
constexpr char DoubleDown = 'd';

// A player hand as the rules see it.
struct HandShape {
  int total = 0;      // hard total, aces counting 1
  bool soft = false;  // an ace held and total <= 11: the best total is total + 10
  int cards = 0;      // cards held; a split hand counts its split card
};

inline HandShape shapeOf(const HandComposition& hand) { return {hand.hardTotal, hand.soft, hand.cardCount}; }

// The shape after one more card of rank r (no bust check). cardLimit, when
// given, caps the card count (see HandRules::alikeFromCards).
inline HandShape afterCard(const HandShape& h, int r, int cardLimit = 0x7fff) {
  const int total = h.total + r;
  const int cards = h.cards + 1 < cardLimit ? h.cards + 1 : cardLimit;
  return {total, (h.soft || r == Ace) && total <= 11, cards};
}

// The value of a hand that loses its bet: a bust, or a hit that busts.
constexpr double LostBet = -1.0;

// An action and its value, as chooseAction picks them.
struct ActionChoice {
  char action = Stand;
  double value = 0.0;
};

// The best of standing, doubling (when allowed) and hitting. A tie keeps the
// earlier action: stand beats double and hit at equal value, double beats
// hit. Maximising a sum of hands (the joint play) picks the same value.
inline ActionChoice chooseAction(double stand, double doubled, double hit, bool mayDouble) {
  ActionChoice c{Stand, stand};
  if (mayDouble && c.value < doubled) c = {DoubleDown, doubled};
  if (c.value < hit) c = {Hit, hit};
  return c;
}

class HandRules {
 public:
  // Split hands of a pair of rank pair: each starts from one pair card.
  HandRules(const RuleSet& rules, int pair);
  // The pair kept as one hand of both cards: only the doubling rule and DAN
  // decide its doubling; DAS, HSA and DSpA play no part.
  static HandRules unsplitPair(const RuleSet& rules, int pair);

  int pair() const { return pairRank; }
  // The split card alone (a split hand's first shape).
  HandShape splitCard() const { return {pairRank, pairRank == Ace, 1}; }
  bool splitHand() const { return split; }
  bool peeks() const { return peek; }

  // A split ace without hitting split aces: it takes exactly one card and
  // stands.
  bool finalSplitAce() const { return oneCardAce; }

  // Whether a hand may come to hold this many cards (split card included):
  // a final split ace never holds more than two. An enumeration of a hand's
  // compositions passes over the others.
  bool mayHold(int cards) const { return !(oneCardAce && cards > 2); }

  // The lone split card: it takes a card whatever it would be worth to
  // stand; its value is its hit value. (Never an unsplit pair.)
  bool mustDraw(const HandShape& h) const { return split && h.cards == 1; }

  // A card may still be added, by a hit or a double: not busted and not a
  // split ace that has its card. A hard 21 may still draw; every card busts it.
  bool mayDraw(const HandShape& h) const { return h.total <= 21 && !(oneCardAce && h.cards >= 2); }

  // No choice is left: busted, hard 21 (any card busts it) or a split ace
  // that has its card. The hand stands.
  bool mustStand(const HandShape& h) const { return h.total >= 21 || !mayDraw(h); }

  // Doubling: the doubling rule's table, DAS and DSpA for split hands, DAN
  // beyond two cards; never the lone split card.
  bool mayDouble(const HandShape& h) const;

  // A charlie: this many cards win whatever the total, unless the dealer
  // has blackjack.
  bool isCharlie(int cards) const { return (charlie5 && cards >= 5) || (charlie6 && cards >= 6); }

  // From this many cards on, every larger card count is alike under these
  // rules (1 and 2 are not: the lone split card, doubling without DAN and
  // the final split ace; then 3 for DAN; 5 or 6 under a charlie rule). A
  // memo of hand shapes may cap the card count here.
  int alikeFromCards() const { return charlie5 ? 5 : charlie6 ? 6 : 3; }

  // The eleven stand values of hand h against dealer record d: LostBet when
  // busted; for a charlie 1 - 2 x the blackjack chance (written to scratch);
  // else the record's row for the best total (below 17 all alike). The
  // pointer is to d, scratch or a constant row.
  const double* standValues(const DealerOutcome& d, const HandShape& h, double (&scratch)[EntryCount]) const;

  // The same rule for an evaluator that keeps a record's rows its own way:
  // the stand row hand h reads (0..4 for 17..21, StandBelow17 below), or
  // Busted or Charlie, whose values no row holds (LostBet, charlieValue).
  static constexpr int Busted = -1;
  static constexpr int Charlie = -2;
  int standRow(const HandShape& h) const;
  template <typename Value>
  static Value charlieValue(const Value& blackjack) {
    return Value(1.0) - Value(2.0) * blackjack;
  }

  // The doubled stake: twice the value of standing on the card drawn. Under
  // peek a dealer blackjack takes only the original bet, doubled or not:
  // the doubled stand value charged it twice, so it is given back once.
  template <typename Value>
  Value doubledStand(const Value& stand, const Value& blackjack) const {
    return peek ? Value(2.0) * stand + blackjack : Value(2.0) * stand;
  }
  // A doubled hand that busts loses both bets, less the blackjack refund
  // under peek.
  template <typename Value>
  Value doubledBust(const Value& blackjack) const {
    return peek ? Value(-2.0) + blackjack : Value(-2.0);
  }

  // Splitting a lone pair card again, after splitsSoFar splits of this
  // pair: maxSplits, or maxSplitsAces for aces. (The split driver splits
  // exactly once and never asks.)
  bool maySplitAgain(int splitsSoFar) const { return splitsSoFar < splitLimit; }

 private:
  HandRules() = default;

  DoubleRule doubleRule = DoubleRule::AnyTwoCards;
  std::int16_t pairRank = 0;
  std::int16_t splitLimit = 1;
  bool split = true;
  bool peek = true;
  bool das = false;
  bool dspa = false;
  bool dan = false;
  bool oneCardAce = false;
  bool charlie5 = false;
  bool charlie6 = false;
};

// A dealer blackjack, as the values charge it and as a player loses it.
// Every value above charges each hand that is played its original bet when
// the dealer has blackjack (under no peek: all it staked), as though the
// hands were played out. Under full peek the dealer looks first, and the
// player loses only the bet of the hand dealt. The views of a result (in
// split/split_views.h) take the charge as the number of bets charged in a
// blackjack round: 2 for a split, 1 for the unsplit pair, and for an
// evaluator whose number of hands varies (resplits) the expected number of
// hands given a dealer blackjack.
