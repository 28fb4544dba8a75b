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

int hardTotalOf(const HandCounts& c) {
  int t = 0;
  for (int r = 1; r <= RankCount; ++r) t += r * c[rankIndex(r)];
  return t;
}

// The state with these counts, found by a plain scan of the array so that the
// table's own search is not relied on.
const DealerDrawState* scanFor(const DealerHandTable& table, const HandCounts& counts) {
  for (int i = 0; i < table.count; ++i)
    if (table.states[i]->composition.counts == counts) return table.states[i];
  return nullptr;
}

struct TableCase {
  const char* name;
  DealerHandTable* table;
  std::int32_t kind;
  std::int32_t capacity;
  bool standsOnSoft17;
  std::array<int, RankCount> oneCardIndex;       // ace first
  std::array<int, 17> statesByHardTotal;         // totals 0..16
};

void PrintTo(const TableCase& c, std::ostream* os) { *os << c.name; }

std::vector<TableCase> tableCases() {
  return {
      {"S17", &dealerTableS17, 22, 600, true,
       {598, 592, 572, 516, 431, 334, 221, 134, 71, 28},
       {1, 1, 2, 3, 5, 7, 11, 4, 7, 8, 12, 13, 45, 67, 98, 134, 182}},
      {"H17", &dealerTableH17, 23, 646, false,
       {644, 637, 614, 555, 468, 335, 221, 134, 71, 28},
       {1, 1, 2, 3, 5, 7, 11, 15, 7, 8, 12, 13, 52, 74, 105, 141, 189}},
  };
}

class DealerTable : public ::testing::TestWithParam<TableCase> {
 protected:
  const DealerHandTable& table() const { return *GetParam().table; }
};

TEST_P(DealerTable, SizeAndKind) {
  const TableCase& c = GetParam();
  EXPECT_EQ(table().kind, c.kind);
  EXPECT_EQ(table().capacity, c.capacity);
  EXPECT_EQ(table().count, c.capacity);
  EXPECT_EQ(table().standsOnSoft17, c.standsOnSoft17);
}

// The array and the list must describe the same sequence: every slot filled,
// each state's index its slot, next leading to the following slot, and head
// and tail at the ends.
TEST_P(DealerTable, ArrayAndListAgree) {
  const DealerHandTable& t = table();
  ASSERT_EQ(t.count, t.capacity);
  ASSERT_NE(t.states, nullptr);
  EXPECT_EQ(t.head, t.states[0]);
  EXPECT_EQ(t.tail, t.states[t.count - 1]);
  const DealerDrawState* s = t.head;
  for (int i = 0; i < t.count; ++i) {
    ASSERT_NE(t.states[i], nullptr) << "slot " << i;
    ASSERT_EQ(s, t.states[i]) << "list and array part at " << i;
    EXPECT_EQ(s->index, i);
    s = s->next;
  }
  EXPECT_EQ(s, nullptr);
}

// Evaluation relies on every successor being finished first, so the sequence
// must be strictly descending in composition order.
TEST_P(DealerTable, StrictlyDescendingOrder) {
  const DealerHandTable& t = table();
  for (int i = 1; i < t.count; ++i)
    EXPECT_TRUE(compositionGreater(t.states[i - 1]->composition.counts,
                                   t.states[i]->composition.counts))
        << "slots " << i - 1 << " and " << i;
}

TEST_P(DealerTable, FirstIsSixTenAndLastIsEmpty) {
  const DealerHandTable& t = table();
  ASSERT_GT(t.count, 0);
  EXPECT_EQ(t.states[0]->composition.counts, hand({{6, 1}, {Ten, 1}}));
  EXPECT_EQ(t.states[0]->composition.hardTotal, 16);
  const HandComposition& last = t.states[t.count - 1]->composition;
  EXPECT_EQ(last.counts, HandCounts{});
  EXPECT_EQ(last.hardTotal, 0);
  EXPECT_EQ(last.cardCount, 0);
  EXPECT_FALSE(last.soft);
}

