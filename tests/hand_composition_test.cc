#include "model/hand_composition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <random>
#include <vector>

#include "tests/test_support.h"

namespace {

TEST(HandCompositionBuild, DefaultIsEmptyHand) {
  const HandComposition h;
  EXPECT_EQ(h.counts, HandCounts{});
  EXPECT_EQ(h.hardTotal, 0);
  EXPECT_EQ(h.cardCount, 0);
  EXPECT_FALSE(h.soft);
  EXPECT_EQ(h.bestTotal(), 0);
}

struct BuildCase {
  const char* name;
  HandCounts counts;
  int hardTotal;
  int cardCount;
  bool soft;
  int bestTotal;
};

void PrintTo(const BuildCase& c, std::ostream* os) { *os << c.name; }

class HandCompositionFromCounts : public ::testing::TestWithParam<BuildCase> {};

TEST_P(HandCompositionFromCounts, DerivesTotalsAndSoftness) {
  const BuildCase& c = GetParam();
  const HandComposition h(c.counts);
  EXPECT_EQ(h.counts, c.counts);
  EXPECT_EQ(h.hardTotal, c.hardTotal);
  EXPECT_EQ(h.cardCount, c.cardCount);
  EXPECT_EQ(h.soft, c.soft);
  EXPECT_EQ(h.isSoft(), c.soft);
  EXPECT_EQ(h.bestTotal(), c.bestTotal);
}

// Soft means an ace held with a hard total of at most 11; the boundary cases
// (hard 11 soft, hard 12 not) and hands of several aces are the ones that go
// wrong.
INSTANTIATE_TEST_SUITE_P(
    Cases, HandCompositionFromCounts,
    ::testing::Values(
        BuildCase{"AceFive", hand({{Ace, 1}, {5, 1}}), 6, 2, true, 16},
        BuildCase{"AceTen", hand({{Ace, 1}, {Ten, 1}}), 11, 2, true, 21},
        BuildCase{"AceAceTen", hand({{Ace, 2}, {Ten, 1}}), 12, 3, false, 12},
        BuildCase{"AceAce", hand({{Ace, 2}}), 2, 2, true, 12},
        BuildCase{"LoneAce", hand({{Ace, 1}}), 1, 1, true, 11},
        BuildCase{"ElevenAces", hand({{Ace, 11}}), 11, 11, true, 21},
        BuildCase{"TwelveAces", hand({{Ace, 12}}), 12, 12, false, 12},
        BuildCase{"HardEleven", hand({{5, 1}, {6, 1}}), 11, 2, false, 11},
        BuildCase{"TenTenAce", hand({{Ten, 2}, {Ace, 1}}), 21, 3, false, 21},
        BuildCase{"EveryRankOnce", hand({{Ace, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}}), 21, 6,
                  false, 21},
        BuildCase{"SixTen", hand({{6, 1}, {Ten, 1}}), 16, 2, false, 16}),
    [](const auto& info) { return std::string(info.param.name); });

// A vector past 21 never becomes a busted record: the whole record is the
// empty hand.
TEST(HandCompositionBuild, BustedVectorGivesEmptyHand) {
  for (const HandCounts& busted :
       {hand({{Ten, 2}, {2, 1}}), hand({{Ten, 2}, {Ace, 2}}), hand({{9, 2}, {4, 1}}),
        hand({{Ace, 22}}), hand({{Ten, 3}})}) {
    const HandComposition h(busted);
    EXPECT_EQ(h.counts, HandCounts{});
    EXPECT_EQ(h.hardTotal, 0);
    EXPECT_EQ(h.cardCount, 0);
    EXPECT_FALSE(h.soft);
  }
}

TEST(HandCompositionAddCard, PastTwentyOneKeepsCounts) {
  HandComposition h(hand({{6, 1}, {Ten, 1}}));
  h.addCard(Ten);
  EXPECT_EQ(h.counts, hand({{6, 1}, {Ten, 2}}));
  EXPECT_EQ(h.hardTotal, 26);
  EXPECT_EQ(h.cardCount, 3);
  EXPECT_FALSE(h.soft);
}

// An ace on a soft hard-11 hand makes hard 12, which is no longer soft; the
// soft flag must be recomputed, not kept.
TEST(HandCompositionAddCard, SoftnessFollowsTheTotal) {
  HandComposition h(hand({{Ace, 1}, {Ten, 1}}));
  ASSERT_TRUE(h.soft);
  h.addCard(Ace);
  EXPECT_EQ(h.hardTotal, 12);
  EXPECT_FALSE(h.soft);

  HandComposition g(hand({{9, 1}}));
  ASSERT_FALSE(g.soft);
  g.addCard(Ace);
  EXPECT_TRUE(g.soft);
  EXPECT_EQ(g.bestTotal(), 20);
}

// Building card by card and building from the counts must agree on every
// derived field, for every hand of total at most 21.
TEST(HandCompositionAddCard, AgreesWithBuildFromCounts) {
  std::mt19937 rng(12345);
  for (int trial = 0; trial < 2000; ++trial) {
    HandComposition byCards;
    HandCounts counts{};
    int total = 0;
    for (;;) {
      const int r = std::uniform_int_distribution<int>(1, 10)(rng);
      if (total + r > 21) break;
      byCards.addCard(r);
      ++counts[rankIndex(r)];
      total += r;
      const HandComposition built(counts);
      ASSERT_EQ(byCards.counts, built.counts);
      ASSERT_EQ(byCards.hardTotal, built.hardTotal);
      ASSERT_EQ(byCards.cardCount, built.cardCount);
      ASSERT_EQ(byCards.soft, built.soft);
      ASSERT_EQ(byCards.hardTotal, total);
    }
  }
}

TEST(CompositionOrder, NamedCases) {
  const HandCounts nineAndSevenAces = hand({{9, 1}, {Ace, 7}});
  const HandCounts ten = hand({{Ten, 1}});
  EXPECT_TRUE(compositionLess(nineAndSevenAces, ten));
  EXPECT_FALSE(compositionLess(ten, nineAndSevenAces));
  EXPECT_TRUE(compositionGreater(ten, nineAndSevenAces));

  EXPECT_FALSE(compositionLess(ten, ten));
  EXPECT_FALSE(compositionGreater(ten, ten));
  EXPECT_TRUE(compositionEqual(ten, ten));

  // The ace count decides only when everything above it is equal.
  EXPECT_TRUE(compositionLess(hand({{Ace, 1}, {Ten, 1}}), hand({{Ace, 2}, {Ten, 1}})));
  EXPECT_FALSE(compositionEqual(hand({{Ace, 1}}), hand({{Ace, 2}})));
  // The empty hand is below everything.
  EXPECT_TRUE(compositionLess(HandCounts{}, hand({{Ace, 1}})));
  EXPECT_TRUE(compositionGreater(hand({{2, 1}}), HandCounts{}));
}

// For each pair of ranks, one card of the higher rank outweighs any number of
// cards of all lower ranks: tens are the most significant element, aces the
// least.
TEST(CompositionOrder, HigherRankIsMoreSignificant) {
  for (int high = 2; high <= RankCount; ++high) {
    HandCounts one{};
    one[rankIndex(high)] = 1;
    HandCounts many{};
    for (int low = 1; low < high; ++low) many[rankIndex(low)] = 30;
    EXPECT_TRUE(compositionLess(many, one)) << "rank " << high;
    EXPECT_TRUE(compositionGreater(one, many)) << "rank " << high;

    ShoeCounts oneShoe{};
    oneShoe[rankIndex(high)] = 1;
    ShoeCounts manyShoe{};
    for (int low = 1; low < high; ++low) manyShoe[rankIndex(low)] = 1000000;
    EXPECT_TRUE(rankCountsLess(manyShoe, oneShoe)) << "rank " << high;
    EXPECT_TRUE(rankCountsGreater(oneShoe, manyShoe)) << "rank " << high;
  }
}

template <typename Counts>
struct OrderFunctions;

template <>
struct OrderFunctions<HandCounts> {
  static bool less(const HandCounts& a, const HandCounts& b) { return compositionLess(a, b); }
  static bool equal(const HandCounts& a, const HandCounts& b) { return compositionEqual(a, b); }
  static bool greater(const HandCounts& a, const HandCounts& b) {
    return compositionGreater(a, b);
  }
};

template <>
struct OrderFunctions<ShoeCounts> {
  static bool less(const ShoeCounts& a, const ShoeCounts& b) { return rankCountsLess(a, b); }
  static bool equal(const ShoeCounts& a, const ShoeCounts& b) { return rankCountsEqual(a, b); }
  static bool greater(const ShoeCounts& a, const ShoeCounts& b) {
    return rankCountsGreater(a, b);
  }
};

// Random vectors drawn from a small set of values so that ties on the high
// elements are common and the lower elements get compared too. Negative
// values and values outside 16 bits check that the comparisons are signed
// and at full width.
template <typename Counts>
std::vector<Counts> randomVectors(std::mt19937& rng, int n,
                                  const std::vector<typename Counts::value_type>& values) {
  std::uniform_int_distribution<std::size_t> pick(0, values.size() - 1);
  std::vector<Counts> out(n);
  for (auto& v : out)
    for (auto& x : v) x = values[pick(rng)];
  return out;
}

template <typename Counts>
void checkStrictTotalOrder(const std::vector<Counts>& vs) {
  using F = OrderFunctions<Counts>;
  for (const Counts& a : vs) {
    ASSERT_FALSE(F::less(a, a));
    ASSERT_FALSE(F::greater(a, a));
    ASSERT_TRUE(F::equal(a, a));
    for (const Counts& b : vs) {
      const bool lt = F::less(a, b);
      const bool eq = F::equal(a, b);
      const bool gt = F::greater(a, b);
      // Exactly one of the three holds, and they agree with each other and
      // with plain equality of the vectors.
      ASSERT_EQ(int(lt) + int(eq) + int(gt), 1);
      ASSERT_EQ(eq, a == b);
      ASSERT_EQ(gt, F::less(b, a));
      ASSERT_EQ(lt, referenceLess(a, b));
    }
  }
  // Transitivity: sorting with the order gives a sequence that is
  // non-decreasing under the reference order.
  std::vector<Counts> sorted = vs;
  std::sort(sorted.begin(), sorted.end(), F::less);
  for (std::size_t i = 1; i < sorted.size(); ++i)
    ASSERT_FALSE(referenceLess(sorted[i], sorted[i - 1])) << "position " << i;
}

TEST(CompositionOrder, StrictTotalOrderOnHandCounts) {
  std::mt19937 rng(2024);
  checkStrictTotalOrder(randomVectors<HandCounts>(rng, 400, {0, 1, 2}));
  checkStrictTotalOrder(randomVectors<HandCounts>(rng, 300, {-3, -1, 0, 1, 7, 32767, -32768}));
}

TEST(CompositionOrder, StrictTotalOrderOnShoeCounts) {
  std::mt19937 rng(7);
  checkStrictTotalOrder(randomVectors<ShoeCounts>(rng, 400, {0, 1, 2}));
  // 65536 and 0 agree in their low 16 bits; 70000 and 4464 too.
  checkStrictTotalOrder(randomVectors<ShoeCounts>(
      rng, 300, {-70000, -1, 0, 4464, 65536, 70000, 2147483647, -2147483647 - 1}));
}

// Every table and tree relies on a drawn card producing a greater key.
TEST(CompositionOrder, AddingACardGivesAGreaterComposition) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> count(0, 3);
  for (int trial = 0; trial < 500; ++trial) {
    HandCounts c{};
    for (auto& x : c) x = static_cast<std::int16_t>(count(rng));
    HandComposition h;
    h.counts = c;
    for (int r = 1; r <= RankCount; ++r) {
      HandComposition next = h;
      next.addCard(r);
      ASSERT_TRUE(compositionLess(h.counts, next.counts)) << "rank " << r;
      ASSERT_TRUE(compositionGreater(next.counts, h.counts)) << "rank " << r;
    }
  }
}

