#pragma once

// Reference evaluator for splitting a pair once, used to cross-check the
// split engine on small shoes. It is deliberately built differently from the
// engine: a plain memoised recursion over the cards actually drawn, in which
// the dealer is played out from the shoe that BOTH split hands leave, and the
// two hands' results against that one dealer outcome are added directly.
//
// Model of play:
//  - The shoe handed in lacks the removals and both pair cards.
//  - Against up card u, one card u is out before the hands draw; the hole card
//    and the dealer's draws come from what the two hands leave. Overall (up
//    card unknown), the up card too is drawn from what the hands leave and the
//    player's strategy cannot depend on it.
//  - Hand 1 is played to the end first. Each of its decisions maximises its
//    own EV: the value of its cards against a dealer drawing from the shoe
//    hand 1 leaves (hand 2's cards are unknown at that moment; since every
//    card yet unseen is equally likely to be anywhere further down the shoe,
//    that is also hand 1's true expected result).
//  - Hand 2 then plays optimally for itself over the shoe left by hand 1.
//  - The split value is the expectation of (hand 1's result + hand 2's
//    result), both scored against the dealer's hand drawn after hand 2.
//
// Scoring: dealer blackjack is the up card and hole card being ace and ten.
// Under the full-peek rule each hand loses exactly its original bet to it
// (doubled or not, busted or not); under no peek every staked unit is lost.
// Otherwise a busted hand loses its stake, a charlie wins it, and standing
// totals are compared with the dealer's (dealer bust pays).
//
// A draw from an empty shoe on a path of positive probability throws: the
// callers pick shoes in which this cannot happen.

#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "model/rule_set.h"

namespace refsplit {

// Cards per rank, ace first.
using Counts = std::array<int, 10>;

// Dealer result positions: final totals 17..21 (21 without blackjack),
// blackjack, bust.
constexpr int kBlackjack = 5;
constexpr int kBust = 6;
using DealerDist = std::array<double, 7>;

inline std::uint64_t packCounts(const Counts& c) {
  std::uint64_t key = 0;
  for (int i = 0; i < 10; ++i) {
    if (c[i] < 0 || c[i] > 31) throw std::logic_error("reference: count out of packing range");
    key = (key << 5) | static_cast<std::uint64_t>(c[i]);
  }
  return key;
}

inline int cardsIn(const Counts& c) {
  int n = 0;
  for (int x : c) n += x;
  return n;
}

// A player hand: hard total (aces as 1), whether it holds an ace, card count.
struct Hand {
  int hard = 0;
  bool ace = false;
  int cards = 0;
  bool soft() const { return ace && hard <= 11; }
  int total() const { return soft() ? hard + 10 : hard; }
  bool busted() const { return hard > 21; }
  Hand plus(int rank) const { return Hand{hard + rank, ace || rank == 1, cards + 1}; }
};

// Dealer outcome distributions with a memo shared by every evaluation using
// the same soft-17 rule.
class DealerReference {
 public:
  explicit DealerReference(bool standsOnSoft17) : s17(standsOnSoft17) {}

  // Up card u already out of shoe; the dealer's hand starts with it.
  DealerDist givenUpCard(Counts& shoe, int up) { return play(shoe, up, up == 1, 1); }

  // Up card still in the shoe.
  DealerDist overall(Counts& shoe) {
    const std::uint64_t key = packCounts(shoe);
    auto it = overallMemo.find(key);
    if (it != overallMemo.end()) return it->second;
    const int n = cardsIn(shoe);
    if (n == 0) throw std::runtime_error("reference: empty shoe when dealing the up card");
    DealerDist d{};
    for (int r = 1; r <= 10; ++r) {
      if (shoe[r - 1] == 0) continue;
      const double p = static_cast<double>(shoe[r - 1]) / n;
      --shoe[r - 1];
      const DealerDist sub = givenUpCard(shoe, r);
      ++shoe[r - 1];
      for (int k = 0; k < 7; ++k) d[k] += p * sub[k];
    }
    overallMemo.emplace(key, d);
    return d;
  }

  bool standsOnSoft17() const { return s17; }

 private:
  DealerDist play(Counts& shoe, int hard, bool ace, int cards) {
    DealerDist d{};
    const bool soft = ace && hard <= 11;
    const int total = soft ? hard + 10 : hard;
    if (cards == 2 && soft && hard == 11) {
      d[kBlackjack] = 1.0;
      return d;
    }
    if (hard > 21) {
      d[kBust] = 1.0;
      return d;
    }
    if (cards >= 2 && (total >= 18 || (total == 17 && (!soft || s17)))) {
      d[total - 17] = 1.0;
      return d;
    }
    const std::uint64_t key =
        (packCounts(shoe) << 8) | (static_cast<std::uint64_t>(hard) << 3) |
        (static_cast<std::uint64_t>(ace) << 2) | static_cast<std::uint64_t>(cards >= 2 ? 1 : 0);
    auto it = memo.find(key);
    if (it != memo.end()) return it->second;
    const int n = cardsIn(shoe);
    if (n == 0) throw std::runtime_error("reference: dealer must draw from an empty shoe");
    for (int r = 1; r <= 10; ++r) {
      if (shoe[r - 1] == 0) continue;
      const double p = static_cast<double>(shoe[r - 1]) / n;
      --shoe[r - 1];
      const DealerDist sub = play(shoe, hard + r, ace || r == 1, cards + 1);
      ++shoe[r - 1];
      for (int k = 0; k < 7; ++k) d[k] += p * sub[k];
    }
    memo.emplace(key, d);
    return d;
  }

