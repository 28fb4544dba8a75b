#pragma once

#include <cstdint>

#include "model/rank.h"

// The card supply: the full shoe of a whole number of decks and the cards
// currently left in it. Cards are taken out and put back during a
// computation; the shoe itself checks nothing, callers only take out cards
// that are there. All operations are constant time and allocation free.
struct Shoe {
  ShoeCounts fullCounts{};     // 4 x decks per rank ace..nine, 16 x decks tens
  std::int32_t fullTotal = 0;  // 52 x decks
  ShoeCounts currentCounts{};  // cards of each rank left
  std::int32_t currentTotal = 0;
  std::int32_t decks = 0;

  explicit Shoe(std::int32_t deckCount = 1) { reset(deckCount); }

  // Rebuilds a full shoe of the given number of decks; removals are forgotten.
  void reset(std::int32_t deckCount);

  std::int32_t count(int rank) const { return currentCounts[rankIndex(rank)]; }
  std::int32_t remaining() const { return currentTotal; }

  // Chance that the next card is of this rank. Only called when one is left.
  double probability(int rank) const {
    return static_cast<double>(currentCounts[rankIndex(rank)]) / static_cast<double>(currentTotal);
  }

  void removeCard(int rank) {
    --currentCounts[rankIndex(rank)];
    --currentTotal;
  }
  void returnCard(int rank) {
    ++currentCounts[rankIndex(rank)];
    ++currentTotal;
  }

  void removeCards(const HandCounts& cards);
  void returnCards(const HandCounts& cards);
  void removeCards(const ShoeCounts& cards);
  void returnCards(const ShoeCounts& cards);

  // Per rank, the cards taken out of the full shoe so far.
  ShoeCounts takenOut() const;

  bool operator==(const Shoe&) const = default;
};

static_assert(sizeof(Shoe) == 23 * sizeof(std::int32_t), "Shoe is 23 plain 32-bit integers");
