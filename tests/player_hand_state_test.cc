#include "split/player_hand_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

// Checks every field that an unvalued state must hold apart from the cards.
void expectUnvalued(const PlayerHandState& s) {
  EXPECT_EQ(s.dealer, nullptr);
  for (int r = 1; r <= RankCount; ++r) EXPECT_EQ(s.next[rankIndex(r)], nullptr) << "next " << r;
  for (int i = 0; i < ValueCount; ++i) {
    EXPECT_EQ(s.standEv[i], -1.0) << "standEv " << i;
    EXPECT_EQ(s.otherEv(i), 0.0) << "otherEv " << i;
    EXPECT_EQ(s.otherIfStand(i), 0.0) << "otherIfStand " << i;
    EXPECT_EQ(s.otherIfDouble(i), 0.0) << "otherIfDouble " << i;
    EXPECT_EQ(s.otherIfHit(i), 0.0) << "otherIfHit " << i;
    EXPECT_EQ(s.actionAt(i), 0) << "action " << i;
  }
  EXPECT_EQ(s.best, 0);
  EXPECT_EQ(s.balance, 0);
  EXPECT_EQ(s.left, nullptr);
  EXPECT_EQ(s.right, nullptr);
}

TEST(PlayerHandStateBuild, EmptyState) {
  const PlayerHandState s;
  EXPECT_EQ(s.pairRank, 0);
  EXPECT_EQ(s.counts, HandCounts{});
  EXPECT_EQ(s.hardTotal, 0);
  EXPECT_EQ(s.cardCount, 0);
  EXPECT_FALSE(s.soft);
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
  EXPECT_EQ(s.counts, c.counts);
  EXPECT_EQ(s.hardTotal, c.hardTotal);
  EXPECT_EQ(s.cardCount, c.cardCount);
  EXPECT_EQ(s.soft, c.soft);
  EXPECT_EQ(s.isSoft(), c.soft);
  EXPECT_EQ(s.bestTotal(), c.bestTotal);
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

TEST(PlayerHandStateAddCard, AceOnSoftElevenMakesHardTwelve) {
  PlayerHandState s(hand({{Ten, 1}}), Ace);
  ASSERT_TRUE(s.soft);
  s.addCard(Ace);
  EXPECT_EQ(s.counts, hand({{Ace, 2}, {Ten, 1}}));
  EXPECT_EQ(s.hardTotal, 12);
  EXPECT_EQ(s.cardCount, 3);
  EXPECT_FALSE(s.soft);
  EXPECT_EQ(s.pairRank, Ace);
}

TEST(PlayerHandStateAddCard, NoBustCheck) {
  PlayerHandState s(hand({{6, 1}}), Ten);
  s.addCard(Ten);
  s.addCard(9);
  EXPECT_EQ(s.counts, hand({{6, 1}, {9, 1}, {Ten, 2}}));
  EXPECT_EQ(s.hardTotal, 35);
  EXPECT_EQ(s.cardCount, 4);
  EXPECT_FALSE(s.soft);
}

// Card by card and all at once give the same state.
TEST(PlayerHandStateAddCard, AgreesWithBuildFromCards) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 500; ++trial) {
    const int pair = std::uniform_int_distribution<int>(1, 10)(rng);
    PlayerHandState byCards(HandCounts{}, pair);
    HandCounts drawn{};
    while (byCards.hardTotal < 21) {
      const int r = std::uniform_int_distribution<int>(1, 10)(rng);
      byCards.addCard(r);
      ++drawn[rankIndex(r)];
      const PlayerHandState built(drawn, pair);
      ASSERT_EQ(byCards.counts, built.counts);
      ASSERT_EQ(byCards.hardTotal, built.hardTotal);
      ASSERT_EQ(byCards.cardCount, built.cardCount);
      ASSERT_EQ(byCards.soft, built.soft);
    }
  }
}