TEST_P(DealerTable, OneCardHandIndexes) {
  const TableCase& c = GetParam();
  for (int r = 1; r <= RankCount; ++r) {
    HandCounts one{};
    one[rankIndex(r)] = 1;
    const int at = c.oneCardIndex[rankIndex(r)];
    ASSERT_LT(at, table().count) << "up card " << r;
    const DealerDrawState* s = table().states[at];
    ASSERT_NE(s, nullptr) << "up card " << r;
    EXPECT_EQ(s->composition.counts, one) << "up card " << r;
    EXPECT_EQ(s->composition.cardCount, 1) << "up card " << r;
    EXPECT_EQ(s->composition.hardTotal, r) << "up card " << r;
  }
}

TEST_P(DealerTable, StatesByHardTotal) {
  std::array<int, 17> byTotal{};
  for (int i = 0; i < table().count; ++i) {
    const int h = table().states[i]->composition.hardTotal;
    ASSERT_GE(h, 0);
    ASSERT_LE(h, 16) << "slot " << i;
    ++byTotal[h];
  }
  EXPECT_EQ(byTotal, GetParam().statesByHardTotal);
}

// Each stored composition carries derived fields that match its counts.
TEST_P(DealerTable, DerivedFieldsMatchCounts) {
  for (int i = 0; i < table().count; ++i) {
    const HandComposition& h = table().states[i]->composition;
    int cards = 0;
    for (auto x : h.counts) cards += x;
    EXPECT_EQ(h.hardTotal, hardTotalOf(h.counts)) << "slot " << i;
    EXPECT_EQ(h.cardCount, cards) << "slot " << i;
    EXPECT_EQ(h.soft, h.counts[rankIndex(Ace)] > 0 && h.hardTotal <= 11) << "slot " << i;
  }
}

// Every link is exactly the state one card further on when that hand must
// still draw, and null otherwise; a linked state always lies earlier.
TEST_P(DealerTable, SuccessorsAreExactlyTheStatesOneCardOn) {
  const DealerHandTable& t = table();
  for (int i = 0; i < t.count; ++i) {
    const DealerDrawState* s = t.states[i];
    for (int r = 1; r <= RankCount; ++r) {
      HandCounts plus = s->composition.counts;
      ++plus[rankIndex(r)];
      const DealerDrawState* expected = hardTotalOf(plus) <= 21 ? scanFor(t, plus) : nullptr;
      const DealerDrawState* actual = s->successor[rankIndex(r)];
      ASSERT_EQ(actual, expected) << "slot " << i << ", rank " << r;
      if (actual != nullptr) {
        EXPECT_LT(actual->index, s->index) << "slot " << i << ", rank " << r;
      }
    }
  }
}

// The states are the hands reachable from the empty hand by drawing while the
// dealer must draw, worked out here by a search that knows nothing of the
// table's enumeration.
TEST_P(DealerTable, StatesAreExactlyTheReachableDrawingHands) {
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
      if (mustDraw(plus) && reachable.insert(plus).second) todo.push_back(plus);
    }
  }
  std::set<HandCounts> stored;
  for (int i = 0; i < table().count; ++i) stored.insert(table().states[i]->composition.counts);
  EXPECT_EQ(stored.size(), static_cast<std::size_t>(table().count)) << "duplicate states";
  EXPECT_EQ(stored, reachable);
}

