#include "tests/reference_resplit.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

using reference::ResplitStrategy;
using reference::ResplitValues;
using Counts = std::array<int, RankCount>;

RuleSet noPeek() {
  RuleSet r;
  r.dealerBjRule = DealerBjRule::NoPeek;
  return r;
}

// Rounds whose value follows by hand: the split aces take one card each (no
// HSA), or every card is a ten, so no strategy has a choice that matters.
struct HandCase {
  const char* name;
  Counts shoe;  // before the pair is dealt
  Rank pair;
  RuleSet rules;
  int hands;
  bool resplitAces;
  int entry;
  bool complete;
  double unconditional;  // checked only when complete
  double conditioned;
};

// Aces on {9, 9, T, T, T}: a hand makes 20 or 21 and never loses; it pushes
// a 20 against a dealer 20 (overall: 2/5 * 3/4 * 2/3 = 1/5, so 4/5 a hand),
// wins every hand against a 9 and, against a ten, pushes a 20 on a ten in
// the hole (2/5 * 3/4) for 7/10 a hand.
// Aces on {A, T, T, T, T} against a ten: the hole ace (1/5) is a blackjack.
// Split once, a hand wins with its ten and loses with the ace (soft 12)
// given no blackjack: V = 4/5 * 2 * (3/4 - 1/4) = 0.8. With a third hand the
// ace is always resplit (three 21s), V = 1/5 * 3 + 4/5 * (1/4 * 3 + 3/4 *
// 2/3 * 2) = 2; without peek the blackjack costs both hands: 1.6.
const HandCase HandCases[] = {
    {"AcesVsNine", {2, 0, 0, 0, 0, 0, 0, 0, 2, 4}, Ace, RuleSet{}, 2, false, 9, true, 2.0, 2.0},
    {"AcesVsTen", {2, 0, 0, 0, 0, 0, 0, 0, 2, 4}, Ace, RuleSet{}, 4, true, 10, true, 1.4, 1.4},
    {"AcesOverall", {2, 0, 0, 0, 0, 0, 0, 0, 2, 4}, Ace, RuleSet{}, 3, true, 0, true, 1.6, 1.6},
    {"AcesOnceVsTenPeek", {3, 0, 0, 0, 0, 0, 0, 0, 0, 5}, Ace, RuleSet{}, 2, true, 10, true, 0.6, 1.0},
    {"AcesNoResplitVsTen", {3, 0, 0, 0, 0, 0, 0, 0, 0, 5}, Ace, RuleSet{}, 3, false, 10, true, 0.6,
     1.0},
    {"AcesResplitVsTenPeek", {3, 0, 0, 0, 0, 0, 0, 0, 0, 5}, Ace, RuleSet{}, 3, true, 10, true, 1.8,
     2.5},
    {"AcesResplitVsTenNoPeek", {3, 0, 0, 0, 0, 0, 0, 0, 0, 5}, Ace, noPeek(), 3, true, 10, true, 1.6,
     1.6},
    {"EightsOnTens", {0, 0, 0, 0, 0, 0, 0, 2, 0, 6}, 8, RuleSet{}, 4, false, 10, true, -2.0, -2.0},
    {"EightsOnTensOverall", {0, 0, 0, 0, 0, 0, 0, 2, 0, 6}, 8, RuleSet{}, 4, false, 0, true, -2.0,
     -2.0},
    // Tens: every hand pushes a 20. Four hands take at most 10 cards (two
    // resplit tens, four second cards, four hits that bust a 20), then the
    // hole card: beside the pair and the up card, 11 tens suffice, 10 do not.
    {"TensPush", {0, 0, 0, 0, 0, 0, 0, 0, 0, 14}, Ten, RuleSet{}, 4, false, 10, true, 0.0, 0.0},
    {"TensShort", {0, 0, 0, 0, 0, 0, 0, 0, 0, 13}, Ten, RuleSet{}, 4, false, 10, false, 0.0, 0.0},
};

class ReferenceResplitByHand : public ::testing::TestWithParam<HandCase> {};