  bool s17;
  std::unordered_map<std::uint64_t, DealerDist> memo;
  std::unordered_map<std::uint64_t, DealerDist> overallMemo;
};

struct SplitReference {
  std::array<double, 11> splitEv{};   // 0 overall, u against up card u
  std::array<bool, 11> dealable{};    // whether entry u was computed
  // First-hand decisions whose two best own values lie within 1e-9 of each
  // other while leading to different split values: there the choice between
  // them is decided by rounding, so such a case is no fair exact comparison.
  int nearTies = 0;
};

class SplitReferenceEvaluator {
 public:
  SplitReferenceEvaluator(const RuleSet& rules, DealerReference& dealer)
      : rules_(rules), dealer_(dealer) {
    if (dealer.standsOnSoft17() != rules.standsOnSoft17)
      throw std::logic_error("reference: dealer memo built for the other soft-17 rule");
  }

  // shoeAfterPair: the shoe less the removals and both pair cards.
  SplitReference evaluate(const Counts& shoeAfterPair, int pair) {
    SplitReference out;
    pair_ = pair;
    ties_ = 0;
    for (int u = 0; u <= 10; ++u) {
      shoe_ = shoeAfterPair;
      if (u > 0) {
        if (shoe_[u - 1] == 0) continue;
        --shoe_[u - 1];
      }
      up_ = u;
      hand1Memo_.clear();
      jointMemo_.clear();
      h1Cards_ = Counts{};
      out.splitEv[u] = splitValue();
      out.dealable[u] = true;
    }
    out.nearTies = ties_;
    return out;
  }

 private:
  struct Val {
    double own = 0.0;    // this hand's own EV
    double joint = 0.0;  // both hands together
  };

  DealerDist dealerNow() {
    return up_ == 0 ? dealer_.overall(shoe_) : dealer_.givenUpCard(shoe_, up_);
  }

  bool charlie(const Hand& h) const {
    return (rules_.charlie5 && h.cards >= 5) || (rules_.charlie6 && h.cards >= 6);
  }

  // Result of a finished hand with the given stake against a dealer outcome.
  double score(const Hand& h, int stake, const DealerDist& d) const {
    double v = d[kBlackjack] * (rules_.peeks() ? -1.0 : -static_cast<double>(stake));
    if (h.busted()) return v - stake * (d[0] + d[1] + d[2] + d[3] + d[4] + d[kBust]);
    if (charlie(h)) return v + stake * (d[0] + d[1] + d[2] + d[3] + d[4] + d[kBust]);
    v += stake * d[kBust];
    const int e = h.total();
    for (int t = 17; t <= 21; ++t) {
      const double p = d[t - 17];
      if (e > t) v += stake * p;
      else if (e < t) v -= stake * p;
    }
    return v;
  }

  bool finalSplitAce() const { return pair_ == 1 && !rules_.hsa; }

  bool canDouble(const Hand& h) const {
    if (rules_.doubleRule == DoubleRule::NoDoubling || !rules_.das) return false;
    if (h.cards == 1) return false;
    if (pair_ == 1 && !rules_.dspa) return false;
    if (h.cards > 2 && !rules_.dan) return false;
    const bool hard = !h.soft();
    switch (rules_.doubleRule) {
      case DoubleRule::AnyTwoCards: return true;
      case DoubleRule::Hard10or11: return hard && h.hard >= 10;
      case DoubleRule::Hard9to11: return hard && h.hard >= 9;
      case DoubleRule::Hard10or11AndSoft: return !hard || h.hard >= 10;
      case DoubleRule::Hard9to11AndSoft: return !hard || h.hard >= 9;
      case DoubleRule::HardOnly: return hard;
      default: return false;
    }
  }

  int shoeTotal() const {
    const int n = cardsIn(shoe_);
    if (n == 0) throw std::runtime_error("reference: a player hand must draw from an empty shoe");
    return n;
  }

  // ---- hand 1 ---------------------------------------------------------

  double splitValue() {
    const Hand lone{pair_, pair_ == 1, 1};
    const int n = shoeTotal();
    double v = 0.0;
    for (int r = 1; r <= 10; ++r) {
      if (shoe_[r - 1] == 0) continue;
      const double p = static_cast<double>(shoe_[r - 1]) / n;
      draw1(r);
      v += p * hand1(lone.plus(r)).joint;
      undraw1(r);
    }
    return v;
  }

  void draw1(int r) { --shoe_[r - 1]; ++h1Cards_[r - 1]; }
  void undraw1(int r) { ++shoe_[r - 1]; --h1Cards_[r - 1]; }

