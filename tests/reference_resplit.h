#pragma once

// Test oracle for split values with resplits: a plain recursion over every
// order in which the cards can come out of a small shoe (up to about twenty
// cards), written from the model of the game alone. Each hand is played to
// the end in turn, card by card; then the dealer's up card (for the overall
// entry), hole card and draws are dealt card by card from what is left. Each
// draw branches over the ranks left, with weight count / cards left. Values
// are memoised by the exact state: the cards left, the finished hands, the
// hand in play, the lone-pair hands waiting and the hands dealt so far. The
// dealer's play is dealt the same way from the exact shoe the last hand
// leaves and memoised by that shoe alone (the chances of its final hands):
// no hand is ever valued against any other shoe, so nothing here rests on
// the cards being exchangeable.
//
// Model (shared by every strategy):
// - The shoe handed in holds both pair cards. They are taken out; per up card
//   u one u is taken out as well (entries 1..10, ace first); the overall
//   entry 0 draws the up card after all the player's cards, and the player's
//   decisions cannot know it. The hole card always follows the player's cards.
// - Two hands start as a lone pair card P each, played one at a time. A lone
//   P receives one card; if it is a P, fewer than `hands` hands exist and P is
//   not an ace or resplitting aces is allowed, the hand may resplit: the new P
//   starts a waiting hand and the hand, a lone P again, receives another card.
// - Then stand, hit or double, with the rules of split hands: doubling needs
//   DAS and the double rule (hard 9, 10, 11 and up under the 9-11 and 10-11
//   rules; soft meaning an ace counted 11), two cards unless DAN, and DSpA
//   for a split ace; a split ace without HSA stands on its two cards unless it
//   resplits. A charlie hand (5 or 6 cards, the split card counted) that has
//   not busted wins its stake unless the dealer has a blackjack.
// - Payout: busted hands lose their stake; the dealer draws to 17 (and on a
//   soft 17 under H17); a dealer blackjack is an ace and a ten as up and hole
//   card. Full peek: the round is worth the sum of the hands' results when
//   the dealer has no blackjack and 0 when it has; that value V is what every
//   decision maximises, the unconditional view is V - d and the conditioned
//   view V / (1 - d), d being the blackjack chance of the shoe at the split.
//   No peek: every hand loses its whole stake to a blackjack; one view.
//
// Strategies:
// - Perfect: every decision (stand, hit, double, resplit) maximises the value
//   of the whole round given every card seen so far.
// - CDZ- and CDP1: a pair card drawn to a lone P is resplit whenever allowed.
//   Every other decision is the best one for a single hand of the same cards,
//   valued by perfect single-hand play on a strategy shoe that knows nothing
//   of the other hands: CDZ- the shoe before the pair was dealt, less the
//   hand's cards (and the up card per up card); CDP1 the same shoe less the
//   other pair card as well. The round itself is dealt from the real shoe.
//
// Readings where the models leave room (the choice made here):
// - A hard 21 may still be hit or doubled under perfect play (a card is then
//   seen before the later hands are played; a single hand never gains by it).
// - Fixed strategies rank only the actions the split hand may take, each
//   valued under the split hand's own rules (DAS, DSpA, DAN, HSA), and break
//   exact ties as the split engine does: stand, then double, then hit. A
//   decision whose two best actions lie within 1e-12 marks the entry
//   `tieSensitive`: another model may break that tie the other way.
// - `complete` is false when any branch explored needs a card the shoe no
//   longer holds: under perfect play every decision's branches are explored,
//   under a fixed strategy only the strategy's own (and the single-hand
//   valuations its decisions rest on). The hole card is always dealt (a peek
//   needs it even when every hand has busted); the dealer draws further only
//   while some hand is neither busted nor a charlie.
// - Values of incomplete entries follow a convention of this reference only:
//   a player's draw from an empty shoe deals nothing (hit and double are not
//   offered, a lone pair card stays a one-card hand) and a dealer hand the
//   shoe cannot complete counts as a bust (as when its chances of 17 to 21
//   fall short of 1). Compare values only where `complete` holds.
// - A dealer blackjack chance of 1 leaves the conditioned view undefined
//   (NaN here).

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "model/rank.h"
#include "model/rule_set.h"

