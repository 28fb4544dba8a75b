// The infinite-deck limit of the split engine. With the largest shoe the
// engine accepts, drawing a few cards changes no probability by more than
// about 1e-8, so the two split hands no longer interact: each is worth what a
// single hand starting from the pair card is worth when every card is drawn
// with fixed probability (1/13 per rank, 4/13 for tens), for player and
// dealer alike. The split value must then be twice that single-hand value,
// against every up card and overall.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>

#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/split_calculator.h"
#include "tests/reference_dealer.h"
#include "tests/test_support.h"

namespace {

double rankProbability(int r) { return r == 10 ? 4.0 / 13.0 : 1.0 / 13.0; }

using refdealer::kBlackjack;
using refdealer::kBust;
using Dist = refdealer::DealerDist;

// The infinite deck: every draw from the same counts.
constexpr refdealer::Counts kEndlessDeck = {1, 1, 1, 1, 1, 1, 1, 1, 1, 4};

// One post-split hand played optimally for itself from an infinite deck.
class InfiniteDeckHand {
 public:
  explicit InfiniteDeckHand(const RuleSet& rules) : rules_(rules) {
    refdealer::DealerReference dealer(rules.standsOnSoft17, true);
    refdealer::Counts deck = kEndlessDeck;
    for (int u = 1; u <= 10; ++u) byUp_[u] = dealer.givenUpCard(deck, u);
    overall_ = dealer.overall(deck);
  }

  // Dealer distribution given up card u, or before the up card is known (u = 0).
  const Dist& dealer(int u) const { return u == 0 ? overall_ : byUp_[u]; }

  // EV of one split hand holding the pair card alone: the first card is
  // forced, then the hand takes the best of stand, hit and double.
  double value(int pair, int u) {
    d_ = &dealer(u);
    memo_.clear();
    double v = 0.0;
    for (int r = 1; r <= 10; ++r) v += rankProbability(r) * best(pair, pair, pair == 1, 1, r);
    return v;
  }

 private:
  bool charlie(int cards) const {
    return (rules_.charlie5 && cards >= 5) || (rules_.charlie6 && cards >= 6);
  }

  // A finished hand with the given stake against the dealer.
  double score(int hard, bool ace, int cards, int stake) const {
    const Dist& d = *d_;
    double v = d[kBlackjack] * (rules_.peeks() ? -1.0 : -static_cast<double>(stake));
    const double notBlackjack = d[0] + d[1] + d[2] + d[3] + d[4] + d[kBust];
    if (hard > 21) return v - stake * notBlackjack;
    if (charlie(cards)) return v + stake * notBlackjack;
    const int e = (ace && hard <= 11) ? hard + 10 : hard;
    v += stake * d[kBust];
    for (int t = 17; t <= 21; ++t) {
      if (e > t) v += stake * d[t - 17];
      if (e < t) v -= stake * d[t - 17];
    }
    return v;
  }

  bool canDouble(int pair, int hard, bool ace, int cards) const {
    if (rules_.doubleRule == DoubleRule::NoDoubling || !rules_.das || cards == 1) return false;
    if (pair == 1 && !rules_.dspa) return false;
    if (cards > 2 && !rules_.dan) return false;
    const bool isHard = !(ace && hard <= 11);
    switch (rules_.doubleRule) {
      case DoubleRule::AnyTwoCards: return true;
      case DoubleRule::Hard10or11: return isHard && hard >= 10;
      case DoubleRule::Hard9to11: return isHard && hard >= 9;
      case DoubleRule::Hard10or11AndSoft: return !isHard || hard >= 10;
      case DoubleRule::Hard9to11AndSoft: return !isHard || hard >= 9;
      case DoubleRule::HardOnly: return isHard;
      default: return false;
    }
  }

  // Best value after drawing card r to a hand (hard, ace, cards).
  double best(int pair, int hard, bool ace, int cards, int r) {
    hard += r;
    ace = ace || r == 1;
    ++cards;
    if (hard > 21) return -1.0;
    if (pair == 1 && !rules_.hsa) return score(hard, ace, cards, 1);
    const auto key = std::make_tuple(hard, ace, cards > 6 ? 6 : cards);
    auto it = memo_.find(key);
    if (it != memo_.end()) return it->second;
    double bestValue = score(hard, ace, cards, 1);
    if (canDouble(pair, hard, ace, cards)) {
      double dbl = 0.0;
      for (int c = 1; c <= 10; ++c)
        dbl += rankProbability(c) * score(hard + c, ace || c == 1, cards + 1, 2);
      if (dbl > bestValue) bestValue = dbl;
    }
    double hit = 0.0;
    for (int c = 1; c <= 10; ++c) hit += rankProbability(c) * best(pair, hard, ace, cards, c);
    if (hit > bestValue) bestValue = hit;
    memo_.emplace(key, bestValue);
    return bestValue;
  }

