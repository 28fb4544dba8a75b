#include "tests/reference_resplit.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

using reference::ResplitStrategy;
using reference::ResplitValues;
using Counts = std::array<int, RankCount>;

constexpr ResplitStrategy Strategies[] = {ResplitStrategy::Perfect, ResplitStrategy::CdzMinus,
                                          ResplitStrategy::Cdp1};

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

}  // namespace