namespace reference {

enum class ResplitStrategy { Perfect, CdzMinus, Cdp1 };

// One entry of the results: 0 overall, u = 1..10 against up card u.
struct ResplitEntry {
  bool dealt = false;          // the pair, and the up card after it, can be dealt
  bool complete = true;        // no branch explored ran out of cards
  bool tieSensitive = false;   // fixed strategies: a decision taken had a near tie
  double unconditional = 0.0;  // in units of one hand's bet, all hands summed
  double conditioned = 0.0;    // given no dealer blackjack
};
using ResplitValues = std::array<ResplitEntry, 11>;

// The pair kept as one two-card hand (not a split hand: doubling needs no
// DAS), played perfectly after its first action.
struct UnsplitEntry {
  bool dealt = false;
  bool complete = true;
  bool canDouble = false;
  std::array<double, 2> stand{};  // unconditional, conditioned
  std::array<double, 2> hit{};
  std::array<double, 2> doubled{};
};
using UnsplitValues = std::array<UnsplitEntry, 11>;

namespace detail {

// Result of a subtree: its value and what it met on the way.
struct Outcome {
  double value = 0.0;
  bool incomplete = false;
  bool tie = false;
};

// A hand whose play is over, as the payout needs it.
struct Finished {
  std::uint8_t total = 0;  // best total; 0 when busted
  std::uint8_t stake = 1;
  bool charlie = false;
  auto operator<=>(const Finished&) const = default;
};

using Cards = std::array<std::int8_t, RankCount>;  // per rank, ace first

struct State {
  Cards shoe{};          // cards left
  int left = 0;          // their number
  Cards hand{};          // the hand in play, the split card included
  int hard = 0;          // its total, aces counted 1
  int cards = 0;         // its number of cards
  int pending = 0;       // lone-pair hands waiting
  int hands = 0;         // hands dealt so far
  std::array<Finished, 4> done{};
  int doneCount = 0;
};

inline void take(State& s, int rank) {
  --s.shoe[rankIndex(rank)];
  --s.left;
}
inline void addToHand(State& s, int rank) {
  ++s.hand[rankIndex(rank)];
  s.hard += rank;
  ++s.cards;
}
inline bool hasAce(const Cards& c) { return c[rankIndex(Ace)] > 0; }
inline int bestTotal(int hard, bool ace) { return ace && hard <= 11 ? hard + 10 : hard; }

struct Key {
  std::array<std::uint8_t, 32> bytes{};
  bool operator==(const Key&) const = default;
};
struct KeyHash {
  std::size_t operator()(const Key& k) const {
    std::uint64_t h = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint64_t w;
      std::memcpy(&w, k.bytes.data() + 8 * i, 8);
      h = (h ^ w) * 0x9E3779B97F4A7C15ull;  // then a splitmix64 finaliser
      h ^= h >> 32;
      h *= 0xD6E8FEB86659FD93ull;
      h ^= h >> 32;
    }
    return static_cast<std::size_t>(h);
  }
};

// The memo of a recursion: keys and values inline, linear probing, grown at
// half load. Keys are never inserted twice (each recursive step deals a card
// or ends a hand, so no state waits on itself).
template <class Value>
class Memo {
 public:
  const Value* find(const Key& k) const {
    if (slots_.empty()) return nullptr;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = KeyHash{}(k) & mask;; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (!s.used) return nullptr;
      if (s.key == k) return &s.value;
    }
  }
  void insert(const Key& k, const Value& v) {
    if (2 * (count_ + 1) > slots_.size()) {
      std::vector<Slot> old(std::max<std::size_t>(1024, 2 * slots_.size()));
      old.swap(slots_);
      for (const Slot& s : old) {
        if (s.used) place(s.key, s.value);
      }
    }
    place(k, v);
    ++count_;
  }

 private:
  struct Slot {
    Key key;
    Value value;
    bool used = false;
  };
  void place(const Key& k, const Value& v) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = KeyHash{}(k) & mask;
    while (slots_[i].used) i = (i + 1) & mask;
    slots_[i] = Slot{k, v, true};
  }
  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