TEST_P(ReferenceResplitByHand, PerfectPlayMatchesTheHandValue) {
  const HandCase& c = GetParam();
  const ResplitValues v =
      reference::referenceResplit(c.shoe, c.pair, c.rules, c.hands, c.resplitAces,
                                  ResplitStrategy::Perfect, c.entry);
  ASSERT_TRUE(v[c.entry].dealt);
  EXPECT_EQ(v[c.entry].complete, c.complete);
  if (c.complete) {
    EXPECT_NEAR(v[c.entry].unconditional, c.unconditional, 1e-14);
    EXPECT_NEAR(v[c.entry].conditioned, c.conditioned, 1e-14);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReferenceResplitByHand, ::testing::ValuesIn(HandCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The dealer's play on a full deck (the pair's two cards added to it), S17:
// standing on 16, 18 and 20 overall and against a 6, to six places as
// published for the dealer's stand values.
struct StandCase {
  Rank pair;
  int entry;
  double value;
};

const StandCase StandCases[] = {
    {8, 0, -0.432829}, {9, 0, -0.003107}, {Ten, 0, 0.580403},
    {8, 6, -0.158354}, {9, 6, 0.281995},  {Ten, 6, 0.703538},
};

TEST(ReferenceResplitDealer, StandsOnAFullDeckAsPublished) {
  for (const StandCase& c : StandCases) {
    Counts deck = {4, 4, 4, 4, 4, 4, 4, 4, 4, 16};
    deck[rankIndex(c.pair)] += 2;
    const auto v = reference::referenceUnsplit(deck, c.pair, RuleSet{}, c.entry);
    ASSERT_TRUE(v[c.entry].complete);
    EXPECT_NEAR(v[c.entry].stand[0], c.value, 5e-7) << "pair " << c.pair << ", entry " << c.entry;
  }
}

// Small shoes under assorted rules: resplitting may only help perfect play
// (the player can always decline), and perfect play is at least every fixed
// strategy, entry by entry and in both views.
struct OrderCase {
  const char* name;
  Counts shoe;
  Rank pair;
  RuleSet rules;
};

RuleSet rules(bool s17, DoubleRule doubling, bool das, bool peek, bool hsa, bool dspa, int charlie,
              bool dan) {
  RuleSet r;
  r.standsOnSoft17 = s17;
  r.doubleRule = doubling;
  r.das = das;
  r.dealerBjRule = peek ? DealerBjRule::FullPeek : DealerBjRule::NoPeek;
  r.hsa = hsa;
  r.dspa = dspa;
  r.charlie5 = charlie == 5;
  r.charlie6 = charlie == 6;
  r.dan = dan;
  return r;
}

// Most of these run out of cards under perfect play from 3 hands on (some
// branch does); the first stays complete up to 3 hands.
const OrderCase OrderCases[] = {
    {"EightsOnTens", {1, 0, 0, 0, 0, 0, 1, 4, 1, 7}, 8,
     rules(true, DoubleRule::AnyTwoCards, true, true, false, false, 0, false)},
    {"Eights", {1, 0, 1, 1, 0, 1, 0, 4, 0, 3}, 8,
     rules(true, DoubleRule::AnyTwoCards, true, true, false, false, 0, false)},
    {"TwosH17NoPeekDan", {1, 4, 1, 1, 0, 0, 1, 0, 0, 3}, 2,
     rules(false, DoubleRule::AnyTwoCards, true, false, false, false, 0, true)},
    {"AcesHsaDspaCharlie5", {4, 1, 0, 0, 1, 0, 1, 0, 1, 3}, Ace,
     rules(true, DoubleRule::AnyTwoCards, true, true, true, true, 5, false)},
    {"AcesOneCard", {4, 0, 1, 0, 0, 1, 0, 1, 0, 4}, Ace,
     rules(false, DoubleRule::NoDoubling, false, true, false, false, 0, false)},
    {"TensDouble9to11", {1, 0, 1, 0, 1, 0, 1, 0, 0, 7}, Ten,
     rules(true, DoubleRule::Hard9to11, true, true, false, false, 0, false)},
    {"NinesSoftDoublesCharlie6", {0, 1, 1, 1, 0, 1, 0, 0, 4, 2}, 9,
     rules(false, DoubleRule::Hard10or11AndSoft, true, false, false, false, 6, false)},
};

class ReferenceResplitOrder : public ::testing::TestWithParam<OrderCase> {};

void expectAtMost(const ResplitValues& low, const ResplitValues& high, const std::string& what) {
  for (int e = 0; e <= RankCount; ++e) {
    ASSERT_EQ(low[e].dealt, high[e].dealt) << what << ", entry " << e;
    if (!low[e].dealt) continue;
    EXPECT_LE(low[e].unconditional, high[e].unconditional + 1e-12) << what << ", entry " << e;
    EXPECT_LE(low[e].conditioned, high[e].conditioned + 1e-12) << what << ", entry " << e;
  }
}

TEST_P(ReferenceResplitOrder, PerfectPlayGrowsWithHandsAndBeatsFixedStrategies) {
  const OrderCase& c = GetParam();
  for (bool resplitAces : {false, true}) {
    if (resplitAces && c.pair != Ace) continue;
    ResplitValues previous{};
    for (int hands = 2; hands <= 4; ++hands) {
      const std::string at = std::to_string(hands) + " hands" + (resplitAces ? ", RSA" : "");
      const ResplitValues perfect = reference::referenceResplit(
          c.shoe, c.pair, c.rules, hands, resplitAces, ResplitStrategy::Perfect);
      EXPECT_TRUE(perfect[0].dealt);
      if (hands > 2) expectAtMost(previous, perfect, "perfect play up to " + at);
      for (ResplitStrategy s : {ResplitStrategy::CdzMinus, ResplitStrategy::Cdp1}) {
        expectAtMost(reference::referenceResplit(c.shoe, c.pair, c.rules, hands, resplitAces, s),
                     perfect,
                     (s == ResplitStrategy::CdzMinus ? "CDZ- at " : "CDP1 at ") + at);
      }
      previous = perfect;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReferenceResplitOrder, ::testing::ValuesIn(OrderCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Published CDZ- figures for a pair of twos against a 7 on a small shoe, S17,
// doubling any two cards, DAS, resplits to 4 hands but not aces, with the
// unsplit pair's own plays. At 4 hands the whole round can run out of cards
// (the dealer, in 3.3e-5 of the card orders), so the entry is flagged; those
// orders end the same way whatever the dealer would have drawn.
TEST(ReferenceResplitPublished, SmallShoeTwosAgainstSeven) {
  const Counts shoe = {0, 4, 4, 2, 0, 0, 2, 0, 0, 7};
  RuleSet r;
  r.das = true;
  const auto unsplit = reference::referenceUnsplit(shoe, 2, r, 7);
  ASSERT_TRUE(unsplit[7].complete && unsplit[7].canDouble);
  EXPECT_NEAR(100 * unsplit[7].stand[0], -61.639194139, 5e-10);
  EXPECT_NEAR(100 * unsplit[7].hit[0], -13.266733267, 5e-10);
  EXPECT_NEAR(100 * unsplit[7].doubled[0], -123.278388278, 5e-10);

  // Split once, as published for every number of hands when the pre-split
  // strategy alone decides on resplitting (it hits 2,2 against a 7).
  const auto once = reference::referenceResplit(shoe, 2, r, 2, false, ResplitStrategy::CdzMinus, 7);
  EXPECT_TRUE(once[7].complete);
  EXPECT_NEAR(100 * once[7].unconditional, -60.392038517, 5e-10);

  const auto four = reference::referenceResplit(shoe, 2, r, 4, false, ResplitStrategy::CdzMinus, 7);
  EXPECT_FALSE(four[7].complete);
  EXPECT_FALSE(four[7].tieSensitive);
  EXPECT_NEAR(100 * four[7].unconditional, -76.210220335, 5e-10);
  EXPECT_EQ(four[7].conditioned, four[7].unconditional);  // no blackjack behind a 7
}

}  // namespace
