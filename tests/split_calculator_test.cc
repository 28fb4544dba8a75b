#include "split/split_calculator.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

void expectEmptyPairHand(const PlayerHandState& s) {
  EXPECT_EQ(s.pairRank, 0);
  EXPECT_EQ(s.hand.counts, HandCounts{});
  EXPECT_EQ(s.hand.hardTotal, 0);
  EXPECT_EQ(s.hand.cardCount, 0);
  EXPECT_FALSE(s.hand.soft);
  EXPECT_EQ(s.dealer, nullptr);
  for (int r = 1; r <= RankCount; ++r) EXPECT_EQ(s.next[rankIndex(r)], NoState);
  for (int i = 0; i < ValueCount; ++i) {
    EXPECT_EQ(s.standEv[i], -1.0);
    EXPECT_EQ(s.otherEv(i), 0.0);
    EXPECT_EQ(s.actionAt(i), 0);
  }
}

TEST(SplitCalculatorConstruction, FromOneDeckAndDefaultRules) {
  const SplitCalculator calc(Shoe(1), RuleSet{});
  for (int r = 1; r <= 9; ++r) EXPECT_EQ(calc.shoe.count(r), 4) << "rank " << r;
  EXPECT_EQ(calc.shoe.count(Ten), 16);
  EXPECT_EQ(calc.shoe.remaining(), 52);
  EXPECT_EQ(calc.shoe.currentCounts, calc.shoe.fullCounts);
  EXPECT_EQ(calc.shoe.decks, 1);
  EXPECT_TRUE(calc.rules == RuleSet{});  // the defaults themselves are checked with RuleSet
  expectEmptyPairHand(calc.pairHand);
  EXPECT_EQ(calc.dealerCache.recordCount(), 0);
}

// The calculator keeps copies: the given shoe and rules, even when depleted
// or non-default, and later changes to the originals do not reach it.
TEST(SplitCalculatorConstruction, CopiesTheGivenShoeAndRules) {
  Shoe shoe(3);
  shoe.removeCards(ShoeCounts{1, 0, 2, 0, 0, 0, 0, 0, 0, 5});
  RuleSet rules;
  rules.standsOnSoft17 = false;
  rules.das = true;
  rules.doubleRule = DoubleRule::Hard9to11;
  rules.dealerBjRule = DealerBjRule::NoPeek;

  const SplitCalculator calc(shoe, rules);
  EXPECT_EQ(calc.shoe, shoe);
  EXPECT_FALSE(calc.rules.standsOnSoft17);
  EXPECT_TRUE(calc.rules.das);
  EXPECT_EQ(calc.rules.doubleRule, DoubleRule::Hard9to11);
  EXPECT_EQ(calc.rules.dealerBjRule, DealerBjRule::NoPeek);

  shoe.reset(1);
  rules.das = false;
  EXPECT_EQ(calc.shoe.decks, 3);
  EXPECT_EQ(calc.shoe.remaining(), 156 - 8);
  EXPECT_TRUE(calc.rules.das);
}

TEST(SplitCalculatorShoe, ResetToSixDecksKeepsRules) {
  RuleSet rules;
  rules.hsa = true;
  SplitCalculator calc(Shoe(1), rules);
  calc.shoe.reset(6);
  for (int r = 1; r <= 9; ++r) EXPECT_EQ(calc.shoe.count(r), 24) << "rank " << r;
  EXPECT_EQ(calc.shoe.count(Ten), 96);
  EXPECT_EQ(calc.shoe.remaining(), 312);
  EXPECT_EQ(calc.shoe.fullTotal, 312);
  EXPECT_EQ(calc.shoe, Shoe(6));
  EXPECT_TRUE(calc.rules.hsa);
  EXPECT_TRUE(calc.rules.standsOnSoft17);
}

TEST(SplitCalculatorCache, ClearOnEmptyCacheLeavesItEmpty) {
  SplitCalculator calc(Shoe(1), RuleSet{});
  calc.clearDealerOutcomes();
  EXPECT_EQ(calc.dealerCache.recordCount(), 0);
  calc.clearDealerOutcomes();
  EXPECT_EQ(calc.dealerCache.recordCount(), 0);
}

// The calculator's clear empties its own cache, and the next lookup of the
// same shoe is computed again.
TEST(SplitCalculatorCache, ClearDiscardsRecords) {
  SplitCalculator calc(Shoe(1), RuleSet{});
  calc.dealerOutcomeFor(calc.shoe.takenOut());
  ASSERT_EQ(calc.dealerCache.recordCount(), 1);
  const std::int64_t computed = calc.dealerCache.computedCount();
  calc.clearDealerOutcomes();
  EXPECT_EQ(calc.dealerCache.recordCount(), 0);
  calc.dealerOutcomeFor(calc.shoe.takenOut());
  EXPECT_EQ(calc.dealerCache.recordCount(), 1);
  EXPECT_EQ(calc.dealerCache.computedCount(), computed + 1);
}

}  // namespace