// Chances of the dealer's final hands from one exact shoe.
struct DealerPlay {
  // Final hands 17..21 at 0..4, then a bust (or a hand the shoe could not
  // complete), then a blackjack.
  static constexpr int Bust = 5;
  static constexpr int Blackjack = 6;
  static constexpr int Size = 7;
  std::array<double, Size> chance{};
  bool shortToDraw = false;  // some card the dealer needed was not there
  bool shortToDeal = false;  // the up or hole card was not there
};

enum class Action { Stand, Hit, Double };

struct Choice {
  Action action = Action::Stand;
  bool incomplete = false;
  bool tie = false;
};

class FixedStrategy;

// What a round is dealt from and under which rules.
struct Setup {
  RuleSet rules;
  int pair = 1;
  int maxHands = 2;
  bool resplitAces = false;
  int upCard = 0;          // 0: drawn after the player's cards
  bool splitHands = true;  // false: one unsplit hand (no DAS needed, aces not final)
};

class Round {
 public:
  Round(const Setup& setup, FixedStrategy* strategy) : setup_(setup), strategy_(strategy) {}

  // Value of the round from a state where the hand in play is to act.
  Outcome handTurn(const State& s);

  // Stand, hit and double at a decision state of perfect play (hit and
  // double absent when not allowed or no card is left).
  struct Options {
    Outcome stand;
    std::optional<Outcome> hit;
    std::optional<Outcome> doubled;
    bool blocked = false;  // a draw was wanted with no card left
  };
  Options options(const State& s);

  bool canDouble(const State& s) const;

 private:
  Outcome finish(State s, bool doubled);
  DealerPlay dealer(const Cards& shoe, int left, int up, int hard, bool ace, int cards);
  double settle(const State& s, int dealerTotal) const;
  double blackjack(const State& s) const;
  bool finalAce() const {
    return setup_.splitHands && setup_.pair == Ace && !setup_.rules.hsa;
  }
  Key key(const State& s, std::uint8_t phase) const;

  Setup setup_;
  FixedStrategy* strategy_;  // null: perfect play
  Memo<Outcome> memo_;
  Memo<DealerPlay> dealerMemo_;
};

// The decisions of CDZ- or CDP1 for one entry: the best action of a single
// hand of the same cards on the strategy shoe, found by perfect single-hand
// play and remembered per hand.
class FixedStrategy {
 public:
  FixedStrategy(const Setup& roundSetup, const Cards& strategyShoe)
      : single_(singleSetup(roundSetup), nullptr), shoe_(strategyShoe) {}

  Choice choose(const State& s) {
    Key k;
    for (int i = 0; i < RankCount; ++i) k.bytes[i] = static_cast<std::uint8_t>(s.hand[i]);
    if (const Choice* known = cache_.find(k)) return *known;

    State v;
    v.shoe = shoe_;
    v.left = 0;
    for (int i = 0; i < RankCount; ++i) {
      v.shoe[i] = static_cast<std::int8_t>(v.shoe[i] - s.hand[i]);
      v.left += v.shoe[i];
    }
    v.hand = s.hand;
    v.hard = s.hard;
    v.cards = s.cards;
    v.hands = 1;
    const Round::Options o = single_.options(v);

    // Ties as the split engine breaks them: stand, then double, then hit.
    Choice c;
    double best = o.stand.value;
    c.incomplete = o.stand.incomplete || o.blocked;
    if (o.doubled) {
      c.incomplete |= o.doubled->incomplete;
      if (best < o.doubled->value) {
        c.action = Action::Double;
        best = o.doubled->value;
      }
    }
    if (o.hit) {
      c.incomplete |= o.hit->incomplete;
      if (best < o.hit->value) {
        c.action = Action::Hit;
        best = o.hit->value;
      }
    }
    auto near = [&](Action a, const std::optional<Outcome>& x) {
      return a != c.action && x && std::fabs(x->value - best) <= 1e-12;
    };
    c.tie = near(Action::Stand, o.stand) || near(Action::Double, o.doubled) ||
            near(Action::Hit, o.hit);
    cache_.insert(k, c);
    return c;
  }

 private:
  static Setup singleSetup(Setup s) {
    s.maxHands = 1;
    return s;
  }
  Round single_;
  Cards shoe_;
  Memo<Choice> cache_;
};

