// The value steps of one post-split hand, driven directly on hand-built
// states. Each state's cards (and the other split card) are taken out of the
// calculator's shoe for the duration of a check, its dealer record is looked
// up for that shoe, and the expected numbers are worked out here from the
// dealer's probability vectors for that shoe, from card counts, or from
// successor values set by hand.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "dealer/dealer_walk.h"
#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/player_hand_state.h"
#include "split/split_calculator.h"
#include "tests/case_text.h"

namespace {

constexpr double kTol = 1e-14;

HandCounts hand(std::initializer_list<std::pair<int, int>> cards) {
  HandCounts c{};
  for (const auto& [rank, n] : cards) c[rankIndex(rank)] = static_cast<std::int16_t>(n);
  return c;
}

ShoeCounts removed(std::initializer_list<std::pair<int, int>> cards) {
  ShoeCounts c{};
  for (const auto& [rank, n] : cards) c[rankIndex(rank)] = n;
  return c;
}

std::string entryName(int i) { return i == 0 ? "overall" : "up card " + std::to_string(i); }

bool dealable(const Shoe& shoe, int u) { return shoe.currentCounts[rankIndex(u)] > 0; }

// Chance of drawing rank c from the shoe, after the up card is out when
// up > 0 (entry 0: up card not yet dealt), from the raw counts.
double drawChance(const Shoe& shoe, int c, int up) {
  const int n = shoe.currentTotal - (up > 0 ? 1 : 0);
  const int k = shoe.currentCounts[rankIndex(c)] - (c == up ? 1 : 0);
  return static_cast<double>(k) / static_cast<double>(n);
}

// Chance of a dealer blackjack for the shoe, from the raw counts: against an
// ace the hole card must be a ten, against a ten an ace, and before the up
// card is known either order.
double blackjackChance(const Shoe& shoe, int up) {
  const double n = shoe.currentTotal;
  const double aces = shoe.currentCounts[rankIndex(Ace)];
  const double tens = shoe.currentCounts[rankIndex(Ten)];
  if (up == 0) return 2.0 * aces * tens / (n * (n - 1.0));
  if (up == Ace) return tens / (n - 1.0);
  if (up == Ten) return aces / (n - 1.0);
  return 0.0;
}

// The dealer's final-result vector at entry i.
const double* dealerRow(const DealerProbabilities& d, int i) { return i == 0 ? d.overall : d.byUpCard[rankIndex(i)]; }

// Value of standing on best total e against a dealer with final-result
// probabilities p (17..21 without blackjack at 0..4, blackjack 5, bust 6):
// win on a dealer bust or a lower total, push on an equal total, lose to
// anything else, blackjack included.
double standFromDistribution(const double* p, int e) {
  double v = p[DealerBust] - p[DealerBlackjack];
  for (int t = 17; t <= 21; ++t) {
    if (e > t) v += p[t - 17];
    if (e < t) v -= p[t - 17];
  }
  return v;
}

RuleSet rulesWith(void (*edit)(RuleSet&)) {
  RuleSet r;
  edit(r);
  return r;
}

// A split hand on the table: its cards, the other split card and any extra
// removals are out of the calculator's shoe while this object lives, and the
// state carries the dealer record of that shoe (unless it is busted), whose
// full probabilities are kept beside it.
class Dealt {
 public:
  Dealt(SplitCalculator& calc, int pair, const HandCounts& drawn, const ShoeCounts& extra = {})
      : calc_(calc), extra_(extra), state(drawn, pair) {
    taken_ = state.counts;
    ++taken_[rankIndex(pair)];  // the other split card
    calc_.shoe.removeCards(extra_);
    calc_.shoe.removeCards(taken_);
    if (state.hardTotal <= 21) {
      state.dealer = &calc_.dealerOutcomeFor(calc_.shoe.takenOut());
      dealer = dealerProbabilities(calc_.shoe, calc_.rules.standsOnSoft17);
    }
  }
  ~Dealt() {
    calc_.shoe.returnCards(taken_);
    calc_.shoe.returnCards(extra_);
  }
  Dealt(const Dealt&) = delete;
  Dealt& operator=(const Dealt&) = delete;

 private:
  SplitCalculator& calc_;
  ShoeCounts extra_;
  HandCounts taken_{};

 public:
  PlayerHandState state;
  DealerProbabilities dealer;
};

// Successor states with values, chosen actions and second-hand quantities
// set by hand, distinct per rank, per entry and per quantity, so that a sum
// that reads the wrong one shows. Only what the value steps read is filled.
struct HandSetSuccessors {
  std::array<PlayerHandState, RankCount> n;

  static double stand(int c, int i) { return -0.61 + 0.071 * c + 0.0113 * i; }
  static double hit(int c, int i) { return -0.52 + 0.053 * c - 0.0131 * i; }
  static double dbl(int c, int i) { return -0.93 + 0.117 * c + 0.0071 * i; }
  static double otherStand(int c, int i) { return -0.21 + 0.031 * c + 0.0057 * i; }
  static double otherHit(int c, int i) { return -0.26 + 0.023 * c + 0.0093 * i; }
  static double otherDouble(int c, int i) { return -0.17 + 0.043 * c - 0.0037 * i; }
  static char action(int c, int i) { return "shd"[(c + i) % 3]; }
  static double value(int c, int i) {
    const char a = action(c, i);
    return a == 's' ? stand(c, i) : a == 'h' ? hit(c, i) : dbl(c, i);
  }
  static double other(int c, int i) {
    const char a = action(c, i);
    return a == 's' ? otherStand(c, i) : a == 'h' ? otherHit(c, i) : otherDouble(c, i);
  }