// Only the counts take part in the comparisons, never the pair rank.
TEST(PlayerHandStateOrder, ComparesCountsOnly) {
  const PlayerHandState aceTen(hand({{Ten, 1}}), Ace);
  const PlayerHandState tenAce(hand({{Ace, 1}}), Ten);
  EXPECT_TRUE(compositionEqual(aceTen, tenAce));
  EXPECT_FALSE(compositionLess(aceTen, tenAce));
  EXPECT_FALSE(compositionGreater(aceTen, tenAce));

  const PlayerHandState nineSixAces(hand({{Ace, 6}}), 9);
  const PlayerHandState nineSevenAces(hand({{Ace, 7}}), 9);
  const PlayerHandState lone10(HandCounts{}, Ten);
  EXPECT_TRUE(compositionLess(nineSevenAces, lone10));
  EXPECT_TRUE(compositionGreater(lone10, nineSevenAces));
  EXPECT_TRUE(compositionLess(nineSixAces, nineSevenAces));
  EXPECT_FALSE(compositionEqual(nineSixAces, nineSevenAces));
}

// ---------------------------------------------------------------------------
// The tree.

// Walks the tree, checking the search order against the bounds handed down
// and each balance against the real heights. Returns the height (0 for an
// empty link) and counts the nodes.
int checkSubtree(const PlayerHandState* n, const HandCounts* lower, const HandCounts* upper,
                 int& nodes) {
  if (n == nullptr) return 0;
  ++nodes;
  if (lower) {
    EXPECT_TRUE(referenceLess(*lower, n->counts)) << "search order broken";
  }
  if (upper) {
    EXPECT_TRUE(referenceLess(n->counts, *upper)) << "search order broken";
  }
  const int hl = checkSubtree(n->left, lower, &n->counts, nodes);
  const int hr = checkSubtree(n->right, &n->counts, upper, nodes);
  EXPECT_EQ(n->balance, hr - hl) << "stored balance differs from the heights";
  EXPECT_LE(std::abs(hr - hl), 1) << "subtree out of balance";
  return 1 + std::max(hl, hr);
}

struct TreeShape {
  int height = 0;
  int nodes = 0;
};

TreeShape checkTree(const PlayerHandTree& tree) {
  TreeShape shape;
  shape.height = checkSubtree(tree.root, nullptr, nullptr, shape.nodes);
  return shape;
}

// The highest an AVL tree of n nodes can be.
double avlHeightLimit(int n) { return 1.4405 * std::log2(n + 2.0) - 0.3277; }

// Every link and balance, in pre-order, to tell whether an operation left the
// tree untouched.
void snapshot(const PlayerHandState* n, std::vector<const void*>& out) {
  out.push_back(n);
  if (n == nullptr) return;
  out.push_back(reinterpret_cast<const void*>(static_cast<std::intptr_t>(n->balance)));
  snapshot(n->left, out);
  snapshot(n->right, out);
}

std::vector<const void*> snapshot(const PlayerHandTree& tree) {
  std::vector<const void*> out;
  snapshot(tree.root, out);
  return out;
}

// Distinct compositions with 0..3 cards of each rank; the split card is an
// ace in all of them, as all states of one tree share one pair rank.
std::vector<HandCounts> distinctCompositions(int n, std::mt19937& rng) {
  std::set<HandCounts> seen;
  std::vector<HandCounts> out;
  std::uniform_int_distribution<int> count(0, 3);
  while (static_cast<int>(out.size()) < n) {
    HandCounts c{};
    for (auto& x : c) x = static_cast<std::int16_t>(count(rng));
    if (c[rankIndex(Ace)] == 0) c[rankIndex(Ace)] = 1;
    if (seen.insert(c).second) out.push_back(c);
  }
  return out;
}

PlayerHandState stateWithCounts(const HandCounts& counts) {
  HandCounts drawn = counts;
  --drawn[rankIndex(Ace)];
  return PlayerHandState(drawn, Ace);
}

TEST(PlayerHandTreeBasics, EmptyTree) {
  PlayerHandTree tree;
  EXPECT_EQ(tree.root, nullptr);
  EXPECT_EQ(tree.find(PlayerHandState(HandCounts{}, 5)), nullptr);
  tree.destroy();
  EXPECT_EQ(tree.root, nullptr);
}

