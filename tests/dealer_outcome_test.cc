#include "dealer/dealer_outcome.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "dealer/dealer_cache.h"
#include "dealer/dealer_walk.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/split_calculator.h"

namespace {

using Outcome = std::array<double, OutcomeCount>;
using StandRow = std::array<double, StandCount>;

constexpr double kSixPlaces = 5e-7;

Outcome row(const double (&v)[OutcomeCount]) {
  Outcome o;
  for (int j = 0; j < OutcomeCount; ++j) o[j] = v[j];
  return o;
}
StandRow standRow(const double (&v)[StandCount]) {
  StandRow s;
  for (int j = 0; j < StandCount; ++j) s[j] = v[j];
  return s;
}

template <std::size_t N>
void expectNear(const std::array<double, N>& actual, const std::array<double, N>& expected,
                double tolerance, const char* what) {
  for (std::size_t j = 0; j < N; ++j)
    EXPECT_NEAR(actual[j], expected[j], tolerance) << what << ", position " << j;
}

Shoe shoeWithout(std::int32_t decks, const ShoeCounts& removed) {
  Shoe shoe(decks);
  shoe.removeCards(removed);
  return shoe;
}

TEST(DealerProbabilitiesStart, CertainBust) {
  const DealerProbabilities start;
  for (int u = 0; u < RankCount; ++u) {
    EXPECT_EQ(row(start.byUpCard[u]), (Outcome{0, 0, 0, 0, 0, 0, 1})) << "row " << u;
    EXPECT_EQ(standRow(start.standEvByUpCard[u]), (StandRow{0, 0, 0, 0, 0, 0})) << "row " << u;
  }
  EXPECT_EQ(row(start.overall), (Outcome{0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(standRow(start.standEvOverall), (StandRow{0, 0, 0, 0, 0, 0}));
}

TEST(DealerOutcomeSingleDeck, StandsOnSoft17) {
  const Shoe shoe(1);
  const DealerProbabilities o = dealerProbabilities(shoe, true);
  expectNear(row(o.overall),
             Outcome{0.145830, 0.138063, 0.134820, 0.175806, 0.073630, 0.048265, 0.283585},
             kSixPlaces, "overall");
  expectNear(row(o.byUpCard[rankIndex(6)]),
             Outcome{0.166948, 0.106454, 0.107192, 0.100705, 0.097878, 0, 0.420823}, kSixPlaces,
             "six row");
  EXPECT_DOUBLE_EQ(o.byUpCard[rankIndex(Ace)][DealerBlackjack], 16.0 / 51.0);
  EXPECT_DOUBLE_EQ(o.byUpCard[rankIndex(Ten)][DealerBlackjack], 4.0 / 51.0);
  EXPECT_NEAR(o.overall[DealerBlackjack], 128.0 / 2652.0, 1e-15);
  for (int u = 2; u <= 9; ++u) EXPECT_EQ(o.byUpCard[rankIndex(u)][DealerBlackjack], 0.0) << u;

  expectNear(standRow(o.standEvOverall),
             StandRow{-0.287000, -0.003107, 0.269777, 0.580403, 0.829839, -0.432829}, kSixPlaces,
             "stand overall");
  expectNear(standRow(o.standEvByUpCard[rankIndex(6)]),
             StandRow{0.008594, 0.281995, 0.495641, 0.703538, 0.902122, -0.158354}, kSixPlaces,
             "stand six row");
  EXPECT_TRUE(o.complete);
}

TEST(DealerOutcomeSingleDeck, HitsSoft17) {
  const Shoe shoe(1);
  const DealerProbabilities h17 = dealerProbabilities(shoe, false);
  const DealerProbabilities s17 = dealerProbabilities(shoe, true);
  EXPECT_NEAR(h17.byUpCard[rankIndex(6)][DealerBust], 0.437756, kSixPlaces);
  EXPECT_NEAR(h17.overall[DealerBust], 0.287485, kSixPlaces);
  EXPECT_NEAR(h17.overall[DealerBlackjack], 128.0 / 2652.0, 1e-15);
  // With a seven or more up the dealer can never hold soft 17, so those rows
  // do not depend on the rule; with an ace to six up, hitting soft 17 busts
  // more often.
  for (int u = 7; u <= Ten; ++u)
    for (int j = 0; j < OutcomeCount; ++j)
      EXPECT_DOUBLE_EQ(h17.byUpCard[rankIndex(u)][j], s17.byUpCard[rankIndex(u)][j])
          << "up card " << u << ", position " << j;
  for (int u = Ace; u <= 6; ++u)
    EXPECT_GT(h17.byUpCard[rankIndex(u)][DealerBust], s17.byUpCard[rankIndex(u)][DealerBust] + 1e-3)
        << "up card " << u;
}

// No six left: the six row is the certain-bust row and every stand value
// against it is 1; the other rows are still complete distributions.
TEST(DealerOutcomeSingleDeck, AllSixesTakenOut) {
  const Shoe shoe = shoeWithout(1, {0, 0, 0, 0, 0, 4, 0, 0, 0, 0});
  for (bool s17 : {true, false}) {
    const DealerProbabilities o = dealerProbabilities(shoe, s17);
    EXPECT_EQ(row(o.byUpCard[rankIndex(6)]), (Outcome{0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(standRow(o.standEvByUpCard[rankIndex(6)]), (StandRow{1, 1, 1, 1, 1, 1}));
  }
}

// Tiny shoes: draw probabilities and blackjack chances must not divide by
// zero, and a dealer who cannot complete a hand is counted as busting.
TEST(DealerOutcomeTinyShoe, OnlyAceAndTenLeft) {
  const Shoe shoe = shoeWithout(1, {3, 4, 4, 4, 4, 4, 4, 4, 4, 15});
  ASSERT_EQ(shoe.remaining(), 2);
  for (bool s17 : {true, false}) {
    const DealerProbabilities o = dealerProbabilities(shoe, s17);
    const Outcome blackjack{0, 0, 0, 0, 0, 1, 0};
    EXPECT_EQ(row(o.overall), blackjack);
    EXPECT_EQ(row(o.byUpCard[rankIndex(Ace)]), blackjack);
    EXPECT_EQ(row(o.byUpCard[rankIndex(Ten)]), blackjack);
    EXPECT_EQ(standRow(o.standEvByUpCard[rankIndex(Ace)]), (StandRow{-1, -1, -1, -1, -1, -1}));
    EXPECT_EQ(standRow(o.standEvOverall), (StandRow{-1, -1, -1, -1, -1, -1}));
    for (int u = 2; u <= 9; ++u)
      EXPECT_EQ(row(o.byUpCard[rankIndex(u)]), (Outcome{0, 0, 0, 0, 0, 0, 1})) << u;
  }
}

TEST(DealerOutcomeTinyShoe, OneCardOrNoneLeft) {
  const ShoeCounts allButOneAce{3, 4, 4, 4, 4, 4, 4, 4, 4, 16};
  const ShoeCounts allButOneTen{4, 4, 4, 4, 4, 4, 4, 4, 4, 15};
  const ShoeCounts everything{4, 4, 4, 4, 4, 4, 4, 4, 4, 16};
  for (const ShoeCounts& removed : {allButOneAce, allButOneTen, everything}) {
    const Shoe shoe = shoeWithout(1, removed);
    for (bool s17 : {true, false}) {
      const DealerProbabilities o = dealerProbabilities(shoe, s17);
      EXPECT_EQ(o.overall[DealerBlackjack], 0.0);
      EXPECT_EQ(o.byUpCard[rankIndex(Ace)][DealerBlackjack], 0.0);
      EXPECT_EQ(o.byUpCard[rankIndex(Ten)][DealerBlackjack], 0.0);
      EXPECT_EQ(o.overall[DealerBust], 1.0);
      for (int u = 0; u < RankCount; ++u) {
        EXPECT_EQ(row(o.byUpCard[u]), (Outcome{0, 0, 0, 0, 0, 0, 1})) << "row " << u;
        for (int j = 0; j < StandCount; ++j) EXPECT_FALSE(std::isnan(o.standEvByUpCard[u][j]));
      }
      for (int j = 0; j < StandCount; ++j) EXPECT_FALSE(std::isnan(o.standEvOverall[j]));
      EXPECT_FALSE(o.complete);
    }
  }
}

bool sameBits(const DealerOutcome& a, const DealerOutcome& b) {
  return std::memcmp(a.stand, b.stand, sizeof a.stand) == 0 &&
         std::memcmp(a.blackjack, b.blackjack, sizeof a.blackjack) == 0 && a.complete == b.complete;
}

// The record the cache should hold for the shoe: what the probabilities keep.
DealerOutcome recordFor(const Shoe& shoe, bool standsOnSoft17) {
  return DealerOutcome(dealerProbabilities(shoe, standsOnSoft17));
}

TEST(DealerOutcomeCacheTest, SameKeyReturnsSameRecordWithoutRecomputing) {
  DealerOutcomeCache cache;
  EXPECT_EQ(cache.recordCount(), 0);
  Shoe shoe(1);
  shoe.removeCards(ShoeCounts{0, 0, 1, 0, 0, 0, 0, 2, 0, 0});
  const Shoe before = shoe;

  EXPECT_EQ(cache.find(shoe.takenOut()), nullptr);
  const DealerOutcome& first = cache.dealerOutcomeFor(shoe.takenOut(), shoe, true);
  EXPECT_EQ(cache.recordCount(), 1);
  const std::int64_t computed = cache.computedCount();
  EXPECT_EQ(computed, 1);
  EXPECT_EQ(shoe, before);
  EXPECT_EQ(cache.find(shoe.takenOut()), &first);
  EXPECT_TRUE(sameBits(first, recordFor(shoe, true)));

  const DealerOutcome& second = cache.dealerOutcomeFor(shoe.takenOut(), shoe, true);
  EXPECT_EQ(&second, &first);
  EXPECT_EQ(cache.computedCount(), computed);
  EXPECT_EQ(cache.recordCount(), 1);
  EXPECT_EQ(shoe, before);
}

// Clearing forgets every record; the next lookup computes afresh and gets
// exactly the same numbers.
TEST(DealerOutcomeCacheTest, ClearThenRecompute) {
  DealerOutcomeCache cache;
  const Shoe shoe = shoeWithout(1, {1, 0, 0, 0, 0, 0, 0, 0, 0, 1});
  const DealerOutcome saved = cache.dealerOutcomeFor(shoe.takenOut(), shoe, true);
  cache.dealerOutcomeFor(Shoe(1).takenOut(), Shoe(1), true);
  ASSERT_EQ(cache.recordCount(), 2);

  cache.clearDealerOutcomes();
  EXPECT_EQ(cache.recordCount(), 0);
  EXPECT_EQ(cache.find(shoe.takenOut()), nullptr);
  const std::int64_t computed = cache.computedCount();
  const DealerOutcome& again = cache.dealerOutcomeFor(shoe.takenOut(), shoe, true);
  EXPECT_EQ(cache.computedCount(), computed + 1);
  EXPECT_EQ(cache.recordCount(), 1);
  EXPECT_TRUE(sameBits(again, saved));

  // Clearing twice, or an empty cache, is harmless.
  cache.clearDealerOutcomes();
  cache.clearDealerOutcomes();
  EXPECT_EQ(cache.recordCount(), 0);
}

// Many different shoes share one cache: each gets a record of its own, and
// every earlier record is still found, at the same address and unchanged,
// after all the later insertions.
TEST(DealerOutcomeCacheTest, DifferentRemovalsKeepEarlierRecords) {
  DealerOutcomeCache cache;
  std::mt19937 rng(31337);
  std::vector<Shoe> shoes;
  std::vector<const DealerOutcome*> records;
  std::vector<DealerOutcome> copies;
  while (shoes.size() < 150) {
    Shoe shoe(1);
    const int removals = std::uniform_int_distribution<int>(0, 8)(rng);
    for (int i = 0; i < removals; ++i) {
      const int r = std::uniform_int_distribution<int>(1, 10)(rng);
      if (shoe.count(r) > 0) shoe.removeCard(r);
    }
    bool seen = false;
    for (const Shoe& s : shoes) seen = seen || s == shoe;
    const std::int64_t before = cache.recordCount();
    const DealerOutcome& o = cache.dealerOutcomeFor(shoe.takenOut(), shoe, true);
    EXPECT_EQ(cache.find(shoe.takenOut()), &o);
    if (seen) {
      EXPECT_EQ(cache.recordCount(), before);
      continue;
    }
    EXPECT_EQ(cache.recordCount(), before + 1);
    shoes.push_back(shoe);
    records.push_back(&o);
    copies.push_back(o);
  }
  const std::int64_t computed = cache.computedCount();
  for (std::size_t i = 0; i < shoes.size(); ++i) {
    const DealerOutcome& o = cache.dealerOutcomeFor(shoes[i].takenOut(), shoes[i], true);
    EXPECT_EQ(&o, records[i]) << "shoe " << i;
    EXPECT_TRUE(sameBits(o, copies[i])) << "shoe " << i;
  }
  EXPECT_EQ(cache.computedCount(), computed);
  EXPECT_EQ(cache.recordCount(), 150);
  // A spot check that the records belong to their shoes.
  EXPECT_TRUE(sameBits(*records[17], recordFor(shoes[17], true)));
}

// The calculator's lookup uses its own shoe and its soft-17 rule.
TEST(DealerOutcomeCalculator, UsesLiveShoeAndRule) {
  RuleSet h17;
  h17.standsOnSoft17 = false;
  SplitCalculator calc(Shoe(1), h17);
  const DealerOutcome& o = calc.dealerOutcomeFor(calc.shoe.takenOut());
  EXPECT_TRUE(sameBits(o, recordFor(Shoe(1), false)));
  EXPECT_FALSE(sameBits(o, recordFor(Shoe(1), true)));
  EXPECT_EQ(calc.dealerCache.recordCount(), 1);
  EXPECT_EQ(&calc.dealerOutcomeFor(calc.shoe.takenOut()), &o);
  EXPECT_EQ(calc.shoe, Shoe(1));

  // No six left: every total wins against a six up, which is a certain bust.
  calc.shoe.removeCards(ShoeCounts{0, 0, 0, 0, 0, 4, 0, 0, 0, 0});
  const DealerOutcome& noSixes = calc.dealerOutcomeFor(calc.shoe.takenOut());
  for (int position = 0; position < StandCount; ++position) EXPECT_EQ(noSixes.stand[position][6], 1.0) << position;
  EXPECT_EQ(calc.dealerCache.recordCount(), 2);
  calc.shoe.returnCards(ShoeCounts{0, 0, 0, 0, 0, 4, 0, 0, 0, 0});
}

}  // namespace