  RuleSet rules_;
  std::array<Dist, 11> byUp_{};
  Dist overall_{};
  const Dist* d_ = nullptr;
  std::map<std::tuple<int, bool, int>, double> memo_;
};

// ---- the single-hand evaluator on its own ---------------------------------

TEST(SplitLimitReference, DealerDistributionsAreComplete) {
  for (bool s17 : {true, false}) {
    InfiniteDeckHand h(makeRules(s17, DoubleRule::AnyTwoCards, true, true));
    for (int u = 0; u <= 10; ++u) {
      double sum = 0.0;
      for (double p : h.dealer(u)) sum += p;
      EXPECT_NEAR(sum, 1.0, 1e-14) << "up card " << u;
    }
    EXPECT_NEAR(h.dealer(1)[kBlackjack], 4.0 / 13.0, 1e-15);
    EXPECT_NEAR(h.dealer(10)[kBlackjack], 1.0 / 13.0, 1e-15);
    for (int u = 2; u <= 9; ++u) EXPECT_EQ(h.dealer(u)[kBlackjack], 0.0);
    EXPECT_NEAR(h.dealer(0)[kBlackjack], 2.0 * 4.0 / 169.0, 1e-15);
  }
}

TEST(SplitLimitReference, SplitAcesWithoutHittingTakeOneCard) {
  // Each ace stands on its second card: tens make 21 (no blackjack), an ace
  // makes soft 12, r makes soft 11 + r.
  RuleSet rules = makeRules(true, DoubleRule::AnyTwoCards, true, true);
  InfiniteDeckHand h(rules);
  // Against a 6 nothing is doubled or hit; the value is the mean stand value
  // over the second card, which is above zero but below 1 (the dealer can
  // make hands beating soft 12..20).
  const double v6 = h.value(1, 6);
  EXPECT_GT(v6, 0.0);
  EXPECT_LT(v6, 1.0);
  // With hitting allowed the hand can only gain.
  rules.hsa = true;
  InfiniteDeckHand hit(rules);
  for (int u = 0; u <= 10; ++u) EXPECT_GE(hit.value(1, u) + 1e-15, h.value(1, u)) << u;
}

// ---- the engine against the limit ----------------------------------------

struct LimitCase {
  std::string name;
  int pair;
  RuleSet rules;
};

void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }

std::string limitName(const testing::TestParamInfo<LimitCase>& info) { return info.param.name; }

class SplitLimit : public testing::TestWithParam<LimitCase> {};

void checkAgainstOneHand(const LimitCase& c) {
  Shoe shoe(MaxDecks);
  SplitCalculator calc(shoe, c.rules);
  Removals none{};
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(calc.evaluateSplit(none, static_cast<Rank>(c.pair)).run, SplitRun::Completed);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  testing::Test::RecordProperty("engine_seconds", shortNumber(seconds));

  InfiniteDeckHand oneHand(c.rules);
  double worst = 0.0;
  for (int u = 0; u <= 10; ++u) {
    const double expected = 2.0 * oneHand.value(c.pair, u);
    const double got = calc.pairHand.splitEv[u];
    EXPECT_NEAR(got, expected, 1e-7) << (u == 0 ? "overall" : "up card " + std::to_string(u));
    worst = std::max(worst, std::abs(got - expected));
  }
  testing::Test::RecordProperty("max_difference", shortNumber(worst));
}

TEST_P(SplitLimit, EachUpCardIsTwiceOneHand) { checkAgainstOneHand(GetParam()); }

RuleSet withFlags(RuleSet r, bool hsa, bool dspa, bool dan, bool c5 = false) {
  r.hsa = hsa;
  r.dspa = dspa;
  r.dan = dan;
  r.charlie5 = c5;
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    SplitLimitMaximumShoe, SplitLimit,
    testing::Values(
        LimitCase{"Sixes_H17_NoDAS_NoPeek", 6, makeRules(false, DoubleRule::AnyTwoCards, false, false)},
        LimitCase{"Eights_S17_DAS_DAN_NoPeek", 8,
                  withFlags(makeRules(true, DoubleRule::AnyTwoCards, true, false), false, false, true)},
        LimitCase{"Nines_H17_Hard9to11AndSoft_DAS_Charlie5", 9,
                  withFlags(makeRules(false, DoubleRule::Hard9to11AndSoft, true, true), false, false, false,
                            true)},
        LimitCase{"Tens_S17_DAS_DAN_Peek", 10,
                  withFlags(makeRules(true, DoubleRule::AnyTwoCards, true, true), false, false, true)},
        LimitCase{"Aces_S17_NoHSA", 1, makeRules(true, DoubleRule::AnyTwoCards, true, true)},
        LimitCase{"Aces_H17_NoHSA_NoPeek", 1, makeRules(false, DoubleRule::AnyTwoCards, true, false)}),
    limitName);

// Small pairs and hitting split aces have many more hand compositions: at
// the maximum shoe they take about a minute each, so they form their own
// group for a quick run to leave out.
class SplitLimitSlow : public SplitLimit {};

TEST_P(SplitLimitSlow, EachUpCardIsTwiceOneHand) { checkAgainstOneHand(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    SplitLimitMaximumShoe, SplitLimitSlow,
    testing::Values(
        LimitCase{"Twos_S17_DAS_Peek", 2, makeRules(true, DoubleRule::AnyTwoCards, true, true)},
        LimitCase{"Aces_H17_HSA_DSPA_DAS", 1,
                  withFlags(makeRules(false, DoubleRule::AnyTwoCards, true, true), true, true, false)}),
    limitName);

}  // namespace