inline Key Round::key(const State& s, std::uint8_t phase) const {
  Key k;
  auto& b = k.bytes;
  for (int i = 0; i < RankCount; ++i) b[i] = static_cast<std::uint8_t>(s.shoe[i]);
  b[10] = phase;
  b[11] = static_cast<std::uint8_t>(s.pending);
  b[12] = static_cast<std::uint8_t>(s.hands);
  b[13] = static_cast<std::uint8_t>(s.doneCount);
  // The payout is a sum over hands: their order does not matter.
  std::array<Finished, 4> done = s.done;
  for (int i = 1; i < s.doneCount; ++i) {
    for (int j = i; j > 0 && done[j] < done[j - 1]; --j) std::swap(done[j], done[j - 1]);
  }
  // Every total of 16 or less meets the same dealer results.
  for (int i = 0; i < s.doneCount; ++i) {
    const int total = done[i].total == 0 ? 0 : std::max<int>(done[i].total, 16);
    b[14 + 2 * i] = static_cast<std::uint8_t>(total | (done[i].charlie ? 0x40 : 0));
    b[15 + 2 * i] = done[i].stake;
  }
  return k;
}

inline bool Round::canDouble(const State& s) const {
  const RuleSet& r = setup_.rules;
  if (r.doubleRule == DoubleRule::NoDoubling) return false;
  if (s.cards < 2 || (s.cards > 2 && !r.dan)) return false;
  if (setup_.splitHands && (!r.das || (setup_.pair == Ace && !r.dspa))) return false;
  const bool soft = hasAce(s.hand) && s.hard <= 11;
  switch (r.doubleRule) {
    case DoubleRule::AnyTwoCards:
      return true;
    case DoubleRule::Hard10or11:
      return !soft && s.hard >= 10;
    case DoubleRule::Hard9to11:
      return !soft && s.hard >= 9;
    case DoubleRule::Hard10or11AndSoft:
      return soft || s.hard >= 10;
    case DoubleRule::Hard9to11AndSoft:
      return soft || s.hard >= 9;
    case DoubleRule::HardOnly:
      return !soft;
    case DoubleRule::NoDoubling:
      return false;
  }
  return false;
}

inline Round::Options Round::options(const State& s) {
  Options o;
  o.stand = finish(s, false);
  if (s.left == 0) {
    o.blocked = true;
    return o;
  }
  Outcome hit, dbl;
  const bool doubles = canDouble(s);
  for (int r = 1; r <= RankCount; ++r) {
    const int n = s.shoe[rankIndex(r)];
    if (n == 0) continue;
    const double p = static_cast<double>(n) / s.left;
    State t = s;
    take(t, r);
    addToHand(t, r);
    const Outcome h = handTurn(t);
    hit.value += p * h.value;
    hit.incomplete |= h.incomplete;
    hit.tie |= h.tie;
    if (doubles) {
      const Outcome d = finish(t, true);
      dbl.value += p * d.value;
      dbl.incomplete |= d.incomplete;
      dbl.tie |= d.tie;
    }
  }
  o.hit = hit;
  if (doubles) o.doubled = dbl;
  return o;
}