// A node is a copy of the whole key state, including its borrowed links and
// values, and is a separate object from the key.
TEST(PlayerHandTreeBasics, InsertCopiesTheWholeState) {
  PlayerHandTree tree;
  PlayerHandState other(hand({{2, 1}}), 7);
  PlayerHandState key(hand({{3, 1}, {Ten, 1}}), 7);
  const DealerOutcome record{};
  const DealerOutcome* dealer = &record;
  key.dealer = dealer;
  key.next[rankIndex(4)] = &other;
  key.standEv[3] = 0.25;
  key.doubleEv[1] = -0.5;
  key.hitEv[10] = 0.125;
  key.otherEv(2) = 0.75;
  key.otherIfHit(0) = -0.375;
  key.splitEv[0] = 0.0625;
  key.best = Hit;
  key.bestVs[rankIndex(6)] = DoubleDown;

  bool grew = false;
  bool found = false;
  PlayerHandState* node = tree.insert(key, grew, found);
  ASSERT_NE(node, nullptr);
  EXPECT_NE(node, &key);
  EXPECT_TRUE(grew);
  EXPECT_FALSE(found);
  EXPECT_EQ(tree.root, node);
  EXPECT_EQ(node->pairRank, 7);
  EXPECT_EQ(node->counts, key.counts);
  EXPECT_EQ(node->hardTotal, 20);
  EXPECT_EQ(node->cardCount, 3);
  EXPECT_EQ(node->dealer, dealer);
  EXPECT_EQ(node->next, key.next);
  EXPECT_EQ(node->standEv, key.standEv);
  EXPECT_EQ(node->doubleEv, key.doubleEv);
  EXPECT_EQ(node->hitEv, key.hitEv);
  EXPECT_EQ(node->splitEv, key.splitEv);
  for (int i = 0; i < ValueCount; ++i) {
    EXPECT_EQ(node->otherEv(i), key.otherEv(i));
    EXPECT_EQ(node->otherIfStand(i), key.otherIfStand(i));
    EXPECT_EQ(node->otherIfDouble(i), key.otherIfDouble(i));
    EXPECT_EQ(node->otherIfHit(i), key.otherIfHit(i));
    EXPECT_EQ(node->actionAt(i), key.actionAt(i));
  }
  EXPECT_EQ(node->balance, 0);
  EXPECT_EQ(node->left, nullptr);
  EXPECT_EQ(node->right, nullptr);
  EXPECT_EQ(tree.find(key), node);
}

enum class InsertOrder { Ascending, Descending, Random };

struct OrderCase {
  const char* name;
  InsertOrder order;
  int size;
};

void PrintTo(const OrderCase& c, std::ostream* os) { *os << c.name; }

class PlayerHandTreeInsert : public ::testing::TestWithParam<OrderCase> {};