  // Links every rank that the shoe still holds into s.next.
  HandSetSuccessors(PlayerHandState& s, const Shoe& shoe) {
    for (int c = 1; c <= RankCount; ++c) {
      PlayerHandState& x = n[rankIndex(c)];
      x = s;
      x.addCard(c);
      x.dealer = nullptr;  // the steps must take blackjack chances from s itself
      x.next = {};
      for (int i = 0; i < ValueCount; ++i) {
        x.standEv[i] = stand(c, i);
        x.hitEv[i] = hit(c, i);
        x.doubleEv[i] = dbl(c, i);
        x.otherIfStand(i) = otherStand(c, i);
        x.otherIfHit(i) = otherHit(c, i);
        x.otherIfDouble(i) = otherDouble(c, i);
      }
      x.best = action(c, 0);
      for (int u = 1; u <= RankCount; ++u) x.bestVs[rankIndex(u)] = action(c, u);
      if (dealable(shoe, c)) s.next[rankIndex(c)] = &x;
    }
  }
};

void fill(ValueVector& v, double x) { v.fill(x); }

// ---------------------------------------------------------------------------
// canDouble

enum Kind { HardUpTo8, Hard9, Hard10Up, Soft };

// Which hands each doubling rule admits, by kind of hand.
bool ruleAdmits(int rule, Kind kind) {
  static constexpr bool table[7][4] = {
      {true, true, true, true},     // any two cards
      {false, false, true, false},  // hard 10 or 11 (and up)
      {false, true, true, false},   // hard 9 to 11 (and up)
      {false, false, true, true},   // hard 10 or 11, and soft
      {false, true, true, true},    // hard 9 to 11, and soft
      {true, true, true, false},    // hard only
      {false, false, false, false}, // no doubling
  };
  return table[rule][kind];
}

struct DoubleCase {
  const char* name;
  int pair;
  HandCounts drawn;
  Kind kind;
};

void PrintTo(const DoubleCase& c, std::ostream* os) {
  *os << c.name << ": pair card " << c.pair << ", drawn " << countsText(c.drawn);
}

std::vector<DoubleCase> doubleCases() {
  return {
      {"Hard5", 2, hand({{3, 1}}), HardUpTo8},
      {"Hard8", 4, hand({{4, 1}}), HardUpTo8},
      {"Hard9", 4, hand({{5, 1}}), Hard9},
      {"Hard10", 5, hand({{5, 1}}), Hard10Up},
      {"Hard11", 2, hand({{9, 1}}), Hard10Up},
      {"Hard12", 6, hand({{6, 1}}), Hard10Up},
      {"Hard20", 10, hand({{10, 1}}), Hard10Up},
      {"Soft13", 2, hand({{Ace, 1}}), Soft},
      {"Soft21", 10, hand({{Ace, 1}}), Soft},
      {"Soft12Aces", 1, hand({{Ace, 1}}), Soft},
      {"Soft20Ace9", 1, hand({{9, 1}}), Soft},
      {"ThreeCardHard8", 3, hand({{3, 1}, {2, 1}}), HardUpTo8},
      {"ThreeCardHard9", 3, hand({{2, 1}, {4, 1}}), Hard9},
      {"ThreeCardHard12WithAce", 3, hand({{Ace, 1}, {8, 1}}), Hard10Up},
      {"ThreeCardSoft17", 2, hand({{Ace, 1}, {4, 1}}), Soft},
      {"ThreeCardAceHard13", 1, hand({{5, 1}, {7, 1}}), Hard10Up},
  };
}

class HandValuesCanDouble : public testing::TestWithParam<DoubleCase> {};

// With every permissive flag on, only the rule table decides.
TEST_P(HandValuesCanDouble, RuleTableDecides) {
  const DoubleCase& c = GetParam();
  const PlayerHandState s(c.drawn, c.pair);
  for (int rule = 0; rule <= 6; ++rule) {
    SplitCalculator calc(Shoe(1), rulesWith([](RuleSet& r) {
                           r.das = true;
                           r.dspa = true;
                           r.dan = true;
                           r.hsa = true;
                         }));
    calc.rules.doubleRule = static_cast<DoubleRule>(rule);
    EXPECT_EQ(calc.canDouble(s), ruleAdmits(rule, c.kind)) << "doubleRule " << rule;
  }
}

// Without doubling after splits nothing may be doubled, whatever else is allowed.
TEST_P(HandValuesCanDouble, NeverWithoutDas) {
  const DoubleCase& c = GetParam();
  const PlayerHandState s(c.drawn, c.pair);
  for (int rule = 0; rule <= 6; ++rule) {
    SplitCalculator calc(Shoe(1), rulesWith([](RuleSet& r) {
                           r.das = false;
                           r.dspa = true;
                           r.dan = true;
                           r.hsa = true;
                         }));
    calc.rules.doubleRule = static_cast<DoubleRule>(rule);
    EXPECT_FALSE(calc.canDouble(s)) << "doubleRule " << rule;
  }
}

// Split aces need dspa; three or more cards need dan; the rest of the
// permissions stay on.
TEST_P(HandValuesCanDouble, AcesNeedDspaAndLongHandsNeedDan) {
  const DoubleCase& c = GetParam();
  const PlayerHandState s(c.drawn, c.pair);
  const bool ace = c.pair == Ace;
  const bool longHand = s.cardCount > 2;
  for (int rule = 0; rule <= 6; ++rule) {
    for (bool dspa : {false, true}) {
      for (bool dan : {false, true}) {
        SplitCalculator calc(Shoe(1), rulesWith([](RuleSet& r) {
                               r.das = true;
                               r.hsa = true;
                             }));
        calc.rules.doubleRule = static_cast<DoubleRule>(rule);
        calc.rules.dspa = dspa;
        calc.rules.dan = dan;
        const bool expected = ruleAdmits(rule, c.kind) && (!ace || dspa) && (!longHand || dan);
        EXPECT_EQ(calc.canDouble(s), expected) << "doubleRule " << rule << " dspa " << dspa << " dan " << dan;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(HandValuesHands, HandValuesCanDouble, testing::ValuesIn(doubleCases()),
                         [](const testing::TestParamInfo<DoubleCase>& info) { return info.param.name; });

// The split card alone is never doubled, not even a lone five under "any
// two cards" with every permission on.
TEST(HandValuesCanDoubleLone, SplitCardAloneNever) {
  for (int pair : {1, 5, 6, 10}) {
    const PlayerHandState s(HandCounts{}, pair);
    for (int rule = 0; rule <= 6; ++rule) {
      SplitCalculator calc(Shoe(1), rulesWith([](RuleSet& r) {
                             r.das = true;
                             r.dspa = true;
                             r.dan = true;
                             r.hsa = true;
                           }));
      calc.rules.doubleRule = static_cast<DoubleRule>(rule);
      EXPECT_FALSE(calc.canDouble(s)) << "pair " << pair << " doubleRule " << rule;
    }
  }
}

// ---------------------------------------------------------------------------
// computeStand

struct StandCase {
  const char* name;
  int pair;
  HandCounts drawn;
  ShoeCounts extra;  // further removals
  bool s17;
  bool charlie5;
  bool charlie6;
  int total;          // expected best total (bust above 21)
};

void PrintTo(const StandCase& c, std::ostream* os) {
  *os << c.name << ": pair card " << c.pair << ", drawn " << countsText(c.drawn) << ", also removed "
      << countsText(c.extra) << (c.s17 ? ", S17" : ", H17") << (c.charlie5 ? ", charlie 5" : "")
      << (c.charlie6 ? ", charlie 6" : "");
}

std::vector<StandCase> standCases() {
  const ShoeCounts none{};
  return {
      {"Hard4", 2, hand({{2, 1}}), none, true, false, false, 4},
      {"Hard12", 6, hand({{6, 1}}), none, true, false, false, 12},
      {"Hard16", 8, hand({{8, 1}}), none, false, false, false, 16},
      {"Soft12Aces", 1, hand({{Ace, 1}}), none, true, false, false, 12},
      {"Hard17", 7, hand({{10, 1}}), none, true, false, false, 17},
      {"Soft18", 7, hand({{Ace, 1}}), none, false, false, false, 18},
      {"Hard19NoSixes", 9, hand({{10, 1}}), removed({{6, 4}}), true, false, false, 19},
      {"Hard20", 10, hand({{10, 1}}), none, false, false, false, 20},
      {"Soft21", 10, hand({{Ace, 1}}), none, true, false, false, 21},
      {"Hard21ThreeCards", 8, hand({{3, 1}, {10, 1}}), none, true, false, false, 21},
      {"Hard12WithAce", 3, hand({{Ace, 1}, {8, 1}}), none, true, false, false, 12},
      {"Charlie5FourCards", 2, hand({{3, 2}, {4, 1}}), none, true, true, false, 12},
      {"Charlie6FiveCards", 2, hand({{2, 1}, {3, 2}, {4, 1}}), none, true, false, true, 14},
      {"Charlie6FiveCardSoft19", 2, hand({{Ace, 2}, {3, 1}, {2, 1}}), none, false, false, true, 19},
  };
}

class HandValuesStand : public testing::TestWithParam<StandCase> {};

// Stand values come from the dealer's final-result probabilities: totals
// of 16 or less win only on a dealer bust; 17 to 21 also beat lower dealer
// totals and push equal ones.
TEST_P(HandValuesStand, FollowsDealerDistribution) {
  const StandCase& c = GetParam();
  RuleSet rules;
  rules.standsOnSoft17 = c.s17;
  rules.charlie5 = c.charlie5;
  rules.charlie6 = c.charlie6;
  SplitCalculator calc(Shoe(1), rules);
  Dealt d(calc, c.pair, c.drawn, c.extra);
  PlayerHandState& s = d.state;
  ASSERT_EQ(s.bestTotal(), c.total);
  ASSERT_NE(s.dealer, nullptr);
  fill(s.standEv, 7.0);
  calc.computeStand(s, 1);
  for (int i = 0; i < ValueCount; ++i) {
    if (i > 0 && !dealable(calc.shoe, i)) continue;
    EXPECT_NEAR(s.standEv[i], standFromDistribution(dealerRow(d.dealer, i), c.total), kTol) << entryName(i);
  }
  // The hand number plays no part in standing.
  PlayerHandState second = s;
  fill(second.standEv, 7.0);
  calc.computeStand(second, 2);
  for (int i = 0; i < ValueCount; ++i) {
    if (i > 0 && !dealable(calc.shoe, i)) continue;
    EXPECT_EQ(second.standEv[i], s.standEv[i]) << entryName(i);
  }
}

INSTANTIATE_TEST_SUITE_P(HandValuesTotals, HandValuesStand, testing::ValuesIn(standCases()),
                         [](const testing::TestParamInfo<StandCase>& info) { return info.param.name; });

// A five-card 14 under charlie5 wins unless the dealer has blackjack:
// certainly against a six, against an ace unless a ten is in the hole.
TEST(HandValuesStandCharlie, FiveCardFourteen) {
  RuleSet rules;
  rules.charlie5 = true;
  SplitCalculator calc(Shoe(1), rules);
  Dealt d(calc, 2, hand({{2, 1}, {3, 2}, {4, 1}}));
  PlayerHandState& s = d.state;
  ASSERT_EQ(s.cardCount, 5);
  ASSERT_EQ(s.bestTotal(), 14);
  calc.computeStand(s, 1);

  // Out: three twos, two threes, one four. Left: 46 cards, 4 aces, 16 tens.
  ASSERT_EQ(calc.shoe.currentTotal, 46);
  EXPECT_EQ(s.standEv[6], 1.0);
  for (int u = 2; u <= 9; ++u) EXPECT_EQ(s.standEv[u], 1.0) << entryName(u);
  EXPECT_NEAR(s.standEv[Ace], 1.0 - 2.0 * 16.0 / 45.0, kTol);
  EXPECT_NEAR(s.standEv[Ten], 1.0 - 2.0 * 4.0 / 45.0, kTol);
  const double b0 = 2.0 * 4.0 * 16.0 / (46.0 * 45.0);
  EXPECT_NEAR(s.standEv[0], 1.0 - 2.0 * b0, kTol);
}

// A charlie wins whatever its total: a five-card soft 21 is worth the
// charlie value, not the stand value of 21; six cards under charlie6 too.
TEST(HandValuesStandCharlie, AppliesWhateverTheTotal) {
  struct Case {
    const char* name;
    bool charlie5;
    bool charlie6;
    int pair;
    HandCounts drawn;
  };
  const Case cases[] = {
      {"FiveCardSoft21", true, false, 2, hand({{Ace, 3}, {6, 1}})},
      {"SixCardHard12", false, true, 2, hand({{Ace, 2}, {2, 1}, {3, 2}})},
      {"SixCardUnderBoth", true, true, 3, hand({{Ace, 2}, {2, 2}, {4, 1}})},
  };
  for (const Case& c : cases) {
    RuleSet rules;
    rules.charlie5 = c.charlie5;
    rules.charlie6 = c.charlie6;
    SplitCalculator calc(Shoe(1), rules);
    Dealt d(calc, c.pair, c.drawn);
    calc.computeStand(d.state, 1);
    for (int i = 0; i < ValueCount; ++i) {
      if (i > 0 && !dealable(calc.shoe, i)) continue;
      EXPECT_NEAR(d.state.standEv[i], 1.0 - 2.0 * blackjackChance(calc.shoe, i), kTol) << c.name << " " << entryName(i);
    }
  }
}

// A busted hand loses its bet against every up card, charlie or not, and is
// neither hit nor doubled; its only action is to stand. Its second-hand value
// if it stands is the second hand's EV.
TEST(HandValuesBusted, LosesAndIsLeftAlone) {
  struct Case {
    const char* name;
    int pair;
    HandCounts drawn;
    bool charlie5;
  };
  const Case cases[] = {
      {"Hard25", 10, hand({{5, 1}, {10, 1}}), false},
      {"Hard22WithAces", 9, hand({{Ace, 2}, {2, 1}, {9, 1}}), false},
      {"FiveCardHard24Charlie5", 10, hand({{2, 1}, {3, 1}, {4, 1}, {5, 1}}), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RuleSet rules;
    rules.charlie5 = c.charlie5;
    rules.das = true;
    rules.dan = true;
    SplitCalculator calc(Shoe(1), rules);
    Dealt d(calc, c.pair, c.drawn);
    PlayerHandState& s = d.state;
    ASSERT_GT(s.hardTotal, 21);
    ASSERT_EQ(s.dealer, nullptr);
    fill(s.standEv, 3.0);
    fill(s.doubleEv, 4.0);
    fill(s.hitEv, 5.0);
    for (int i = 0; i < ValueCount; ++i) {
      s.otherEv(i) = 0.25 + 0.01 * i;
      s.otherIfDouble(i) = 6.0;
      s.otherIfHit(i) = 8.0;
    }
    calc.computeStand(s, 1);
    calc.computeDouble(s, 1);
    calc.computeHit(s, 1);
    calc.chooseBest(s);
    calc.copyOtherToStand(s);
    calc.computeOtherIfDouble(s);
    calc.computeOtherIfHit(s);
    EXPECT_EQ(s.best, Stand);
    for (int i = 0; i < ValueCount; ++i) {
      if (i > 0 && !dealable(calc.shoe, i)) continue;
      EXPECT_EQ(s.standEv[i], -1.0) << entryName(i);
      EXPECT_EQ(s.doubleEv[i], 4.0) << entryName(i);
      EXPECT_EQ(s.hitEv[i], 5.0) << entryName(i);
      EXPECT_EQ(s.actionAt(i), Stand) << entryName(i);
      EXPECT_EQ(s.otherIfStand(i), 0.25 + 0.01 * i) << entryName(i);
      EXPECT_EQ(s.otherIfDouble(i), 6.0) << entryName(i);
      EXPECT_EQ(s.otherIfHit(i), 8.0) << entryName(i);
    }
  }
}

// ---------------------------------------------------------------------------
// A hard 21 of three cards: every further card busts.

class HandValuesHard21 : public testing::TestWithParam<bool> {};

TEST_P(HandValuesHard21, HitLosesDoubleLosesTwiceLessBlackjackRefund) {
  const bool peek = GetParam();
  RuleSet rules;
  rules.dealerBjRule = peek ? DealerBjRule::FullPeek : DealerBjRule::NoPeek;
  rules.das = true;
  rules.dan = true;  // the hand may be doubled: only the values keep it standing
  SplitCalculator calc(Shoe(1), rules);
  // No fives left, so up card five cannot be dealt.
  Dealt d(calc, 8, hand({{3, 1}, {10, 1}}), removed({{5, 4}}));
  PlayerHandState& s = d.state;
  ASSERT_EQ(s.hardTotal, 21);
  ASSERT_EQ(s.cardCount, 3);
  ASSERT_TRUE(calc.canDouble(s));
  ASSERT_FALSE(dealable(calc.shoe, 5));

  calc.computeStand(s, 1);
  calc.computeDouble(s, 1);
  calc.computeHit(s, 1);
  calc.chooseBest(s);

  for (int i = 0; i < ValueCount; ++i) EXPECT_EQ(s.hitEv[i], -1.0) << entryName(i) << " (dealable or not)";
  EXPECT_EQ(s.best, Stand);
  for (int i = 0; i < ValueCount; ++i) {
    if (i > 0 && !dealable(calc.shoe, i)) continue;
    EXPECT_EQ(s.actionAt(i), Stand) << entryName(i);
    if (!peek || (i >= 2 && i <= 9)) {
      EXPECT_EQ(s.doubleEv[i], -2.0) << entryName(i);
    } else {
      const double b = blackjackChance(calc.shoe, i);
      ASSERT_GT(b, 0.0);
      EXPECT_NEAR(s.doubleEv[i], -2.0 + b, kTol) << entryName(i);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(HandValuesPeek, HandValuesHard21, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "FullPeek" : "NoPeek"; });

// ---------------------------------------------------------------------------
// Double and hit on successors set by hand.

// A hard 20: only an ace keeps a double or a hit alive. A busting double
// loses both units (no peek) or both less the blackjack refund (peek); a
// busting hit loses one.
class HandValuesHard20 : public testing::TestWithParam<bool> {};

TEST_P(HandValuesHard20, BustingDrawsAndTheAce) {
  const bool peek = GetParam();
  RuleSet rules;
  rules.dealerBjRule = peek ? DealerBjRule::FullPeek : DealerBjRule::NoPeek;
  rules.das = true;
  SplitCalculator calc(Shoe(1), rules);
  Dealt d(calc, 10, hand({{10, 1}}), removed({{4, 4}}));
  PlayerHandState& s = d.state;
  ASSERT_EQ(s.hardTotal, 20);
  HandSetSuccessors succ(s, calc.shoe);
  calc.computeStand(s, 1);
  calc.computeDouble(s, 1);
  calc.computeHit(s, 1);

  for (int i = 0; i < ValueCount; ++i) {
    if (i > 0 && !dealable(calc.shoe, i)) continue;
    const double b = peek ? blackjackChance(calc.shoe, i) : 0.0;
    const double pAce = drawChance(calc.shoe, Ace, i);
    const double dbl = pAce * (2.0 * HandSetSuccessors::stand(Ace, i) + b) + (1.0 - pAce) * (-2.0 + b);
    const double hit = pAce * HandSetSuccessors::value(Ace, i) - (1.0 - pAce);
    EXPECT_NEAR(s.doubleEv[i], dbl, kTol) << entryName(i);
    EXPECT_NEAR(s.hitEv[i], hit, kTol) << entryName(i);
  }
}

// With no ace left every card busts a hard 20: a double is worth exactly -2
// without peek, and -2 + B with it (B is then zero against a ten as well).
TEST_P(HandValuesHard20, NoAceLeftEveryDrawBusts) {
  const bool peek = GetParam();
  RuleSet rules;
  rules.dealerBjRule = peek ? DealerBjRule::FullPeek : DealerBjRule::NoPeek;
  rules.das = true;
  SplitCalculator calc(Shoe(1), rules);
  Dealt d(calc, 10, hand({{10, 1}}), removed({{Ace, 4}}));
  PlayerHandState& s = d.state;
  HandSetSuccessors succ(s, calc.shoe);
  calc.computeDouble(s, 1);
  calc.computeHit(s, 1);
  for (int i = 0; i < ValueCount; ++i) {
    if (i > 0 && !dealable(calc.shoe, i)) continue;
    EXPECT_NEAR(s.doubleEv[i], -2.0, kTol) << entryName(i);
    EXPECT_NEAR(s.hitEv[i], -1.0, kTol) << entryName(i);
  }
}

INSTANTIATE_TEST_SUITE_P(HandValuesPeek, HandValuesHard20, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "FullPeek" : "NoPeek"; });

// A hard 12 of the first hand, with every successor set by hand (those of
// busting cards carry values that must not be used): hit follows each
// successor's chosen action per entry, double its stand value, and the
// second-hand quantities follow the same choices, busting cards included.
TEST(HandValuesFirstHand, HitDoubleAndSecondHandQuantities) {
  for (bool peek : {true, false}) {
    SCOPED_TRACE(peek ? "peek" : "no peek");
    RuleSet rules;
    rules.dealerBjRule = peek ? DealerBjRule::FullPeek : DealerBjRule::NoPeek;
    rules.das = true;
    SplitCalculator calc(Shoe(1), rules);
    Dealt d(calc, 6, hand({{6, 1}}), removed({{9, 4}, {10, 3}}));
    PlayerHandState& s = d.state;
    ASSERT_EQ(s.hardTotal, 12);
    HandSetSuccessors succ(s, calc.shoe);
    for (int i = 0; i < ValueCount; ++i) s.otherEv(i) = 0.125 - 0.01 * i;
    fill(s.splitEv, 9.0);
    calc.computeStand(s, 1);
    calc.computeDouble(s, 1);
    calc.computeHit(s, 1);
    calc.chooseBest(s);
    calc.copyOtherToStand(s);
    calc.computeOtherIfDouble(s);
    calc.computeOtherIfHit(s);

    for (int i = 0; i < ValueCount; ++i) {
      if (i > 0 && !dealable(calc.shoe, i)) continue;
      const double b = peek ? blackjackChance(calc.shoe, i) : 0.0;
      double hit = 0.0, dbl = 0.0, ifDouble = 0.0, ifHit = 0.0;
      for (int c = 1; c <= RankCount; ++c) {
        const double p = drawChance(calc.shoe, c, i);
        if (p == 0.0) continue;
        const bool busts = 12 + c > 21;
        hit += p * (busts ? -1.0 : HandSetSuccessors::value(c, i));
        dbl += p * (busts ? -2.0 + b : 2.0 * HandSetSuccessors::stand(c, i) + b);
        ifDouble += p * HandSetSuccessors::otherStand(c, i);
        ifHit += p * HandSetSuccessors::other(c, i);
      }
      EXPECT_NEAR(s.hitEv[i], hit, kTol) << entryName(i);
      EXPECT_NEAR(s.doubleEv[i], dbl, kTol) << entryName(i);
      EXPECT_EQ(s.otherIfStand(i), 0.125 - 0.01 * i) << entryName(i);
      EXPECT_NEAR(s.otherIfDouble(i), ifDouble, kTol) << entryName(i);
      EXPECT_NEAR(s.otherIfHit(i), ifHit, kTol) << entryName(i);
      // Only the lone pair card carries the value of the whole split.
      EXPECT_EQ(s.splitEv[i], 0.0) << entryName(i);
    }
  }
}

// The lone pair card: for the first hand its hit value is the hand's EV and
// the split value adds the second-hand quantity matching each successor's
// action; for the second hand the hit value becomes the second hand's EV.
TEST(HandValuesLonePairCard, FirstAndSecondHand) {
  RuleSet rules;
  rules.das = true;
  SplitCalculator calc(Shoe(1), rules);
  Dealt d(calc, 8, HandCounts{}, removed({{3, 4}}));
  PlayerHandState first = d.state;
  HandSetSuccessors succ1(first, calc.shoe);
  fill(first.splitEv, 9.0);
  calc.computeStand(first, 1);
  calc.computeHit(first, 1);

  PlayerHandState second = d.state;
  HandSetSuccessors succ2(second, calc.shoe);
  fill(second.splitEv, 9.0);
  calc.computeStand(second, 2);
  calc.computeHit(second, 2);

  for (int i = 0; i < ValueCount; ++i) {
    if (i > 0 && !dealable(calc.shoe, i)) continue;
    double hit = 0.0, split = 0.0;
    for (int c = 1; c <= RankCount; ++c) {
      const double p = drawChance(calc.shoe, c, i);
      hit += p * HandSetSuccessors::value(c, i);
      split += p * (HandSetSuccessors::value(c, i) + HandSetSuccessors::other(c, i));
    }
    EXPECT_NEAR(first.hitEv[i], hit, kTol) << entryName(i);
    EXPECT_NEAR(first.splitEv[i], split, kTol) << entryName(i);
    EXPECT_EQ(second.hitEv[i], first.hitEv[i]) << entryName(i);
    EXPECT_EQ(second.otherEv(i), second.hitEv[i]) << entryName(i);
    EXPECT_EQ(second.splitEv[i], 0.0) << entryName(i);
  }
}

// An ace and a ten drawn to a split ten make a soft 21 that is not final: it
// is valued like any other hand and its action is chosen by comparison.
TEST(HandValuesSoft21, ValuedAndChosenLikeAnyHand) {
  struct Case {
    const char* name;
    double successorValue;  // every successor's value, all chosen "s"
    bool das;
    char expected;
  };
  const Case cases[] = {
      {"DrawingWorse", -0.5, true, Stand},
      {"DrawingBetterNoDas", 1.0, false, Hit},
      {"DrawingBetterDas", 1.0, true, DoubleDown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RuleSet rules;
    rules.das = c.das;
    SplitCalculator calc(Shoe(1), rules);
    Dealt d(calc, 10, hand({{Ace, 1}}));
    PlayerHandState& s = d.state;
    ASSERT_TRUE(s.soft);
    ASSERT_EQ(s.bestTotal(), 21);
    std::array<PlayerHandState, RankCount> succ;
    for (int r = 1; r <= RankCount; ++r) {
      succ[rankIndex(r)] = s;
      succ[rankIndex(r)].addCard(r);
      succ[rankIndex(r)].next = {};
      fill(succ[rankIndex(r)].standEv, c.successorValue);
      fill(succ[rankIndex(r)].hitEv, -3.0);
      fill(succ[rankIndex(r)].doubleEv, -3.0);
      succ[rankIndex(r)].best = Stand;
      succ[rankIndex(r)].bestVs.fill(Stand);
      s.next[rankIndex(r)] = &succ[rankIndex(r)];
    }
    calc.computeStand(s, 1);
    calc.computeDouble(s, 1);
    calc.computeHit(s, 1);
    calc.chooseBest(s);
    for (int i = 0; i < ValueCount; ++i) {
      const double b = blackjackChance(calc.shoe, i);
      EXPECT_NEAR(s.standEv[i], standFromDistribution(dealerRow(d.dealer, i), 21), kTol) << entryName(i);
      EXPECT_NEAR(s.hitEv[i], c.successorValue, kTol) << entryName(i);
      EXPECT_NEAR(s.doubleEv[i], 2.0 * c.successorValue + b, kTol) << entryName(i);
      EXPECT_EQ(s.actionAt(i), c.expected) << entryName(i);
    }
  }
}

// ---------------------------------------------------------------------------
// chooseBest on values set by hand.

struct Choice {
  double stand, dbl, hit;
  char withDouble;     // when the hand may double
  char withoutDouble;  // when it may not
};

TEST(HandValuesChooseBest, StrictComparisonsInOrderStandDoubleHit) {
  const Choice rows[] = {
      {0.1, 0.1, 0.0, Stand, Stand},         // stand ties double
      {0.1, 0.1, 0.1, Stand, Stand},         // three-way tie
      {0.2, 0.1, 0.2, Stand, Stand},         // stand ties hit
      {0.0, 0.2, 0.2, DoubleDown, Hit},      // double beats stand and ties hit
      {0.0, 0.2, 0.3, Hit, Hit},
      {0.0, 0.2, 0.1, DoubleDown, Hit},
      {0.0, 0.5, -0.1, DoubleDown, Stand},
      {-1.0, -0.5, -0.5, DoubleDown, Hit},
      {-0.2, -0.1, -0.15, DoubleDown, Hit},
      {0.3, -0.4, 0.2, Stand, Stand},
      {-0.3, -0.3, -0.3, Stand, Stand},
  };
  constexpr int kRows = sizeof(rows) / sizeof(rows[0]);
  for (bool das : {true, false}) {
    RuleSet rules;
    rules.das = das;
    SplitCalculator calc(Shoe(1), rules);
    PlayerHandState s(hand({{6, 1}}), 4);  // hard 10 of two cards
    ASSERT_EQ(calc.canDouble(s), das);
    // Each round gives every entry a different row, so entries cannot borrow
    // from one another unnoticed.
    for (int round = 0; round < kRows; ++round) {
      for (int i = 0; i < ValueCount; ++i) {
        const Choice& r = rows[(round + i) % kRows];
        s.standEv[i] = r.stand;
        s.doubleEv[i] = r.dbl;
        s.hitEv[i] = r.hit;
      }
      calc.chooseBest(s);
      for (int i = 0; i < ValueCount; ++i) {
        const Choice& r = rows[(round + i) % kRows];
        EXPECT_EQ(s.actionAt(i), das ? r.withDouble : r.withoutDouble)
            << "das " << das << " row " << (round + i) % kRows << " " << entryName(i);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Split aces without hitting: one card each, then stand.

// The two-card states are final: no hit or double values, the action is
// stand however good drawing would look, and no second-hand quantity but
// the stand one is formed.
TEST(HandValuesSplitAces, TwoCardStatesOnlyStand) {
  RuleSet rules;
  rules.das = true;
  rules.dspa = true;
  rules.dan = true;
  SplitCalculator calc(Shoe(1), rules);
  for (int c = 1; c <= RankCount; ++c) {
    SCOPED_TRACE("ace and " + std::to_string(c));
    Dealt d(calc, Ace, hand({{c, 1}}));
    PlayerHandState& s = d.state;
    HandSetSuccessors succ(s, calc.shoe);
    fill(s.doubleEv, 5.0);
    fill(s.hitEv, 6.0);
    for (int i = 0; i < ValueCount; ++i) {
      s.otherEv(i) = 0.5;
      s.otherIfDouble(i) = 7.0;
      s.otherIfHit(i) = 8.0;
    }
    calc.computeStand(s, 1);
    calc.computeDouble(s, 1);
    calc.computeHit(s, 1);
    calc.chooseBest(s);
    calc.copyOtherToStand(s);
    calc.computeOtherIfDouble(s);
    calc.computeOtherIfHit(s);
    for (int i = 0; i < ValueCount; ++i) {
      if (i > 0 && !dealable(calc.shoe, i)) continue;
      EXPECT_NEAR(s.standEv[i], standFromDistribution(dealerRow(d.dealer, i), s.bestTotal()), kTol) << entryName(i);
      EXPECT_EQ(s.doubleEv[i], 5.0) << entryName(i);
      EXPECT_EQ(s.hitEv[i], 6.0) << entryName(i);
      EXPECT_EQ(s.actionAt(i), Stand) << entryName(i);
      EXPECT_EQ(s.otherIfStand(i), 0.5) << entryName(i);
      EXPECT_EQ(s.otherIfDouble(i), 7.0) << entryName(i);
      EXPECT_EQ(s.otherIfHit(i), 8.0) << entryName(i);
    }
  }
}

// The lone ace: without hsa its one card is forced and the hand stands,
// whatever its successors would choose; with hsa the successors' chosen
// actions count, here and in the second-hand quantities.
TEST(HandValuesSplitAces, LoneAceUsesStandValuesUnlessHitAllowed) {
  for (bool hsa : {false, true}) {
    SCOPED_TRACE(hsa ? "hsa" : "no hsa");
    RuleSet rules;
    rules.das = true;
    rules.dspa = true;
    rules.hsa = hsa;
    SplitCalculator calc(Shoe(1), rules);
    Dealt d(calc, Ace, HandCounts{}, removed({{7, 4}}));
    PlayerHandState& s = d.state;
    HandSetSuccessors succ(s, calc.shoe);
    for (int i = 0; i < ValueCount; ++i) {
      s.otherIfDouble(i) = 7.0;
      s.otherIfHit(i) = 8.0;
    }
    calc.computeStand(s, 1);
    calc.computeDouble(s, 1);
    calc.computeHit(s, 1);
    calc.computeOtherIfDouble(s);
    calc.computeOtherIfHit(s);
    for (int i = 0; i < ValueCount; ++i) {
      if (i > 0 && !dealable(calc.shoe, i)) continue;
      double hit = 0.0, split = 0.0, ifDouble = 0.0, ifHit = 0.0;
      for (int c = 1; c <= RankCount; ++c) {
        const double p = drawChance(calc.shoe, c, i);
        if (p == 0.0) continue;
        const double v = hsa ? HandSetSuccessors::value(c, i) : HandSetSuccessors::stand(c, i);
        const double w = hsa ? HandSetSuccessors::other(c, i) : HandSetSuccessors::otherStand(c, i);
        hit += p * v;
        split += p * (v + w);
        ifDouble += p * HandSetSuccessors::otherStand(c, i);
        ifHit += p * HandSetSuccessors::other(c, i);
      }
      EXPECT_NEAR(s.hitEv[i], hit, kTol) << entryName(i);
      EXPECT_NEAR(s.splitEv[i], split, kTol) << entryName(i);
      if (hsa) {
        EXPECT_NEAR(s.otherIfDouble(i), ifDouble, kTol) << entryName(i);
        EXPECT_NEAR(s.otherIfHit(i), ifHit, kTol) << entryName(i);
      } else {
        EXPECT_EQ(s.otherIfDouble(i), 7.0) << entryName(i);
        EXPECT_EQ(s.otherIfHit(i), 8.0) << entryName(i);
      }
    }
  }
}

// A whole split of aces without hsa, rebuilt from dealer probabilities alone: hand 1
// is the ace and one card c standing against the shoe without c; hand 2 the
// ace and one card d standing against the shoe without c and d. The lone
// ace's hit value is the mean of hand 1's stand values and the split value
// the mean of hand 1's stand value plus hand 2's expected stand value.
struct AceSplitCase {
  const char* name;
  ShoeCounts removals;
  bool s17;
};

void PrintTo(const AceSplitCase& c, std::ostream* os) {
  *os << c.name << ": aces, 1 deck, removed " << countsText(c.removals) << (c.s17 ? ", S17" : ", H17");
}

class HandValuesAceSplit : public testing::TestWithParam<AceSplitCase> {};

TEST_P(HandValuesAceSplit, RebuiltFromDealerRecords) {
  const AceSplitCase& c = GetParam();
  RuleSet rules;
  rules.standsOnSoft17 = c.s17;
  rules.das = true;
  rules.dspa = true;  // no effect without hsa
  SplitCalculator calc(Shoe(1), rules);
  ASSERT_EQ(calc.evaluateSplit(c.removals, Ace).run, SplitRun::Completed);
  const PlayerHandState result = calc.pairHand;

  // The shoe both hands draw from: one deck less the removals and two aces.
  ShoeCounts left = calc.shoe.fullCounts;
  for (int i = 0; i < RankCount; ++i) left[i] -= c.removals[i];
  left[rankIndex(Ace)] -= 2;
  int leftTotal = 0;
  for (int x : left) leftTotal += x;

  // Dealer probabilities for the full shoe less the removals, both aces and `drawn`.
  auto record = [&](const ShoeCounts& drawn) {
    ShoeCounts out = c.removals;
    out[rankIndex(Ace)] += 2;
    for (int i = 0; i < RankCount; ++i) out[i] += drawn[i];
    calc.shoe.removeCards(out);
    const DealerProbabilities d = dealerProbabilities(calc.shoe, c.s17);
    calc.shoe.returnCards(out);
    return d;
  };
  // Chance of rank r from `counts` (total n) once the up card (entry i) is out.
  auto chance = [](const ShoeCounts& counts, int n, int r, int i) {
    const int k = counts[rankIndex(r)] - (r == i ? 1 : 0);
    return k <= 0 ? 0.0 : static_cast<double>(k) / static_cast<double>(n - (i > 0 ? 1 : 0));
  };
  auto aceTotal = [](int r) { return r == Ace ? 12 : 11 + r; };

  for (int i = 0; i < ValueCount; ++i) {
    if (i > 0 && left[rankIndex(i)] == 0) continue;
    double hit = 0.0, split = 0.0;
    for (int r1 = 1; r1 <= RankCount; ++r1) {
      const double p1 = chance(left, leftTotal, r1, i);
      if (p1 == 0.0) continue;
      ShoeCounts one{};
      one[rankIndex(r1)] = 1;
      const double stand1 = standFromDistribution(dealerRow(record(one), i), aceTotal(r1));
      ShoeCounts afterOne = left;
      --afterOne[rankIndex(r1)];
      double second = 0.0;
      for (int r2 = 1; r2 <= RankCount; ++r2) {
        const double p2 = chance(afterOne, leftTotal - 1, r2, i);
        if (p2 == 0.0) continue;
        ShoeCounts two = one;
        ++two[rankIndex(r2)];
        second += p2 * standFromDistribution(dealerRow(record(two), i), aceTotal(r2));
      }
      hit += p1 * stand1;
      split += p1 * (stand1 + second);
    }
    EXPECT_NEAR(result.hitEv[i], hit, 1e-13) << entryName(i);
    EXPECT_NEAR(result.splitEv[i], split, 1e-13) << entryName(i);
  }
  EXPECT_EQ(calc.shoe, Shoe(1));
}

INSTANTIATE_TEST_SUITE_P(HandValuesShoes, HandValuesAceSplit,
    testing::Values(AceSplitCase{"FullDeckS17", ShoeCounts{}, true},
                    AceSplitCase{"NoFivesH17", removed({{5, 4}, {10, 3}}), false},
                    AceSplitCase{"LastTwoAcesS17", removed({{Ace, 2}, {2, 1}, {9, 2}}), true}),
    [](const testing::TestParamInfo<AceSplitCase>& info) { return info.param.name; });

}  // namespace