inline Outcome Round::handTurn(const State& s) {
  Key kk = key(s, 0);
  // The hand in play: its cards for a fixed strategy (its decisions read
  // them), its total, aces and card count for perfect play.
  if (strategy_ != nullptr) {
    for (int i = 0; i < RankCount; ++i) kk.bytes[22 + i] = static_cast<std::uint8_t>(s.hand[i]);
  } else {
    kk.bytes[22] = static_cast<std::uint8_t>(s.hard);
    kk.bytes[23] = hasAce(s.hand) ? 1 : 0;
    kk.bytes[24] = static_cast<std::uint8_t>(std::min(s.cards, 7));
  }
  if (const Outcome* known = memo_.find(kk)) return *known;

  Outcome out;
  if (s.cards == 1) {
    // Step 1: a lone pair card takes its second card, and may resplit on a pair card.
    if (s.left == 0) {
      out = finish(s, false);
      out.incomplete = true;
    } else {
      for (int r = 1; r <= RankCount; ++r) {
        const int n = s.shoe[rankIndex(r)];
        if (n == 0) continue;
        const double p = static_cast<double>(n) / s.left;
        State t = s;
        take(t, r);
        const bool mayResplit = r == setup_.pair && s.hands < setup_.maxHands &&
                                (setup_.pair != Ace || setup_.resplitAces);
        Outcome o;
        if (mayResplit) {
          State split = t;
          ++split.pending;
          ++split.hands;
          const Outcome resplit = handTurn(split);
          if (strategy_ != nullptr) {
            o = resplit;
          } else {
            addToHand(t, r);
            const Outcome keep = handTurn(t);
            o.value = std::max(resplit.value, keep.value);
            o.incomplete = resplit.incomplete || keep.incomplete;
          }
        } else {
          addToHand(t, r);
          o = handTurn(t);
        }
        out.value += p * o.value;
        out.incomplete |= o.incomplete;
        out.tie |= o.tie;
      }
    }
  } else if (s.hard > 21 || (s.cards == 2 && finalAce())) {
    // Step 2: busted, or a split ace without HSA on its two cards.
    out = finish(s, false);
  } else if (strategy_ == nullptr) {
    // Step 3, perfect play: the best of stand, hit and double for the round.
    const Options o = options(s);
    out = o.stand;
    out.incomplete |= o.blocked;
    for (const auto& x : {o.hit, o.doubled}) {
      if (!x) continue;
      out.incomplete |= x->incomplete;
      out.value = std::max(out.value, x->value);
    }
  } else if (s.hard == 21) {
    out = finish(s, false);  // a hard 21 stands under a fixed strategy
  } else {
    // Step 3, fixed strategy: the strategy's action, dealt from the real shoe.
    const Choice c = strategy_->choose(s);
    if (c.action == Action::Stand || s.left == 0) {
      out = finish(s, false);
      out.incomplete |= c.action != Action::Stand;
    } else {
      for (int r = 1; r <= RankCount; ++r) {
        const int n = s.shoe[rankIndex(r)];
        if (n == 0) continue;
        const double p = static_cast<double>(n) / s.left;
        State t = s;
        take(t, r);
        addToHand(t, r);
        const Outcome o = c.action == Action::Hit ? handTurn(t) : finish(t, true);
        out.value += p * o.value;
        out.incomplete |= o.incomplete;
        out.tie |= o.tie;
      }
    }
    out.incomplete |= c.incomplete;
    out.tie |= c.tie;
  }
  memo_.insert(kk, out);
  return out;
}

// The hand in play is over: record it, then start the next waiting hand or
// let the dealer play.
inline Outcome Round::finish(State s, bool doubled) {
  Finished f;
  f.stake = doubled ? 2 : 1;
  if (s.hard <= 21) {
    f.total = static_cast<std::uint8_t>(bestTotal(s.hard, hasAce(s.hand)));
    const RuleSet& r = setup_.rules;
    f.charlie = (r.charlie5 && s.cards >= 5) || (r.charlie6 && s.cards >= 6);
  }
  s.done[s.doneCount++] = f;
  if (s.pending > 0) {
    --s.pending;
    s.hand = Cards{};
    s.hand[rankIndex(setup_.pair)] = 1;
    s.hard = setup_.pair;
    s.cards = 1;
    return handTurn(s);
  }
  const int up = setup_.upCard;
  const DealerPlay d = up == 0 ? dealer(s.shoe, s.left, 0, 0, false, 0)
                                : dealer(s.shoe, s.left, up, up, up == Ace, 1);
  Outcome out;
  for (int t = 0; t < DealerPlay::Blackjack; ++t) {
    if (d.chance[t] != 0.0) out.value += d.chance[t] * settle(s, t == DealerPlay::Bust ? 0 : 17 + t);
  }
  out.value += d.chance[DealerPlay::Blackjack] * blackjack(s);
  // The dealer draws past the hole card only while some hand's result needs it.
  bool live = false;
  for (int i = 0; i < s.doneCount; ++i) live |= s.done[i].total != 0 && !s.done[i].charlie;
  out.incomplete = live ? d.shortToDraw : d.shortToDeal;
  return out;
}

// The hands' results against a dealer's final total (0: busted).
inline double Round::settle(const State& s, int dealerTotal) const {
  double sum = 0.0;
  for (int i = 0; i < s.doneCount; ++i) {
    const Finished& f = s.done[i];
    int sign;
    if (f.total == 0) {
      sign = -1;
    } else if (f.charlie || dealerTotal == 0) {
      sign = 1;
    } else {
      sign = f.total > dealerTotal ? 1 : (f.total < dealerTotal ? -1 : 0);
    }
    sum += sign * f.stake;
  }
  return sum;
}

