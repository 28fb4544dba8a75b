#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "model/rank.h"

// The most decks a shoe may hold: 52 x 41297762 cards still fit a signed
// 32-bit total.
inline constexpr std::int32_t MaxDecks = 41297762;

// Cards of a rank in one deck: 4, or 16 ten-valued cards.
constexpr std::int32_t cardsPerDeck(int rank) { return rank == Ten ? 16 : 4; }

// The cards of a rank in a full shoe of 1..MaxDecks decks: the most of that
// rank that can be removed from it.
constexpr std::int32_t removalBound(int rank, std::int32_t decks) { return cardsPerDeck(rank) * decks; }

// The first rank (ace first) whose removal from a full shoe of 1..MaxDecks
// decks lies outside 0..removalBound, or nothing when every removal fits.
// Each program words its own message from it.
template <typename Count>
constexpr std::optional<Rank> removalOutOfBounds(const std::array<Count, RankCount>& removed, std::int32_t decks) {
  for (Rank rank = 1; rank <= RankCount; ++rank) {
    const Count n = removed[static_cast<std::size_t>(rankIndex(rank))];
    if (n < 0 || n > removalBound(rank, decks)) return rank;
  }
  return std::nullopt;
}

// The card supply: the full shoe of a whole number of decks and the cards
// currently left in it. Cards are taken out and put back during a
// computation; the shoe itself checks nothing, callers only take out cards
// that are there. All operations are constant time and allocation free.
struct Shoe {
  ShoeCounts fullCounts{};     // cardsPerDeck x decks per rank
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