  // Hand 1 holding h (two or more cards, not busted), played on optimally.
  Val hand1(const Hand& h) {
    const std::uint64_t key = packCounts(h1Cards_);
    auto it = hand1Memo_.find(key);
    if (it != hand1Memo_.end()) return it->second;

    const DealerDist d = dealerNow();
    Val stand{score(h, 1, d), ended1(h, 1)};
    if (finalSplitAce()) {
      hand1Memo_.emplace(key, stand);
      return stand;
    }
    const int n = shoeTotal();
    Val hit, dbl;
    const bool doubling = canDouble(h);
    for (int r = 1; r <= 10; ++r) {
      if (shoe_[r - 1] == 0) continue;
      const double p = static_cast<double>(shoe_[r - 1]) / n;
      const Hand next = h.plus(r);
      draw1(r);
      if (next.busted()) {
        hit.own += p * -1.0;
        hit.joint += p * ended1(next, 1);
      } else {
        const Val v = hand1(next);
        hit.own += p * v.own;
        hit.joint += p * v.joint;
      }
      if (doubling) {
        dbl.own += p * score(next, 2, dealerNow());
        dbl.joint += p * ended1(next, 2);
      }
      undraw1(r);
    }
    // Stand unless strictly beaten; double before hit at equal value.
    Val best = stand;
    if (doubling && dbl.own > best.own) best = dbl;
    if (hit.own > best.own) best = hit;
    noteTie(stand, hit);
    if (doubling) {
      noteTie(stand, dbl);
      noteTie(dbl, hit);
    }
    hand1Memo_.emplace(key, best);
    return best;
  }

  void noteTie(const Val& a, const Val& b) {
    if (std::abs(a.own - b.own) < 1e-9 && std::abs(a.joint - b.joint) > 1e-12) ++ties_;
  }

  // Hand 1 finished as h with the given stake (its cards are out of the
  // shoe): expected sum of both hands' results, hand 2 played for itself.
  double ended1(const Hand& h, int stake) {
    const std::uint64_t key = (packCounts(h1Cards_) << 1) | static_cast<std::uint64_t>(stake == 2);
    auto it = jointMemo_.find(key);
    if (it != jointMemo_.end()) return it->second;
    h1Final_ = h;
    h1Stake_ = stake;
    hand2Memo_.clear();
    h2Cards_ = Counts{};
    const Hand lone{pair_, pair_ == 1, 1};
    const int n = shoeTotal();
    double v = 0.0;
    for (int r = 1; r <= 10; ++r) {
      if (shoe_[r - 1] == 0) continue;
      const double p = static_cast<double>(shoe_[r - 1]) / n;
      draw2(r);
      v += p * hand2(lone.plus(r)).joint;
      undraw2(r);
    }
    jointMemo_.emplace(key, v);
    return v;
  }

  // ---- hand 2 ---------------------------------------------------------

  void draw2(int r) { --shoe_[r - 1]; ++h2Cards_[r - 1]; }
  void undraw2(int r) { ++shoe_[r - 1]; --h2Cards_[r - 1]; }

  // Both hands finished: hand 2 as h2 with stake2, dealer plays now.
  Val bothEnded(const Hand& h2, int stake2) {
    const DealerDist d = dealerNow();
    const double own = score(h2, stake2, d);
    return Val{own, own + score(h1Final_, h1Stake_, d)};
  }

  Val hand2(const Hand& h) {
    const std::uint64_t key = packCounts(h2Cards_);
    auto it = hand2Memo_.find(key);
    if (it != hand2Memo_.end()) return it->second;

    const Val stand = bothEnded(h, 1);
    if (finalSplitAce()) {
      hand2Memo_.emplace(key, stand);
      return stand;
    }
    const int n = shoeTotal();
    Val hit, dbl;
    const bool doubling = canDouble(h);
    for (int r = 1; r <= 10; ++r) {
      if (shoe_[r - 1] == 0) continue;
      const double p = static_cast<double>(shoe_[r - 1]) / n;
      const Hand next = h.plus(r);
      draw2(r);
      const Val v = next.busted() ? bothEnded(next, 1) : hand2(next);
      hit.own += p * v.own;
      hit.joint += p * v.joint;
      if (doubling) {
        const Val w = bothEnded(next, 2);
        dbl.own += p * w.own;
        dbl.joint += p * w.joint;
      }
      undraw2(r);
    }
    Val best = stand;
    if (doubling && dbl.own > best.own) best = dbl;
    if (hit.own > best.own) best = hit;
    hand2Memo_.emplace(key, best);
    return best;
  }

  RuleSet rules_;
  DealerReference& dealer_;
  int pair_ = 0;
  int up_ = 0;
  int ties_ = 0;
  Counts shoe_{};
  Counts h1Cards_{};
  Counts h2Cards_{};
  Hand h1Final_{};
  int h1Stake_ = 1;
  std::unordered_map<std::uint64_t, Val> hand1Memo_;
  std::unordered_map<std::uint64_t, double> jointMemo_;
  std::unordered_map<std::uint64_t, Val> hand2Memo_;
};

}  // namespace refsplit