inline double Round::blackjack(const State& s) const {
  if (setup_.rules.peeks()) return 0.0;  // the round's value when the dealer has blackjack
  double sum = 0.0;
  for (int i = 0; i < s.doneCount; ++i) sum -= s.done[i].stake;
  return sum;
}

// The dealer's play from the exact shoe left when every hand is over, dealt
// card by card: `cards` dealt so far (0 before the up card of the overall
// entry, 1 before the hole card). Memoised by that shoe and the dealer's hand.
inline DealerPlay Round::dealer(const Cards& shoe, int left, int up, int hard, bool ace,
                                       int cards) {
  // Past the hole card the dealer's future rests on its total alone.
  Key k;
  for (int i = 0; i < RankCount; ++i) k.bytes[i] = static_cast<std::uint8_t>(shoe[i]);
  k.bytes[10] = static_cast<std::uint8_t>(cards < 2 ? up : 0);
  k.bytes[11] = static_cast<std::uint8_t>(hard);
  k.bytes[12] = ace ? 1 : 0;
  k.bytes[13] = static_cast<std::uint8_t>(std::min(cards, 2));
  if (const DealerPlay* known = dealerMemo_.find(k)) return *known;

  DealerPlay out;
  const int best = bestTotal(hard, ace);
  const bool soft = ace && hard <= 11;
  if (cards >= 2 && hard > 21) {
    out.chance[DealerPlay::Bust] = 1.0;
  } else if (cards >= 2 && (best > 17 || (best == 17 && (!soft || setup_.rules.standsOnSoft17)))) {
    out.chance[best - 17] = 1.0;
  } else if (left == 0) {
    out.chance[DealerPlay::Bust] = 1.0;  // a dealer hand the shoe cannot complete counts as a bust
    out.shortToDraw = true;
    out.shortToDeal = cards < 2;
  } else {
    for (int r = 1; r <= RankCount; ++r) {
      const int n = shoe[rankIndex(r)];
      if (n == 0) continue;
      const double p = static_cast<double>(n) / left;
      if (cards == 1 && ((up == Ace && r == Ten) || (up == Ten && r == Ace))) {
        out.chance[DealerPlay::Blackjack] += p;
        continue;
      }
      Cards t = shoe;
      --t[rankIndex(r)];
      const DealerPlay d = dealer(t, left - 1, cards == 0 ? r : up, hard + r, ace || r == Ace,
                                   cards + 1);
      for (int i = 0; i < DealerPlay::Size; ++i) out.chance[i] += p * d.chance[i];
      out.shortToDraw |= d.shortToDraw;
      if (cards < 2) out.shortToDeal |= d.shortToDeal;
    }
  }
  dealerMemo_.insert(k, out);
  return out;
}

// Chance of a dealer blackjack on a shoe, up card unknown (u = 0) or known.
inline double blackjackChance(const Cards& shoe, int u) {
  int left = 0;
  for (int n : shoe) left += n;
  const double aces = shoe[rankIndex(Ace)], tens = shoe[rankIndex(Ten)];
  if (u == 0) return left > 1 ? 2.0 * aces * tens / (static_cast<double>(left) * (left - 1)) : 0.0;
  if (left == 0) return 0.0;
  if (u == Ace) return tens / left;
  if (u == Ten) return aces / left;
  return 0.0;
}

// The two views of a round value V (its value with a dealer blackjack at 0
// under peek, its whole expectation under no peek).
inline std::array<double, 2> views(double v, double d, const RuleSet& rules) {
  if (!rules.peeks()) return {v, v};
  const double conditioned = d < 1.0 ? v / (1.0 - d) : std::numeric_limits<double>::quiet_NaN();
  return {v - d, conditioned};
}

inline Cards toCards(const std::array<int, RankCount>& counts) {
  Cards c{};
  for (int i = 0; i < RankCount; ++i) c[i] = static_cast<std::int8_t>(counts[i]);
  return c;
}

}  // namespace detail