INSTANTIATE_TEST_SUITE_P(Tables, DealerTable, ::testing::ValuesIn(tableCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Soft 17 draws only under the hit-soft-17 rule; soft 18 never.
TEST(DealerTableMembership, SoftStandingHands) {
  const HandCounts soft17 = hand({{Ace, 1}, {6, 1}});
  const HandCounts soft18 = hand({{Ace, 1}, {7, 1}});
  EXPECT_EQ(scanFor(dealerTableS17, soft17), nullptr);
  EXPECT_NE(scanFor(dealerTableH17, soft17), nullptr);
  EXPECT_EQ(scanFor(dealerTableS17, soft18), nullptr);
  EXPECT_EQ(scanFor(dealerTableH17, soft18), nullptr);
  // Soft 17 made of three cards behaves the same.
  const HandCounts soft17ThreeCards = hand({{Ace, 1}, {2, 1}, {4, 1}});
  EXPECT_EQ(scanFor(dealerTableS17, soft17ThreeCards), nullptr);
  EXPECT_NE(scanFor(dealerTableH17, soft17ThreeCards), nullptr);
}

// Hard 12 of ace, ace, five, five is only reachable through a soft 17 that
// draws.
TEST(DealerTableMembership, HardTwelveOnlyThroughSoft17) {
  const HandCounts aaff = hand({{Ace, 2}, {5, 2}});
  EXPECT_EQ(scanFor(dealerTableS17, aaff), nullptr);
  EXPECT_NE(scanFor(dealerTableH17, aaff), nullptr);
  // Hard hands of 12..16 with an ace and a six or more are in both tables.
  EXPECT_NE(scanFor(dealerTableS17, hand({{Ace, 1}, {6, 1}, {5, 1}})), nullptr);
  EXPECT_NE(scanFor(dealerTableS17, hand({{Ace, 1}, {Ten, 1}, {5, 1}})), nullptr);
}

TEST(DealerTableSuccessor, AceOnSoft16) {
  const HandCounts aceFive = hand({{Ace, 1}, {5, 1}});
  const DealerDrawState* s17 = scanFor(dealerTableS17, aceFive);
  const DealerDrawState* h17 = scanFor(dealerTableH17, aceFive);
  ASSERT_NE(s17, nullptr);
  ASSERT_NE(h17, nullptr);
  EXPECT_EQ(s17->successor[rankIndex(Ace)], nullptr);
  const DealerDrawState* next = h17->successor[rankIndex(Ace)];
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->composition.counts, hand({{Ace, 2}, {5, 1}}));
  EXPECT_EQ(next, scanFor(dealerTableH17, hand({{Ace, 2}, {5, 1}})));
}

TEST(DealerTableSuccessor, HardSixteenAndTen) {
  for (const DealerHandTable* t : {&dealerTableS17, &dealerTableH17}) {
    ASSERT_GT(t->count, 0);
    const DealerDrawState* sixTen = t->states[0];
    for (int r = 1; r <= RankCount; ++r)
      EXPECT_EQ(sixTen->successor[rankIndex(r)], nullptr) << "rank " << r;
    const DealerDrawState* ten = scanFor(*t, hand({{Ten, 1}}));
    ASSERT_NE(ten, nullptr);
    EXPECT_EQ(ten->successor[rankIndex(6)], sixTen);
    // A ten on a ten and an ace on a ten both stand.
    EXPECT_EQ(ten->successor[rankIndex(Ten)], nullptr);
    EXPECT_EQ(ten->successor[rankIndex(Ace)], nullptr);
  }
}

struct CapacityCase {
  std::int32_t kind;
  std::int32_t capacity;
};

void PrintTo(const CapacityCase& c, std::ostream* os) { *os << "kind " << c.kind; }

class DealerTableCapacity : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(DealerTableCapacity, ForKind) {
  EXPECT_EQ(capacityForKind(GetParam().kind), GetParam().capacity);
}

// Kinds 1..21 count the compositions of hard total at most 21 - kind; 24 those
// up to 31; anything outside 1..24 falls back to the count up to 21.
INSTANTIATE_TEST_SUITE_P(
    Kinds, DealerTableCapacity,
    ::testing::Values(CapacityCase{1, 2430}, CapacityCase{2, 1900}, CapacityCase{3, 1477},
                      CapacityCase{4, 1137}, CapacityCase{5, 870}, CapacityCase{6, 658},
                      CapacityCase{7, 494}, CapacityCase{8, 366}, CapacityCase{9, 269},
                      CapacityCase{10, 194}, CapacityCase{11, 139}, CapacityCase{12, 97},
                      CapacityCase{13, 67}, CapacityCase{14, 45}, CapacityCase{15, 30},
                      CapacityCase{16, 19}, CapacityCase{17, 12}, CapacityCase{18, 7},
                      CapacityCase{19, 4}, CapacityCase{20, 2}, CapacityCase{21, 1},
                      CapacityCase{22, 600}, CapacityCase{23, 646}, CapacityCase{24, 24787},
                      CapacityCase{0, 3083}, CapacityCase{-1, 3083}, CapacityCase{25, 3083},
                      CapacityCase{-2147483647 - 1, 3083}, CapacityCase{2147483647, 3083}));

}  // namespace
