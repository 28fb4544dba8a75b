#include "split/player_hand_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <stdexcept>
#include <vector>

#include "tests/test_support.h"

namespace {

// Checks every field that an unvalued state must hold apart from the cards.
void expectUnvalued(const PlayerHandState& s) {
  EXPECT_EQ(s.dealer, nullptr);
  for (int r = 1; r <= RankCount; ++r) EXPECT_EQ(s.next[rankIndex(r)], NoState) << "next " << r;
  for (int i = 0; i < ValueCount; ++i) {
    EXPECT_EQ(s.standEv[i], -1.0) << "standEv " << i;
    EXPECT_EQ(s.otherEv(i), 0.0) << "otherEv " << i;
    EXPECT_EQ(s.otherIfStand(i), 0.0) << "otherIfStand " << i;
    EXPECT_EQ(s.otherIfDouble(i), 0.0) << "otherIfDouble " << i;
    EXPECT_EQ(s.otherIfHit(i), 0.0) << "otherIfHit " << i;
    EXPECT_EQ(s.actionAt(i), 0) << "action " << i;
  }
  EXPECT_EQ(s.best, 0);
}

TEST(PlayerHandStateBuild, EmptyState) {
  const PlayerHandState s;
  EXPECT_EQ(s.pairRank, 0);
  EXPECT_EQ(s.hand.counts, HandCounts{});
  EXPECT_EQ(s.hand.hardTotal, 0);
  EXPECT_EQ(s.hand.cardCount, 0);
  EXPECT_FALSE(s.hand.soft);
  expectUnvalued(s);
}

struct BuildCase {
  const char* name;
  HandCounts drawn;
  int pair;
  HandCounts counts;
  int hardTotal;
  int cardCount;
  bool soft;
  int bestTotal;
};

void PrintTo(const BuildCase& c, std::ostream* os) { *os << c.name; }

class PlayerHandStateFromCards : public ::testing::TestWithParam<BuildCase> {};

// The split card is added on top of the drawn cards and counted in the
// total, the card count and the softness.
TEST_P(PlayerHandStateFromCards, AddsTheSplitCard) {
  const BuildCase& c = GetParam();
  const PlayerHandState s(c.drawn, c.pair);
  EXPECT_EQ(s.pairRank, c.pair);
  EXPECT_EQ(s.hand.counts, c.counts);
  EXPECT_EQ(s.hand.hardTotal, c.hardTotal);
  EXPECT_EQ(s.hand.cardCount, c.cardCount);
  EXPECT_EQ(s.hand.soft, c.soft);
  EXPECT_EQ(s.hand.isSoft(), c.soft);
  EXPECT_EQ(s.hand.bestTotal(), c.bestTotal);
  expectUnvalued(s);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlayerHandStateFromCards,
    ::testing::Values(
        BuildCase{"LoneAce", HandCounts{}, Ace, hand({{Ace, 1}}), 1, 1, true, 11},
        BuildCase{"LoneEight", HandCounts{}, 8, hand({{8, 1}}), 8, 1, false, 8},
        BuildCase{"AceDrawsTen", hand({{Ten, 1}}), Ace, hand({{Ace, 1}, {Ten, 1}}), 11, 2, true,
                  21},
        BuildCase{"EightDrawsThree", hand({{3, 1}}), 8, hand({{3, 1}, {8, 1}}), 11, 2, false, 11},
        // The split card's rank may already be among the drawn cards.
        BuildCase{"AceDrawsAce", hand({{Ace, 1}}), Ace, hand({{Ace, 2}}), 2, 2, true, 12},
        BuildCase{"TwoDrawsAceTwoNine", hand({{Ace, 1}, {2, 1}, {9, 1}}), 2,
                  hand({{Ace, 1}, {2, 2}, {9, 1}}), 14, 4, false, 14},
        BuildCase{"TenDrawsAce", hand({{Ace, 1}}), Ten, hand({{Ace, 1}, {Ten, 1}}), 11, 2, true,
                  21},
        // Player hands go past 21 in the enumeration and must keep their cards.
        BuildCase{"TenDrawsTwoTens", hand({{Ten, 2}}), Ten, hand({{Ten, 3}}), 30, 3, false, 30},
        BuildCase{"NineDrawsNineAndThree", hand({{9, 1}, {3, 1}}), 9, hand({{3, 1}, {9, 2}}), 21,
                  3, false, 21}),
    [](const auto& info) { return std::string(info.param.name); });

// Card by card and all at once give the same state.
TEST(PlayerHandStateAddCard, AgreesWithBuildFromCards) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 500; ++trial) {
    const int pair = std::uniform_int_distribution<int>(1, 10)(rng);
    PlayerHandState byCards(HandCounts{}, pair);
    HandCounts drawn{};
    while (byCards.hand.hardTotal < 21) {
      const int r = std::uniform_int_distribution<int>(1, 10)(rng);
      byCards.hand.addCard(r);
      ++drawn[rankIndex(r)];
      const PlayerHandState built(drawn, pair);
      ASSERT_EQ(byCards.hand.counts, built.hand.counts);
      ASSERT_EQ(byCards.hand.hardTotal, built.hand.hardTotal);
      ASSERT_EQ(byCards.hand.cardCount, built.hand.cardCount);
      ASSERT_EQ(byCards.hand.soft, built.hand.soft);
    }
  }
}

// Stored in descending composition order, every state is found by its
// counts and nothing else is; a state out of that order is refused.
TEST(PlayerHandStates, FindsWhatWasAddedInDescendingOrder) {
  std::mt19937 rng(11);
  std::set<HandCounts, bool (*)(const HandCounts&, const HandCounts&)> drawn(
      [](const HandCounts& a, const HandCounts& b) { return compositionGreater(a, b); });
  while (drawn.size() < 300) {
    HandCounts c{};
    for (int k = 0; k < 4; ++k) ++c[static_cast<std::size_t>(std::uniform_int_distribution<int>(0, 9)(rng))];
    drawn.insert(c);
  }
  PlayerHandStates states;
  EXPECT_EQ(states.find(PlayerHandState(HandCounts{}, 5).hand.counts), NoState);
  int n = 0;
  for (const HandCounts& c : drawn) {
    if (n++ % 2 != 0) continue;
    const StateIndex added = states.add(PlayerHandState(c, 5));
    EXPECT_EQ(added, static_cast<StateIndex>(states.size() - 1));
  }
  n = 0;
  for (const HandCounts& c : drawn) {
    const HandCounts counts = PlayerHandState(c, 5).hand.counts;
    const StateIndex found = states.find(counts);
    if (n++ % 2 == 0) {
      ASSERT_NE(found, NoState) << countsText(c);
      EXPECT_EQ(states[found].hand.counts, counts);
    } else {
      EXPECT_EQ(found, NoState) << countsText(c);
    }
  }
  EXPECT_THROW(states.add(PlayerHandState(hand({{Ten, 2}}), 5)), std::logic_error);
}

}  // namespace
