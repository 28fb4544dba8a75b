#include "dealer/dealer_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using Table = DealerHandTable;

int hardTotalOf(const HandCounts& c) {
  int t = 0;
  for (int r = 1; r <= RankCount; ++r) t += r * c[rankIndex(r)];
  return t;
}

// The hand with these counts, found by a plain scan so that the table's own
// search is not relied on; -1 when it is not in the table.
int scanFor(const Table& table, const HandCounts& counts) {
  for (std::size_t i = 0; i < table.hands().size(); ++i)
    if (table.countsOf(i) == counts) return static_cast<int>(i);
  return -1;
}

// The row a card of `rank` leads to from hand i, read from the hand's
// steps; -1 when the hand has no step for it.
int rowAfter(const Table& table, int i, int rank) {
  const Table::Hand& h = table.hands()[static_cast<std::size_t>(i)];
  for (std::int32_t ri = 0; ri < h.runCount; ++ri) {
    const Table::Run& run = table.runs()[static_cast<std::size_t>(h.firstRun + ri)];
    for (std::int32_t k = 0; k < run.stepCount; ++k) {
      const Table::Step& step = table.steps()[static_cast<std::size_t>(run.firstStep + k)];
      if (table.draws()[static_cast<std::size_t>(step.draw)].rank == rank) return step.row;
    }
  }
  return -1;
}

// The hand a card of `rank` leads to from hand i, or -1 when the card ends
// the hand or busts it.
int successor(const Table& table, int i, int rank) {
  const int row = rowAfter(table, i, rank);
  return row < 0 || Table::endsHand(static_cast<Table::Row>(row)) ? -1 : row - FinalTotalCount;
}

struct TableCase {
  const char* name;
  bool standsOnSoft17;
  int hands;
  std::array<int, RankCount> oneCardIndex;  // ace first
  std::array<int, 17> handsByHardTotal;     // totals 0..16
  int mostOfARank = Table::AnyCount;        // ranks other than ten
};

bool withinLimit(const HandCounts& c, int mostOfARank) {
  for (int r = 1; r < Ten; ++r)
    if (c[rankIndex(r)] > mostOfARank) return false;
  return true;
}

void PrintTo(const TableCase& c, std::ostream* os) { *os << c.name; }

std::vector<TableCase> tableCases() {
  return {
      {"S17", true, 600, {598, 592, 572, 516, 431, 334, 221, 134, 71, 28},
       {1, 1, 2, 3, 5, 7, 11, 4, 7, 8, 12, 13, 45, 67, 98, 134, 182}},
      {"H17", false, 646, {644, 637, 614, 555, 468, 335, 221, 134, 71, 28},
       {1, 1, 2, 3, 5, 7, 11, 15, 7, 8, 12, 13, 52, 74, 105, 141, 189}},
      // A single deck's: no more than four of a rank other than ten.
      {"S17SingleDeck", true, 522, {520, 516, 506, 461, 382, 290, 196, 121, 65, 26},
       {1, 1, 2, 3, 5, 6, 10, 4, 7, 8, 11, 13, 42, 61, 87, 115, 146}, 4},
      {"H17SingleDeck", false, 542, {540, 536, 524, 476, 395, 291, 196, 121, 65, 26},
       {1, 1, 2, 3, 5, 6, 10, 13, 7, 8, 11, 13, 47, 65, 89, 115, 146}, 4},
  };
}

class DealerTable : public ::testing::TestWithParam<TableCase> {
 protected:
  const Table& table() const { return dealerTable(GetParam().standsOnSoft17, GetParam().mostOfARank); }
};

TEST_P(DealerTable, SizeOrderAndEnds) {
  const Table& t = table();
  EXPECT_EQ(t.standsOnSoft17(), GetParam().standsOnSoft17);
  ASSERT_EQ(static_cast<int>(t.hands().size()), GetParam().hands);
  // The walk relies on every hand one card on being finished first, so the
  // hands must be strictly descending in composition order.
  for (std::size_t i = 1; i < t.hands().size(); ++i)
    EXPECT_TRUE(compositionGreater(t.countsOf(i - 1), t.countsOf(i))) << "hands " << i - 1 << " and " << i;
  EXPECT_EQ(t.countsOf(0), hand({{6, 1}, {Ten, 1}}));
  EXPECT_EQ(t.countsOf(t.hands().size() - 1), HandCounts{});
}