struct FitsCase {
  const char* name;
  HandCounts hand;
  ShoeCounts removedFromOneDeck;
  bool fits;
};

void PrintTo(const FitsCase& c, std::ostream* os) { *os << c.name; }

class HandCompositionFitsIn : public ::testing::TestWithParam<FitsCase> {};

TEST_P(HandCompositionFitsIn, ComparesEveryRankWithTheCurrentCounts) {
  const FitsCase& c = GetParam();
  Shoe shoe(1);
  shoe.removeCards(c.removedFromOneDeck);
  HandComposition h;
  h.counts = c.hand;
  EXPECT_EQ(h.fitsIn(shoe), c.fits);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HandCompositionFitsIn,
    ::testing::Values(
        FitsCase{"TwoAcesOneLeft", hand({{Ace, 2}}), {3, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false},
        FitsCase{"TwoAcesTwoLeft", hand({{Ace, 2}}), {2, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true},
        FitsCase{"EmptyHandEmptyShoe", HandCounts{}, {4, 4, 4, 4, 4, 4, 4, 4, 4, 16}, true},
        FitsCase{"TenInEmptyShoe", hand({{Ten, 1}}), {4, 4, 4, 4, 4, 4, 4, 4, 4, 16}, false},
        // Only the last rank is short: every rank must be checked.
        FitsCase{"ShortOnlyInTens", hand({{Ace, 1}, {5, 1}, {Ten, 2}}),
                 {0, 0, 0, 0, 0, 0, 0, 0, 0, 15}, false},
        FitsCase{"ShortOnlyInNines", hand({{9, 1}}), {0, 0, 0, 0, 0, 0, 0, 0, 4, 0}, false},
        FitsCase{"ExactlyAllLeft", hand({{2, 4}, {3, 2}}), {0, 0, 2, 0, 0, 0, 0, 0, 0, 0}, true},
        // Cards removed from other ranks do not matter.
        FitsCase{"OtherRanksGone", hand({{6, 1}, {Ten, 1}}), {4, 4, 4, 4, 4, 3, 4, 4, 4, 15},
                 true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
