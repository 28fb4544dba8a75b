#include "model/shoe.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <numeric>
#include <optional>
#include <ostream>

namespace {

struct ResetCase {
  std::int32_t decks;
  std::int32_t perPipRank;  // aces through nines
  std::int32_t tens;
  std::int32_t total;
};

void PrintTo(const ResetCase& c, std::ostream* os) { *os << c.decks << " decks"; }

class ShoeReset : public ::testing::TestWithParam<ResetCase> {};

// A fresh shoe and a reset shoe must both hold exactly the full composition,
// with the totals matching the counts.
TEST_P(ShoeReset, HoldsFullCompositionOfTheDeckCount) {
  const ResetCase c = GetParam();
  Shoe built(c.decks);

  Shoe reused(3);
  reused.removeCard(Ace);
  reused.removeCard(Ten);
  reused.removeCard(7);
  reused.reset(c.decks);  // earlier removals must be forgotten

  for (const Shoe* shoe : {&built, &reused}) {
    EXPECT_EQ(shoe->decks, c.decks);
    for (int r = 1; r <= 9; ++r) {
      EXPECT_EQ(shoe->fullCounts[rankIndex(r)], c.perPipRank) << "rank " << r;
      EXPECT_EQ(removalBound(r, c.decks), c.perPipRank) << "rank " << r;
      EXPECT_EQ(shoe->count(r), c.perPipRank) << "rank " << r;
    }
    EXPECT_EQ(shoe->fullCounts[rankIndex(Ten)], c.tens);
    EXPECT_EQ(shoe->count(Ten), c.tens);
    EXPECT_EQ(removalBound(Ten, c.decks), c.tens);
    EXPECT_EQ(shoe->fullTotal, c.total);
    EXPECT_EQ(shoe->currentTotal, c.total);
    EXPECT_EQ(shoe->remaining(), c.total);
    EXPECT_EQ(shoe->fullCounts, shoe->currentCounts);
    EXPECT_EQ(shoe->takenOut(), ShoeCounts{});
  }
  EXPECT_EQ(built, reused);
}

// The largest deck count the program accepts still has a total that fits the
// 32-bit fields (52 x 41297762 = 2147483624).
INSTANTIATE_TEST_SUITE_P(DeckCounts, ShoeReset,
                         ::testing::Values(ResetCase{1, 4, 16, 52}, ResetCase{6, 24, 96, 312},
                                           ResetCase{8, 32, 128, 416},
                                           ResetCase{MaxDecks, 165191048, 660764192, 2147483624}));

// Removals are checked ace first against the full shoe's counts; the table
// program's parsed values are 64-bit.
TEST(ShoeRemovalBounds, FirstRankOutsideItsBound) {
  EXPECT_EQ(removalOutOfBounds(ShoeCounts{4, 4, 4, 4, 4, 4, 4, 4, 4, 16}, 1), std::nullopt);
  EXPECT_EQ(removalOutOfBounds(ShoeCounts{0, 0, 0, 0, 0, 0, 0, 0, 0, 17}, 1), Ten);
  EXPECT_EQ(removalOutOfBounds(ShoeCounts{0, 9, 0, -1, 0, 0, 0, 0, 0, 0}, 2), 2);
  using Parsed = std::array<std::int64_t, RankCount>;
  EXPECT_EQ(removalOutOfBounds(Parsed{0, 0, 0, 0, 0, 0, 0, 0, 0, 660764192}, MaxDecks), std::nullopt);
  EXPECT_EQ(removalOutOfBounds(Parsed{0, 0, 0, 0, 0, 0, 0, 0, 0, std::int64_t{1} << 40}, MaxDecks), Ten);
}

TEST(ShoeProbability, TenOnFullSingleDeck) {
  const Shoe shoe(1);
  EXPECT_DOUBLE_EQ(shoe.probability(Ten), 16.0 / 52.0);
  EXPECT_DOUBLE_EQ(shoe.probability(5), 4.0 / 52.0);
}

// The divisor must be the cards left at the time of the call, not the full
// shoe.
TEST(ShoeProbability, AceAfterOneAceRemoved) {
  Shoe shoe(1);
  shoe.removeCard(Ace);
  EXPECT_DOUBLE_EQ(shoe.probability(Ace), 3.0 / 51.0);
  EXPECT_DOUBLE_EQ(shoe.probability(Ten), 16.0 / 51.0);
  shoe.returnCard(Ace);
  EXPECT_DOUBLE_EQ(shoe.probability(Ace), 4.0 / 52.0);
}

// Taking one card out touches that rank and the total only, and putting it
// back restores every one of the 23 fields.
TEST(ShoeSingleCard, RemoveAndReturnEachRank) {
  for (int decks : {1, 6}) {
    const Shoe original(decks);
    for (int r = 1; r <= RankCount; ++r) {
      Shoe shoe = original;
      shoe.removeCard(r);
      for (int other = 1; other <= RankCount; ++other) {
        const std::int32_t expected = original.count(other) - (other == r ? 1 : 0);
        EXPECT_EQ(shoe.count(other), expected) << "removed " << r << ", rank " << other;
      }
      EXPECT_EQ(shoe.remaining(), original.remaining() - 1);
      EXPECT_EQ(shoe.fullCounts, original.fullCounts);
      EXPECT_EQ(shoe.fullTotal, original.fullTotal);
      EXPECT_EQ(shoe.decks, original.decks);
      shoe.returnCard(r);
      EXPECT_EQ(shoe, original) << "rank " << r;
    }
  }
}

// Removing several cards of one rank one at a time empties that rank and
// nothing else.
TEST(ShoeSingleCard, EmptyingOneRank) {
  Shoe shoe(1);
  for (int i = 0; i < 16; ++i) shoe.removeCard(Ten);
  EXPECT_EQ(shoe.count(Ten), 0);
  EXPECT_EQ(shoe.remaining(), 36);
  EXPECT_DOUBLE_EQ(shoe.probability(9), 4.0 / 36.0);
  for (int i = 0; i < 16; ++i) shoe.returnCard(Ten);
  EXPECT_EQ(shoe, Shoe(1));
}

// The vector operations exist for 16-bit hand counts and 32-bit removals; both
// must subtract per rank and from the total, leave the full shoe alone, and be
// undone exactly by the matching return.
template <typename Counts>
void checkVectorRoundTrip(const Shoe& original, const Counts& cards) {
  Shoe shoe = original;
  shoe.removeCards(cards);

  std::int32_t removed = 0;
  for (int i = 0; i < RankCount; ++i) {
    EXPECT_EQ(shoe.currentCounts[i], original.currentCounts[i] - cards[i]) << "index " << i;
    EXPECT_EQ(shoe.fullCounts[i] - shoe.currentCounts[i], cards[i]) << "index " << i;
    removed += cards[i];
  }
  EXPECT_EQ(shoe.currentTotal, original.currentTotal - removed);
  EXPECT_EQ(shoe.currentTotal,
            std::accumulate(shoe.currentCounts.begin(), shoe.currentCounts.end(), std::int32_t{0}));
  EXPECT_EQ(shoe.fullCounts, original.fullCounts);
  EXPECT_EQ(shoe.fullTotal, original.fullTotal);
  EXPECT_EQ(shoe.decks, original.decks);
  for (int i = 0; i < RankCount; ++i) EXPECT_EQ(shoe.takenOut()[i], cards[i]) << "index " << i;

  shoe.returnCards(cards);
  EXPECT_EQ(shoe, original);
}

TEST(ShoeVector, HandCountsRoundTrip) {
  checkVectorRoundTrip(Shoe(1), HandCounts{1, 0, 2, 0, 0, 3, 0, 0, 1, 4});
  checkVectorRoundTrip(Shoe(1), HandCounts{4, 4, 4, 4, 4, 4, 4, 4, 4, 16});  // the whole deck
  checkVectorRoundTrip(Shoe(6), HandCounts{0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  checkVectorRoundTrip(Shoe(6), HandCounts{2, 1, 1, 1, 1, 0, 0, 0, 0, 1});
}

TEST(ShoeVector, ShoeCountsRoundTrip) {
  checkVectorRoundTrip(Shoe(1), ShoeCounts{0, 1, 0, 2, 0, 0, 4, 0, 0, 16});
  checkVectorRoundTrip(Shoe(6), ShoeCounts{24, 0, 7, 0, 0, 0, 0, 0, 13, 96});
  // Counts beyond the 16-bit range must not be truncated.
  checkVectorRoundTrip(Shoe(41297762), ShoeCounts{100000, 0, 0, 0, 0, 0, 0, 0, 0, 660000000});
}

// Removals already applied are still reflected after a further vector is
// taken out and returned.
TEST(ShoeVector, NestedRemovalsUnwindInOrder) {
  const Shoe original(2);
  Shoe shoe = original;
  const ShoeCounts removals{1, 0, 0, 3, 0, 0, 0, 0, 0, 5};
  const HandCounts hand{1, 0, 0, 0, 0, 2, 0, 0, 0, 1};
  shoe.removeCards(removals);
  const Shoe afterRemovals = shoe;
  shoe.removeCards(hand);
  EXPECT_EQ(shoe.takenOut(), (ShoeCounts{2, 0, 0, 3, 0, 2, 0, 0, 0, 6}));
  EXPECT_EQ(shoe.remaining(), 104 - 9 - 4);
  shoe.returnCards(hand);
  EXPECT_EQ(shoe, afterRemovals);
  shoe.returnCards(removals);
  EXPECT_EQ(shoe, original);
}

}  // namespace
