#pragma once

// Reference evaluator for splitting a pair once and for the rest of the
// decision (the pair kept as one hand), used to cross-check the split
// engine on small shoes. It is deliberately built differently from the
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
// The whole decision (evaluateDecision) adds, per entry:
//  - split with the first hand played for both hands: each decision of hand
//    1 maximises the expected sum of both hands (its own result plus hand
//    2's EV over the cards it leaves); hand 2 still plays for itself;
//  - the pair kept as one two-card hand: stand, hit (then play on by the
//    best of stand, hit and, under DAN, double) and double (one card, stake
//    2). Doubling follows the rule table the split hands use, but DAS, HSA
//    and DSpA play no part: the hand was not split. A charlie counts both
//    pair cards;
//  - the best of stand, hit, double and split.
//
// Units: one hand's bet. The split values add both hands; nothing is
// conditioned on the dealer lacking blackjack.
//
// A draw from an empty shoe on a path of positive probability throws: the
// callers pick shoes in which this cannot happen.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/rule_set.h"
#include "tests/reference_dealer.h"
#include "tests/test_support.h"

namespace refsplit {

using refdealer::cardsIn;
using refdealer::Counts;
using refdealer::DealerDist;
using refdealer::DealerReference;
using refdealer::kBlackjack;
using refdealer::kBust;

inline std::uint64_t packCounts(const Counts& c) {
  std::uint64_t key = 0;
  for (int i = 0; i < 10; ++i) {
    if (c[i] < 0 || c[i] > 31) throw std::logic_error("reference: count out of packing range");
    key = (key << 5) | static_cast<std::uint64_t>(c[i]);
  }
  return key;
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

struct SplitReference {
  std::array<double, 11> splitEv{};   // 0 overall, u against up card u
  std::array<bool, 11> dealable{};    // whether entry u was computed
  // First-hand decisions whose two best own values lie within 1e-9 of each
  // other while leading to different split values: there the choice between
  // them is decided by rounding, so such a case is no fair exact comparison.
  int nearTies = 0;
};

enum class Action { Stand, Hit, Double, Split };

inline const char* actionName(Action a) {
  switch (a) {
    case Action::Stand: return "stand";
    case Action::Hit: return "hit";
    case Action::Double: return "double";
    case Action::Split: return "split";
  }
  return "?";
}

// The action of highest value; an exact tie goes to the earlier of stand,
// hit, double, split. No double value: doubling is not allowed.
inline Action bestAction(double stand, double hit, std::optional<double> dbl, double split) {
  Action a = Action::Stand;
  double x = stand;
  if (hit > x) {
    a = Action::Hit;
    x = hit;
  }
  if (dbl && *dbl > x) {
    a = Action::Double;
    x = *dbl;
  }
  return split > x ? Action::Split : a;
}

struct DecisionReference {
  SplitReference split;
  std::array<double, 11> splitJoint{};  // first hand played for both hands
  // The pair as one unsplit hand.
  std::array<double, 11> stand{};
  std::array<double, 11> hit{};
  std::array<double, 11> doubled{};     // meaningful only when doubleAllowed
  bool doubleAllowed = false;
  std::array<Action, 11> best{};        // for the dealable entries

  std::optional<double> doubleAt(int u) const {
    return doubleAllowed ? std::optional<double>(doubled[u]) : std::nullopt;
  }
};

class SplitReferenceEvaluator {
 public:
  SplitReferenceEvaluator(const RuleSet& rules, DealerReference& dealer)
      : rules_(rules), dealer_(dealer) {
    if (dealer.standsOnSoft17() != rules.standsOnSoft17)
      throw std::logic_error("reference: dealer memo built for the other soft-17 rule");
  }

  // shoeAfterPair: the shoe less the removals and both pair cards.
  SplitReference evaluate(const Counts& shoeAfterPair, int pair) { return run(shoeAfterPair, pair, nullptr); }

  // Splitting, splitting with hand 1 played for both hands, and keeping the
  // pair as one hand.
  DecisionReference evaluateDecision(const Counts& shoeAfterPair, int pair) {
    DecisionReference out;
    out.split = run(shoeAfterPair, pair, &out);
    out.doubleAllowed = unsplitCanDouble(Hand{2 * pair, pair == 1, 2});
    for (int u = 0; u <= 10; ++u)
      if (out.split.dealable[u])
        out.best[u] = bestAction(out.stand[u], out.hit[u], out.doubleAt(u), out.split.splitEv[u]);
    return out;
  }

 private:
  SplitReference run(const Counts& shoeAfterPair, int pair, DecisionReference* decision) {
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
      hand1JointMemo_.clear();
      h1Cards_ = Counts{};
      out.splitEv[u] = splitValue();
      out.dealable[u] = true;
      if (decision) {
        decision->splitJoint[u] = splitJointValue();
        unsplitMemo_.clear();
        uCards_ = Counts{};
        const Hand pairHand{2 * pair_, pair_ == 1, 2};
        decision->stand[u] = score(pairHand, 1, dealerNow());
        decision->hit[u] = unsplitHit(pairHand);
        decision->doubled[u] = unsplitDouble(pairHand);
      }
    }
    out.nearTies = ties_;
    return out;
  }

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

  // Split hands.
  bool canDouble(const Hand& h) const {
    if (!rules_.das || h.cards == 1) return false;
    if (pair_ == 1 && !rules_.dspa) return false;
    return unsplitCanDouble(h);
  }

  // The pair kept as one hand; also the part of the split hands' test that
  // the split does not add to.
  bool unsplitCanDouble(const Hand& h) const {
    if (rules_.doubleRule == DoubleRule::NoDoubling) return false;
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

  // Hand 1 holding h, every decision maximising both hands' expected sum.
  double hand1Joint(const Hand& h) {
    const std::uint64_t key = packCounts(h1Cards_);
    auto it = hand1JointMemo_.find(key);
    if (it != hand1JointMemo_.end()) return it->second;
    double best = ended1(h, 1);
    if (!finalSplitAce()) {
      const int n = shoeTotal();
      const bool doubling = canDouble(h);
      double hit = 0.0, dbl = 0.0;
      for (int r = 1; r <= 10; ++r) {
        if (shoe_[r - 1] == 0) continue;
        const double p = static_cast<double>(shoe_[r - 1]) / n;
        const Hand next = h.plus(r);
        draw1(r);
        hit += p * (next.busted() ? ended1(next, 1) : hand1Joint(next));
        if (doubling) dbl += p * ended1(next, 2);
        undraw1(r);
      }
      best = std::max(best, hit);
      if (doubling) best = std::max(best, dbl);
    }
    hand1JointMemo_.emplace(key, best);
    return best;
  }

  double splitJointValue() {
    const Hand lone{pair_, pair_ == 1, 1};
    const int n = shoeTotal();
    double v = 0.0;
    for (int r = 1; r <= 10; ++r) {
      if (shoe_[r - 1] == 0) continue;
      const double p = static_cast<double>(shoe_[r - 1]) / n;
      draw1(r);
      v += p * hand1Joint(lone.plus(r));
      undraw1(r);
    }
    return v;
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

  // ---- the pair as one hand -----------------------------------------

  void drawU(int r) { --shoe_[r - 1]; ++uCards_[r - 1]; }
  void undrawU(int r) { ++shoe_[r - 1]; --uCards_[r - 1]; }

  // Take one card, then play on.
  double unsplitHit(const Hand& h) {
    const int n = shoeTotal();
    double v = 0.0;
    for (int r = 1; r <= 10; ++r) {
      if (shoe_[r - 1] == 0) continue;
      const double p = static_cast<double>(shoe_[r - 1]) / n;
      const Hand next = h.plus(r);
      drawU(r);
      v += p * (next.busted() ? -1.0 : unsplitPlay(next));
      undrawU(r);
    }
    return v;
  }

  // One card, stake 2, then stand.
  double unsplitDouble(const Hand& h) {
    const int n = shoeTotal();
    double v = 0.0;
    for (int r = 1; r <= 10; ++r) {
      if (shoe_[r - 1] == 0) continue;
      const double p = static_cast<double>(shoe_[r - 1]) / n;
      drawU(r);
      v += p * score(h.plus(r), 2, dealerNow());
      undrawU(r);
    }
    return v;
  }

  // The hand holding h (three or more cards, not busted), played on
  // optimally.
  double unsplitPlay(const Hand& h) {
    const std::uint64_t key = packCounts(uCards_);
    auto it = unsplitMemo_.find(key);
    if (it != unsplitMemo_.end()) return it->second;
    double best = std::max(score(h, 1, dealerNow()), unsplitHit(h));
    if (unsplitCanDouble(h)) best = std::max(best, unsplitDouble(h));
    unsplitMemo_.emplace(key, best);
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
  Counts uCards_{};  // drawn to the unsplit pair
  Hand h1Final_{};
  int h1Stake_ = 1;
  std::unordered_map<std::uint64_t, Val> hand1Memo_;
  std::unordered_map<std::uint64_t, double> jointMemo_;
  std::unordered_map<std::uint64_t, Val> hand2Memo_;
  std::unordered_map<std::uint64_t, double> hand1JointMemo_;
  std::unordered_map<std::uint64_t, double> unsplitMemo_;
};

// ---- small shoes and rule sets for the cross-checks ----------------------
//
// Every deck here, less its pair, satisfies a card-value bound that makes an
// exhausted shoe impossible: a split hand draws cards worth at most
// 31 - pair, the unsplit pair at most 31 - 2 x pair, and the dealer, up card
// included, at most 26; so a shoe (less the pair) worth at least
// 88 - 2 x pair always has a card when one is needed. The decks were also
// chosen so that no decision of the split's first hand is an exact tie
// between actions that lead to different second-hand values.
namespace cases {

inline int valueSum(const Counts& c) {
  int s = 0;
  for (int r = 1; r <= 10; ++r) s += r * c[r - 1];
  return s;
}

// A dealer memo per soft-17 rule, kept for the whole run: outcomes depend
// only on the shoe left and the rule.
inline DealerReference& dealerMemo(bool s17) {
  static DealerReference stands(true);
  static DealerReference hits(false);
  return s17 ? stands : hits;
}

struct NamedRules {
  std::string name;
  RuleSet rules;
};

inline std::vector<NamedRules> generalRules() {
  return {
      {"S17_Any_DAS", makeRules(true, DoubleRule::AnyTwoCards, true, true)},
      {"H17_Any_DAS", makeRules(false, DoubleRule::AnyTwoCards, true, true)},
      {"S17_NoDAS", makeRules(true, DoubleRule::AnyTwoCards, false, true)},
      {"H17_Hard10or11", makeRules(false, DoubleRule::Hard10or11, true, true)},
      {"S17_Hard9to11", makeRules(true, DoubleRule::Hard9to11, true, true)},
      {"H17_Hard10or11AndSoft", makeRules(false, DoubleRule::Hard10or11AndSoft, true, true)},
      {"S17_Hard9to11AndSoft", makeRules(true, DoubleRule::Hard9to11AndSoft, true, true)},
      {"H17_HardOnly", makeRules(false, DoubleRule::HardOnly, true, true)},
      {"S17_NoDoubling", makeRules(true, DoubleRule::NoDoubling, true, true)},
      {"S17_DAN", rulesWith(makeRules(true, DoubleRule::AnyTwoCards, true, true), [](RuleSet& r) { r.dan = true; })},
      {"H17_Hard9to11AndSoft_DAN_NoPeek",
       rulesWith(makeRules(false, DoubleRule::Hard9to11AndSoft, true, false), [](RuleSet& r) { r.dan = true; })},
      {"S17_NoPeek", makeRules(true, DoubleRule::AnyTwoCards, true, false)},
      {"H17_NoPeek_NoDAS", makeRules(false, DoubleRule::AnyTwoCards, false, false)},
  };
}

inline std::vector<NamedRules> charlieRules() {
  return {
      {"S17_Charlie5", rulesWith(makeRules(true, DoubleRule::AnyTwoCards, true, true), [](RuleSet& r) { r.charlie5 = true; })},
      {"H17_Charlie6_DAN", rulesWith(makeRules(false, DoubleRule::AnyTwoCards, true, true), [](RuleSet& r) {
         r.charlie6 = true;
         r.dan = true;
       })},
      {"S17_Charlie5_DAN_NoPeek", rulesWith(makeRules(true, DoubleRule::AnyTwoCards, true, false), [](RuleSet& r) {
         r.charlie5 = true;
         r.dan = true;
       })},
  };
}

inline std::vector<NamedRules> aceRules() {
  return {
      {"S17_NoHSA", makeRules(true, DoubleRule::AnyTwoCards, true, true)},
      {"H17_NoHSA_DSPA_NoPeek", rulesWith(makeRules(false, DoubleRule::AnyTwoCards, true, false), [](RuleSet& r) { r.dspa = true; })},
      {"S17_HSA", rulesWith(makeRules(true, DoubleRule::AnyTwoCards, true, true), [](RuleSet& r) { r.hsa = true; })},
      {"H17_HSA_DSPA", rulesWith(makeRules(false, DoubleRule::AnyTwoCards, true, true), [](RuleSet& r) {
         r.hsa = true;
         r.dspa = true;
       })},
      {"S17_HSA_DSPA_Hard9to11AndSoft_NoPeek",
       rulesWith(makeRules(true, DoubleRule::Hard9to11AndSoft, true, false), [](RuleSet& r) {
         r.hsa = true;
         r.dspa = true;
       })},
      {"S17_HSA_DSPA_NoDAS", rulesWith(makeRules(true, DoubleRule::AnyTwoCards, false, true), [](RuleSet& r) {
         r.hsa = true;
         r.dspa = true;
       })},
      {"H17_HSA_DSPA_HardOnly_DAN", rulesWith(makeRules(false, DoubleRule::HardOnly, true, true), [](RuleSet& r) {
         r.hsa = true;
         r.dspa = true;
         r.dan = true;
       })},
      {"S17_HSA_DSPA_Charlie5", rulesWith(makeRules(true, DoubleRule::AnyTwoCards, true, true), [](RuleSet& r) {
         r.hsa = true;
         r.dspa = true;
         r.charlie5 = true;
       })},
      {"H17_HSA_DSPA_Charlie6_DAN", rulesWith(makeRules(false, DoubleRule::AnyTwoCards, true, true), [](RuleSet& r) {
         r.hsa = true;
         r.dspa = true;
         r.charlie6 = true;
         r.dan = true;
       })},
  };
}

// Decks after the removals, pair cards included, ace count first.
struct Deck {
  std::string name;
  int pair;
  Counts left;
};

inline std::vector<Deck> decks() {
  return {
      {"Twos_A", 2, {1, 3, 2, 0, 1, 1, 0, 0, 0, 9}},
      {"Twos_B", 2, {1, 2, 0, 2, 2, 0, 1, 2, 2, 6}},
      {"Fives_A", 5, {2, 0, 1, 0, 3, 0, 2, 1, 2, 6}},
      {"Fives_B", 5, {1, 1, 1, 1, 4, 3, 2, 0, 2, 4}},
      {"Eights_A", 8, {1, 2, 0, 1, 1, 3, 0, 2, 0, 10}},
      {"Eights_B", 8, {4, 1, 1, 1, 2, 1, 0, 2, 0, 6}},
      {"Tens_A", 10, {2, 0, 0, 4, 2, 1, 0, 1, 1, 6}},
      {"Tens_B", 10, {1, 1, 2, 1, 1, 2, 1, 1, 2, 7}},
      {"Aces_A", 1, {3, 0, 1, 0, 1, 0, 3, 3, 1, 5}},
      {"Aces_B", 1, {3, 0, 2, 3, 3, 1, 1, 0, 1, 6}},
  };
}

struct CrossCase {
  std::string name;
  int pair;
  Counts left;  // the deck after the removals, both pair cards included
  RuleSet rules;

  Counts afterPair() const {
    Counts c = left;
    c[pair - 1] -= 2;
    return c;
  }
  // What the removals took out of one deck to leave the deck.
  Counts removals() const {
    Counts c{};
    for (int r = 1; r <= 10; ++r) c[r - 1] = cardsPerDeck(r) - left[r - 1];
    return c;
  }
};

inline void PrintTo(const CrossCase& c, std::ostream* os) { *os << c.name; }

// Every deck under every rule set that bears on its pair: the ace rules for
// aces, the general and charlie rules for the others.
inline std::vector<CrossCase> crossCheckCases() {
  std::vector<CrossCase> out;
  for (const Deck& d : decks()) {
    std::vector<NamedRules> rules = d.pair == 1 ? aceRules() : generalRules();
    if (d.pair != 1) {
      std::vector<NamedRules> more = charlieRules();
      rules.insert(rules.end(), more.begin(), more.end());
    }
    for (const NamedRules& r : rules) out.push_back({d.name + "_" + r.name, d.pair, d.left, r.rules});
  }
  return out;
}

}  // namespace cases

}  // namespace refsplit