// Values of splitting a pair of `pair` from `shoeCounts` (per rank, ace
// first, both pair cards still in it, each count at most 127), up to `hands`
// hands; every entry, or only `onlyEntry` (0..10) when it is given. No entry
// is dealt when the pair cannot be, or when `hands` is not 2, 3 or 4.
inline ResplitValues referenceResplit(const std::array<int, RankCount>& shoeCounts, Rank pair,
                                      const RuleSet& rules, int hands, bool resplitAces,
                                      ResplitStrategy strategy, int onlyEntry = -1) {
  using namespace detail;
  ResplitValues out{};
  const Cards full = toCards(shoeCounts);
  if (full[rankIndex(pair)] < 2 || hands < 2 || hands > 4) return out;
  Cards afterPair = full;
  afterPair[rankIndex(pair)] = static_cast<std::int8_t>(afterPair[rankIndex(pair)] - 2);

  for (int u = 0; u <= RankCount; ++u) {
    if (onlyEntry >= 0 && u != onlyEntry) continue;
    Cards shoe = afterPair;
    if (u > 0) {
      if (shoe[rankIndex(u)] == 0) continue;
      --shoe[rankIndex(u)];
    }
    Setup setup;
    setup.rules = rules;
    setup.pair = pair;
    setup.maxHands = hands;
    setup.resplitAces = resplitAces;
    setup.upCard = u;

    std::unique_ptr<FixedStrategy> fixed;
    if (strategy != ResplitStrategy::Perfect) {
      Cards strategyShoe = full;
      if (u > 0) --strategyShoe[rankIndex(u)];
      if (strategy == ResplitStrategy::Cdp1) --strategyShoe[rankIndex(pair)];
      fixed = std::make_unique<FixedStrategy>(setup, strategyShoe);
    }
    Round round(setup, fixed.get());
    State s;
    s.shoe = shoe;
    for (int n : shoe) s.left += n;
    s.hand[rankIndex(pair)] = 1;
    s.hard = pair;
    s.cards = 1;
    s.pending = 1;
    s.hands = 2;
    const Outcome o = round.handTurn(s);

    ResplitEntry& e = out[u];
    e.dealt = true;
    e.complete = !o.incomplete;
    e.tieSensitive = o.tie;
    const auto v = views(o.value, blackjackChance(u == 0 ? afterPair : shoe, u), rules);
    e.unconditional = v[0];
    e.conditioned = v[1];
  }
  return out;
}

// Stand, hit and double of the pair kept as one unsplit hand, at every
// entry or only at `onlyEntry`.
inline UnsplitValues referenceUnsplit(const std::array<int, RankCount>& shoeCounts, Rank pair,
                                      const RuleSet& rules, int onlyEntry = -1) {
  using namespace detail;
  UnsplitValues out{};
  const Cards full = toCards(shoeCounts);
  if (full[rankIndex(pair)] < 2) return out;
  Cards afterPair = full;
  afterPair[rankIndex(pair)] = static_cast<std::int8_t>(afterPair[rankIndex(pair)] - 2);
  for (int u = 0; u <= RankCount; ++u) {
    if (onlyEntry >= 0 && u != onlyEntry) continue;
    Cards shoe = afterPair;
    if (u > 0) {
      if (shoe[rankIndex(u)] == 0) continue;
      --shoe[rankIndex(u)];
    }
    Setup setup;
    setup.rules = rules;
    setup.pair = pair;
    setup.maxHands = 1;
    setup.upCard = u;
    setup.splitHands = false;
    Round round(setup, nullptr);
    State s;
    s.shoe = shoe;
    for (int n : shoe) s.left += n;
    s.hand[rankIndex(pair)] = 2;
    s.hard = 2 * pair;
    s.cards = 2;
    s.hands = 1;
    const Round::Options o = round.options(s);

    UnsplitEntry& e = out[u];
    e.dealt = true;
    const double d = blackjackChance(u == 0 ? afterPair : shoe, u);
    e.complete = !o.stand.incomplete && !o.blocked && !(o.hit && o.hit->incomplete) &&
                 !(o.doubled && o.doubled->incomplete);
    e.stand = views(o.stand.value, d, rules);
    if (o.hit) e.hit = views(o.hit->value, d, rules);
    e.canDouble = o.doubled.has_value();
    if (o.doubled) e.doubled = views(o.doubled->value, d, rules);
  }
  return out;
}

}  // namespace reference