// Sorted input is the worst case for an unbalanced tree. After every insert
// the tree must be a valid search tree with correct balances, and the grew
// flag must say exactly whether the height went up.
TEST_P(PlayerHandTreeInsert, StaysBalancedAndFindsEveryState) {
  const OrderCase& c = GetParam();
  std::mt19937 rng(271828);
  std::vector<HandCounts> keys = distinctCompositions(c.size, rng);
  if (c.order == InsertOrder::Ascending) std::sort(keys.begin(), keys.end(), referenceLess<HandCounts>);
  if (c.order == InsertOrder::Descending)
    std::sort(keys.begin(), keys.end(),
              [](const HandCounts& a, const HandCounts& b) { return referenceLess(b, a); });

  PlayerHandTree tree;
  int height = 0;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const PlayerHandState key = stateWithCounts(keys[i]);
    bool grew = false;
    bool found = false;
    PlayerHandState* node = tree.insert(key, grew, found);
    ASSERT_NE(node, nullptr);
    EXPECT_FALSE(found) << "insert " << i;
    EXPECT_EQ(node->counts, keys[i]);
    EXPECT_EQ(tree.find(key), node);
    const TreeShape shape = checkTree(tree);
    ASSERT_EQ(shape.nodes, static_cast<int>(i + 1));
    EXPECT_EQ(grew, shape.height > height) << "insert " << i;
    EXPECT_LE(shape.height, avlHeightLimit(shape.nodes)) << "insert " << i;
    height = shape.height;
    if (HasFailure()) return;
  }

  for (const HandCounts& k : keys) {
    const PlayerHandState* node = tree.find(stateWithCounts(k));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->counts, k);
  }
  // Compositions that were never inserted are not found.
  std::set<HandCounts> stored(keys.begin(), keys.end());
  std::mt19937 probe(161803);
  for (const HandCounts& k : distinctCompositions(300, probe))
    if (!stored.count(k)) {
      EXPECT_EQ(tree.find(stateWithCounts(k)), nullptr);
    }

  tree.destroy();
  EXPECT_EQ(tree.root, nullptr);
  // The emptied tree is usable again.
  bool grew = false;
  bool found = false;
  EXPECT_NE(tree.insert(stateWithCounts(keys[0]), grew, found), nullptr);
  EXPECT_TRUE(grew);
  EXPECT_EQ(checkTree(tree).nodes, 1);
}

INSTANTIATE_TEST_SUITE_P(Orders, PlayerHandTreeInsert,
                         ::testing::Values(OrderCase{"Ascending", InsertOrder::Ascending, 1000},
                                           OrderCase{"Descending", InsertOrder::Descending, 1000},
                                           OrderCase{"Random", InsertOrder::Random, 2000},
                                           OrderCase{"SmallRandom", InsertOrder::Random, 7}),
                         [](const auto& info) { return std::string(info.param.name); });

// Equal counts with another pair rank and other values: the existing node is
// returned as it was, nothing is added and no link or balance moves.
TEST(PlayerHandTreeBasics, DuplicateInsertChangesNothing) {
  std::mt19937 rng(99);
  const std::vector<HandCounts> keys = distinctCompositions(200, rng);
  PlayerHandTree tree;
  for (const HandCounts& k : keys) {
    bool grew = false;
    bool found = false;
    tree.insert(stateWithCounts(k), grew, found);
  }
  const std::vector<const void*> before = snapshot(tree);

  for (std::size_t i : {std::size_t{0}, std::size_t{57}, std::size_t{199}}) {
    PlayerHandState existing = *tree.find(stateWithCounts(keys[i]));
    PlayerHandState duplicate(HandCounts{}, Ace);
    duplicate.counts = keys[i];
    duplicate.pairRank = Ten;
    duplicate.standEv.fill(0.5);
    duplicate.best = Stand;

    bool grew = false;
    bool found = false;
    PlayerHandState* node = tree.insert(duplicate, grew, found);
    EXPECT_TRUE(found);
    EXPECT_FALSE(grew);
    EXPECT_EQ(node, tree.find(duplicate));
    EXPECT_EQ(node->pairRank, existing.pairRank);
    EXPECT_EQ(node->standEv, existing.standEv);
    EXPECT_EQ(node->best, existing.best);
    EXPECT_EQ(snapshot(tree), before);
  }
  EXPECT_EQ(checkTree(tree).nodes, 200);
}

// The case of two states built from different pair ranks.
TEST(PlayerHandTreeBasics, SameCardsOtherPairRankIsFound) {
  PlayerHandTree tree;
  bool grew = false;
  bool found = false;
  PlayerHandState* first = tree.insert(PlayerHandState(hand({{Ten, 1}}), Ace), grew, found);
  grew = false;
  found = false;
  PlayerHandState* second = tree.insert(PlayerHandState(hand({{Ace, 1}}), Ten), grew, found);
  EXPECT_TRUE(found);
  EXPECT_EQ(second, first);
  EXPECT_EQ(second->pairRank, Ace);
  EXPECT_EQ(tree.root, first);
  EXPECT_EQ(first->left, nullptr);
  EXPECT_EQ(first->right, nullptr);
}

}  // namespace
