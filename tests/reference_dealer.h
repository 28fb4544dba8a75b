#pragma once

// The reference dealer of the tests: the dealer's final-result distribution
// worked out by a plain recursion over the cards actually drawn, sharing
// nothing with the engine (no hand tables, no compositions, no walk). It
// serves the dealer cross-check, the split reference and the infinite-deck
// limit.
//
// A finite shoe loses each card drawn. With replacement (the infinite deck)
// every draw comes from the same counts, so {1, 1, 1, 1, 1, 1, 1, 1, 1, 4}
// draws each rank with its chance in an endless shoe.
//
// Results are memoised per shoe left and dealer hand, for the object's whole
// life: outcomes depend only on those and the soft-17 rule.

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <unordered_map>

namespace refdealer {

// Cards per rank, ace first.
using Counts = std::array<int, 10>;

// Dealer result positions: final totals 17..21 (21 without blackjack) at
// 0..4, blackjack, bust.
constexpr int kBlackjack = 5;
constexpr int kBust = 6;
using DealerDist = std::array<double, 7>;

inline int cardsIn(const Counts& c) {
  int n = 0;
  for (int x : c) n += x;
  return n;
}

class DealerReference {
 public:
  explicit DealerReference(bool standsOnSoft17, bool withReplacement = false)
      : s17(standsOnSoft17), replace(withReplacement) {}

  // The up card u is already out of a finite shoe; the dealer's hand starts
  // with it and the hole card comes next.
  DealerDist givenUpCard(Counts& shoe, int up) { return play(shoe, up, up == 1, 1); }

  // The up card still in the shoe: the mixture over the up card.
  DealerDist overall(Counts& shoe) {
    const Key key = keyOf(shoe, -1);
    auto it = memo.find(key);
    if (it != memo.end()) return it->second;
    const int n = cardsIn(shoe);
    if (n == 0) throw std::runtime_error("reference: empty shoe when dealing the up card");
    DealerDist d{};
    for (int r = 1; r <= 10; ++r) {
      if (shoe[r - 1] == 0) continue;
      const double p = static_cast<double>(shoe[r - 1]) / n;
      take(shoe, r);
      const DealerDist sub = givenUpCard(shoe, r);
      putBack(shoe, r);
      for (int k = 0; k < 7; ++k) d[k] += p * sub[k];
    }
    memo.emplace(key, d);
    return d;
  }

  bool standsOnSoft17() const { return s17; }

 private:
  void take(Counts& shoe, int r) const {
    if (!replace) --shoe[r - 1];
  }
  void putBack(Counts& shoe, int r) const {
    if (!replace) ++shoe[r - 1];
  }

  // The dealer holding a hand of this hard total, ace or not, and card count.
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
    const Key key = keyOf(shoe, hard * 4 + (ace ? 2 : 0) + (cards >= 2 ? 1 : 0));
    auto it = memo.find(key);
    if (it != memo.end()) return it->second;
    const int n = cardsIn(shoe);
    if (n == 0) throw std::runtime_error("reference: dealer must draw from an empty shoe");
    for (int r = 1; r <= 10; ++r) {
      if (shoe[r - 1] == 0) continue;
      const double p = static_cast<double>(shoe[r - 1]) / n;
      take(shoe, r);
      const DealerDist sub = play(shoe, hard + r, ace || r == 1, cards + 1);
      putBack(shoe, r);
      for (int k = 0; k < 7; ++k) d[k] += p * sub[k];
    }
    memo.emplace(key, d);
    return d;
  }

  // The shoe's counts and the hand (hard total, ace, two cards or more;
  // -1 before the up card).
  using Key = std::array<int, 11>;
  static Key keyOf(const Counts& shoe, int hand) {
    Key key{};
    for (std::size_t i = 0; i < 10; ++i) key[i] = shoe[i];
    key[10] = hand;
    return key;
  }
  struct KeyHash {
    std::size_t operator()(const Key& key) const {
      std::uint64_t h = 1469598103934665603ULL;
      for (int x : key) h = (h ^ static_cast<std::uint64_t>(x)) * 1099511628211ULL;
      return static_cast<std::size_t>(h);
    }
  };

  bool s17;
  bool replace;
  std::unordered_map<Key, DealerDist, KeyHash> memo;
};

}  // namespace refdealer