TEST_P(DealerTable, OneCardHandIndexes) {
  for (int r = 1; r <= RankCount; ++r) {
    HandCounts one{};
    one[rankIndex(r)] = 1;
    EXPECT_EQ(scanFor(table(), one), GetParam().oneCardIndex[rankIndex(r)]) << "up card " << r;
  }
}

// Each hand's totals match its counts; the table's counts per hard total.
TEST_P(DealerTable, HandsByHardTotal) {
  const Table& t = table();
  std::array<int, 17> byTotal{};
  int mostCards = 0;
  for (std::size_t i = 0; i < t.hands().size(); ++i) {
    const HandCounts c = t.countsOf(i);
    int cards = 0;
    for (auto x : c) cards += x;
    EXPECT_EQ(t.hands()[i].hardTotal, hardTotalOf(c)) << "hand " << i;
    EXPECT_EQ(t.hands()[i].cardCount, cards) << "hand " << i;
    ASSERT_LE(hardTotalOf(c), 16) << "hand " << i;
    ++byTotal[static_cast<std::size_t>(hardTotalOf(c))];
    mostCards = std::max(mostCards, cards);
  }
  EXPECT_EQ(byTotal, GetParam().handsByHardTotal);
  EXPECT_EQ(t.mostCards(), mostCards);
}

// Every card that does not bust the hand is a step, in rank order: its draw
// names the rank, the cards of that rank held and the cards held; it ends
// the hand on the total the dealer stands on, or continues at the hand one
// card on, which lies earlier. The runs' end draws list each ending card at
// its total.
TEST_P(DealerTable, StepsAreTheCardsOneMoreDraws) {
  const Table& t = table();
  const int softStand = GetParam().standsOnSoft17 ? 17 : 18;
  for (std::size_t i = 0; i < t.hands().size(); ++i) {
    const Table::Hand& h = t.hands()[i];
    const HandCounts c = t.countsOf(i);
    std::vector<Table::Step> expected;
    std::vector<int> expectedRanks;
    for (int r = 1; r <= RankCount && h.hardTotal + r <= 21; ++r) {
      HandCounts plus = c;
      ++plus[rankIndex(r)];
      const int hard = h.hardTotal + r;
      const bool soft = plus[rankIndex(Ace)] > 0 && hard <= 11;
      const int best = soft ? hard + 10 : hard;
      const bool stands = soft ? best >= softStand : best >= 17;
      const Table::Row onward = withinLimit(plus, GetParam().mostOfARank) ? Table::handRow(scanFor(t, plus)) : t.zeroRow();
      expected.push_back({0, stands ? Table::finalTotalRow(best) : onward});
      expectedRanks.push_back(r);
    }
    std::vector<Table::Step> actual;
    for (std::int32_t ri = 0; ri < h.runCount; ++ri) {
      const Table::Run& run = t.runs()[static_cast<std::size_t>(h.firstRun + ri)];
      for (std::int32_t k = 0; k < run.stepCount; ++k) {
        const Table::Step& step = t.steps()[static_cast<std::size_t>(run.firstStep + k)];
        ASSERT_EQ(Table::endsHand(step.row), run.ends) << "hand " << i;
        if (run.ends) {
          EXPECT_EQ(run.endDraw[step.row], step.draw) << "hand " << i;
        }
        actual.push_back(step);
      }
      for (int j = 0; j < FinalTotalCount; ++j) {
        const int k = j - run.firstTotal;
        if (!run.ends || k < 0 || k >= run.stepCount) {
          EXPECT_EQ(run.endDraw[j], t.zeroDraw()) << "hand " << i;
        }
      }
    }
    ASSERT_EQ(actual.size(), expected.size()) << "hand " << i;
    for (std::size_t k = 0; k < actual.size(); ++k) {
      const int r = expectedRanks[k];
      const Table::Draw& draw = t.draws()[static_cast<std::size_t>(actual[k].draw)];
      EXPECT_EQ(draw.rank, r) << "hand " << i;
      EXPECT_EQ(draw.held, c[rankIndex(r)]) << "hand " << i << ", rank " << r;
      EXPECT_EQ(draw.cards, h.cardCount) << "hand " << i << ", rank " << r;
      EXPECT_EQ(actual[k].row, expected[k].row) << "hand " << i << ", rank " << r;
      if (!Table::endsHand(actual[k].row) && actual[k].row != t.zeroRow()) {
        EXPECT_LT(actual[k].row - FinalTotalCount, static_cast<int>(i)) << "hand " << i << ", rank " << r;
      }
    }
  }
}

