#include "model/hand_composition.h"

HandComposition::HandComposition(const HandCounts& cards) : counts(cards) {
  int total = 0;
  int cardsHeld = 0;
  for (int r = 1; r <= RankCount; ++r) {
    total += r * counts[rankIndex(r)];
    cardsHeld += counts[rankIndex(r)];
  }
  hardTotal = static_cast<std::int16_t>(total);
  cardCount = static_cast<std::int16_t>(cardsHeld);
  if (hardTotal > 21) {
    counts = HandCounts{};
    hardTotal = 0;
    cardCount = 0;
  }
  soft = isSoft();
}

bool HandComposition::fitsIn(const Shoe& shoe) const {
  for (int r = 1; r <= RankCount; ++r)
    if (counts[rankIndex(r)] > shoe.count(r)) return false;
  return true;
}

namespace {

template <typename Counts>
bool lessByTensFirst(const Counts& a, const Counts& b) {
  for (int i = RankCount - 1; i >= 1; --i) {
    if (a[i] < b[i]) return true;
    if (a[i] > b[i]) return false;
  }
  return a[0] < b[0];
}

template <typename Counts>
bool equalByTensFirst(const Counts& a, const Counts& b) {
  for (int i = RankCount - 1; i >= 0; --i)
    if (a[i] != b[i]) return false;
  return true;
}

}  // namespace

bool compositionLess(const HandCounts& a, const HandCounts& b) { return lessByTensFirst(a, b); }
bool compositionEqual(const HandCounts& a, const HandCounts& b) { return equalByTensFirst(a, b); }
bool compositionGreater(const HandCounts& a, const HandCounts& b) {
  return !equalByTensFirst(a, b) && !lessByTensFirst(a, b);
}

bool rankCountsLess(const ShoeCounts& a, const ShoeCounts& b) { return lessByTensFirst(a, b); }
bool rankCountsEqual(const ShoeCounts& a, const ShoeCounts& b) { return equalByTensFirst(a, b); }
bool rankCountsGreater(const ShoeCounts& a, const ShoeCounts& b) {
  return !equalByTensFirst(a, b) && !lessByTensFirst(a, b);
}
