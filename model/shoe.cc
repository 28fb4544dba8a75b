#include "model/shoe.h"

void Shoe::reset(std::int32_t deckCount) {
  decks = deckCount;
  for (int r = 1; r <= RankCount; ++r) {
    fullCounts[rankIndex(r)] = cardsPerDeck(r) * deckCount;
    currentCounts[rankIndex(r)] = cardsPerDeck(r) * deckCount;
  }
  fullTotal = 52 * deckCount;
  currentTotal = 52 * deckCount;
}

namespace {

template <typename Counts>
void subtract(Shoe& shoe, const Counts& cards) {
  for (int i = 0; i < RankCount; ++i) {
    shoe.currentCounts[i] -= cards[i];
    shoe.currentTotal -= cards[i];
  }
}

template <typename Counts>
void add(Shoe& shoe, const Counts& cards) {
  for (int i = 0; i < RankCount; ++i) {
    shoe.currentCounts[i] += cards[i];
    shoe.currentTotal += cards[i];
  }
}

}  // namespace

void Shoe::removeCards(const HandCounts& cards) { subtract(*this, cards); }
void Shoe::returnCards(const HandCounts& cards) { add(*this, cards); }
void Shoe::removeCards(const ShoeCounts& cards) { subtract(*this, cards); }
void Shoe::returnCards(const ShoeCounts& cards) { add(*this, cards); }

ShoeCounts Shoe::takenOut() const {
  ShoeCounts out{};
  for (int i = 0; i < RankCount; ++i) out[i] = fullCounts[i] - currentCounts[i];
  return out;
}