// The hands are those reachable from the empty hand by drawing while the
// dealer must draw (within the table's limit per rank), worked out here by a search that knows nothing of the
// table's enumeration.
TEST_P(DealerTable, HandsAreExactlyTheReachableDrawingHands) {
  const bool s17 = GetParam().standsOnSoft17;
  auto mustDraw = [s17](const HandCounts& c) {
    const int h = hardTotalOf(c);
    if (h > 16) return false;
    const bool soft = c[rankIndex(Ace)] > 0 && h <= 11;
    if (soft && h + 10 >= (s17 ? 17 : 18)) return false;
    return true;
  };
  std::set<HandCounts> reachable{HandCounts{}};
  std::vector<HandCounts> todo{HandCounts{}};
  while (!todo.empty()) {
    const HandCounts c = todo.back();
    todo.pop_back();
    for (int r = 1; r <= RankCount; ++r) {
      HandCounts plus = c;
      ++plus[rankIndex(r)];
      if (mustDraw(plus) && withinLimit(plus, GetParam().mostOfARank) && reachable.insert(plus).second) todo.push_back(plus);
    }
  }
  std::set<HandCounts> stored;
  for (std::size_t i = 0; i < table().hands().size(); ++i) stored.insert(table().countsOf(i));
  EXPECT_EQ(stored.size(), table().hands().size()) << "duplicate hands";
  EXPECT_EQ(stored, reachable);
}

INSTANTIATE_TEST_SUITE_P(Tables, DealerTable, ::testing::ValuesIn(tableCases()),
                         [](const auto& info) { return std::string(info.param.name); });

const Table& s17() { return dealerTable(true); }
const Table& h17() { return dealerTable(false); }

// Soft 17 draws only under the hit-soft-17 rule; soft 18 never. Hard 12 of
// ace, ace, five, five is only reachable through a soft 17 that draws.
TEST(DealerTableMembership, SoftStandingHands) {
  for (const HandCounts& soft17 : {hand({{Ace, 1}, {6, 1}}), hand({{Ace, 1}, {2, 1}, {4, 1}}), hand({{Ace, 2}, {5, 2}})}) {
    EXPECT_EQ(scanFor(s17(), soft17), -1);
    EXPECT_NE(scanFor(h17(), soft17), -1);
  }
  EXPECT_EQ(scanFor(s17(), hand({{Ace, 1}, {7, 1}})), -1);
  EXPECT_EQ(scanFor(h17(), hand({{Ace, 1}, {7, 1}})), -1);
  // Hard hands of 12..16 with an ace and a six or more are in both tables.
  EXPECT_NE(scanFor(s17(), hand({{Ace, 1}, {6, 1}, {5, 1}})), -1);
  EXPECT_NE(scanFor(s17(), hand({{Ace, 1}, {Ten, 1}, {5, 1}})), -1);
}

TEST(DealerTableSuccessor, AceOnSoft16) {
  const HandCounts aceFive = hand({{Ace, 1}, {5, 1}});
  EXPECT_EQ(rowAfter(s17(), scanFor(s17(), aceFive), Ace), Table::finalTotalRow(17));
  EXPECT_EQ(successor(h17(), scanFor(h17(), aceFive), Ace), scanFor(h17(), hand({{Ace, 2}, {5, 1}})));
}

TEST(DealerTableSuccessor, HardSixteenAndTen) {
  for (const Table* t : {&s17(), &h17()}) {
    for (int r = 1; r <= RankCount; ++r) EXPECT_EQ(successor(*t, 0, r), -1) << "rank " << r;
    const int ten = scanFor(*t, hand({{Ten, 1}}));
    EXPECT_EQ(successor(*t, ten, 6), 0);
    // A ten on a ten and an ace on a ten both stand.
    EXPECT_EQ(rowAfter(*t, ten, Ten), Table::finalTotalRow(20));
    EXPECT_EQ(rowAfter(*t, ten, Ace), Table::finalTotalRow(21));
  }
}

}  // namespace
