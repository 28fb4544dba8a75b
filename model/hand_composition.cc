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
