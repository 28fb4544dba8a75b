#pragma once

#include <cstdint>

#include "model/rank.h"
#include "model/shoe.h"

// A hand described by its composition only: cards held per rank. The order
// in which the cards came never matters.
struct HandComposition {
  HandCounts counts{};          // cards held per rank, ace first
  std::int16_t hardTotal = 0;   // aces count 1
  std::int16_t cardCount = 0;
  bool soft = false;            // an ace held and hardTotal <= 11: best total is hardTotal + 10

  // The empty hand.
  HandComposition() = default;
  // From per-rank counts; a busted vector (hard total above 21) yields the empty hand.
  explicit HandComposition(const HandCounts& cards);

  // Adds one card with no bust check: the total may pass 21.
  void addCard(int rank) {
    ++counts[rankIndex(rank)];
    hardTotal = static_cast<std::int16_t>(hardTotal + rank);
    ++cardCount;
    soft = isSoft();
  }

  bool isSoft() const { return hardTotal <= 11 && counts[rankIndex(Ace)] > 0; }
  int bestTotal() const { return soft ? hardTotal + 10 : hardTotal; }

  // True when the shoe's current counts can supply every card of the hand.
  bool fitsIn(const Shoe& shoe) const;
};

// The key order of count vectors: lexicographic with the ten count most
// significant and the ace count least. Adding a card always gives a greater
// composition; the empty composition is the least of all. These sit in the
// innermost loops of every search, hence inline.

// -1, 0 or +1 as a orders before, equal to or after b.
template <typename Counts>
inline int compareCounts(const Counts& a, const Counts& b) {
  for (int i = RankCount - 1; i >= 0; --i)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

inline bool compositionLess(const HandCounts& a, const HandCounts& b) { return compareCounts(a, b) < 0; }
inline bool compositionEqual(const HandCounts& a, const HandCounts& b) { return compareCounts(a, b) == 0; }
inline bool compositionGreater(const HandCounts& a, const HandCounts& b) { return compareCounts(a, b) > 0; }

// The same order on 32-bit per-rank counts of a shoe.
inline bool rankCountsLess(const ShoeCounts& a, const ShoeCounts& b) { return compareCounts(a, b) < 0; }
inline bool rankCountsEqual(const ShoeCounts& a, const ShoeCounts& b) { return compareCounts(a, b) == 0; }
inline bool rankCountsGreater(const ShoeCounts& a, const ShoeCounts& b) { return compareCounts(a, b) > 0; }
