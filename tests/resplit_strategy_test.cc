// Split values under CDZ- and CDP1 with resplits: the published figures,
// and an exact cross-check against the resplit reference (a recursion over
// every card order, written from the model alone) on shoes of 8 to 14 cards.

#include "split/resplit_strategy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "split/perfect_split.h"
#include "split/split_calculator.h"
#include "split/split_views.h"
#include "tests/reference_resplit.h"
#include "tests/reference_split.h"

namespace {

using Counts = std::array<int, RankCount>;

Removals removalsLeaving(const Counts& left) {
  Removals removals{};
  for (int r = 0; r < RankCount; ++r) removals[static_cast<std::size_t>(r)] = (r == 9 ? 16 : 4) - left[static_cast<std::size_t>(r)];
  return removals;
}

// The published figures, every digit as published, each to half a unit of
// its last digit; the sixteen-digit figure to one unit: its exact value,
// worked out in rational arithmetic, is 0.11898186839478861720..., so its
// last digit is one unit low (the publishing program's rounding). The
// exact value is checked too, to two units in the last place.
struct Published {
  const char* name;
  Counts left;  // one deck after the removals, pair cards and up card included
  RuleSet rules;
  int hands;
  bool cdz;
  int up;
  double value;  // as published
  double tolerance;
  bool complete;  // no order of the cards runs the round out
};

RuleSet publishedRules(bool das, DoubleRule doubling) {
  RuleSet rules;
  rules.das = das;
  rules.doubleRule = doubling;
  return rules;
}

const Counts kSmallShoe = {0, 4, 4, 2, 0, 0, 2, 0, 0, 7};
const Counts kOneDeck = {4, 4, 4, 4, 4, 4, 4, 4, 4, 16};

TEST(StrategyResplit, ReproducesThePublishedFigures) {
  const Published cases[] = {
      {"small shoe, CDZ-, 4 hands", kSmallShoe, publishedRules(true, DoubleRule::AnyTwoCards), 4, true, 7,
       -0.76210220335, 0.5e-11, false},
      // What resplitting only when the strategy says split gives at every H.
      {"small shoe, CDZ-, 2 hands", kSmallShoe, publishedRules(true, DoubleRule::AnyTwoCards), 2, true, 7,
       -0.60392038517, 0.5e-11, true},
      {"one deck, CDZ-, split once, no DAS", kOneDeck, publishedRules(false, DoubleRule::AnyTwoCards), 2, true, 6,
       0.1189818683947885, 1.5e-16, true},
      {"the same, exact", kOneDeck, publishedRules(false, DoubleRule::AnyTwoCards), 2, true, 6, 0.1189818683947886172,
       3e-17, true},
      {"one deck, CDZ-, double 9-11, DAS", kOneDeck, publishedRules(true, DoubleRule::Hard9to11), 2, true, 6, 0.2587,
       0.5e-4, true},
      {"one deck, CDP1, double 9-11, DAS", kOneDeck, publishedRules(true, DoubleRule::Hard9to11), 2, false, 6, 0.2656,
       0.5e-4, true},
  };
  for (const Published& c : cases) {
    SplitCalculator calc(Shoe(1), c.rules);
    const StrategyResplitResults r = evaluateStrategyResplits(calc, removalsLeaving(c.left), 2, {c.hands, false});
    const SplitResults& got = c.cdz ? r.cdz : r.cdp1;
    ASSERT_EQ(got.run, SplitRun::Completed) << c.name;
    EXPECT_NEAR(got.ev[static_cast<std::size_t>(c.up)], c.value, c.tolerance) << c.name;
    EXPECT_EQ(got.complete, c.complete) << c.name;
  }
  // The small shoe's pair kept as one hand, as published beside it.
  SplitCalculator calc(Shoe(1), publishedRules(true, DoubleRule::AnyTwoCards));
  const SplitDecision kept = calc.evaluateDecision(removalsLeaving(kSmallShoe), 2);
  EXPECT_NEAR(kept.stand[7], -0.61639194139, 0.5e-11);
  EXPECT_NEAR(kept.hit[7], -0.13266733267, 0.5e-11);
  EXPECT_NEAR(kept.doubled[7], -1.23278388278, 0.5e-11);
}

// Shoes of 8 to 14 cards (after the removals, pair cards and up cards
// included) with pair cards left to resplit, chosen for few exact ties in
// the strategies.
struct SmallDeck {
  const char* name;
  int pair;
  Counts left;
};

const SmallDeck kSmallDecks[] = {
    {"Twos", 2, {0, 4, 1, 1, 1, 1, 1, 1, 1, 3}},    // 14 cards
    {"Sevens", 7, {0, 0, 1, 1, 2, 1, 4, 0, 3, 2}},  // 14 cards
    {"Eights", 8, {0, 1, 0, 1, 0, 1, 1, 4, 3, 2}},  // 13 cards
    {"Nines", 9, {0, 0, 2, 1, 1, 1, 2, 1, 4, 1}},   // 13 cards
    {"Tens", 10, {1, 0, 0, 1, 1, 1, 1, 0, 3, 5}},   // 13 cards
    {"Aces", 1, {4, 0, 1, 1, 1, 1, 1, 1, 3, 1}},    // 14 cards
};

struct CrossCase {
  std::string name;
  SmallDeck deck;
  RuleSet rules;
  int hands;
  bool resplitAces;
};

void PrintTo(const CrossCase& c, std::ostream* os) { *os << c.name; }

std::vector<CrossCase> crossCases() {
  std::vector<CrossCase> out;
  for (const SmallDeck& d : kSmallDecks) {
    const std::vector<refsplit::cases::NamedRules> rules =
        d.pair == 1 ? refsplit::cases::aceRules() : refsplit::cases::generalRules();
    for (std::size_t k = 0; k < rules.size(); k += d.pair == 1 ? 2 : 3)
      for (int hands = 2; hands <= 4; ++hands)
        for (bool rsa : {false, true}) {
          if (rsa && d.pair != 1) continue;
          out.push_back({std::string(d.name) + "_" + rules[k].name + "_H" + std::to_string(hands) + (rsa ? "_RSA" : ""),
                         d, rules[k].rules, hands, rsa});
        }
  }
  return out;
}

class StrategyResplitCrossCheck : public testing::TestWithParam<CrossCase> {};

// Every entry the reference finds complete and free of near ties, both
// views, to 1e-12; and the completeness flag. Perfect play is worth at least
// either strategy wherever the round is complete.
TEST_P(StrategyResplitCrossCheck, EveryEntryAgreesWithTheReference) {
  const CrossCase& c = GetParam();
  SplitCalculator calc(Shoe(1), c.rules);
  const Rank pair = static_cast<Rank>(c.deck.pair);
  const StrategyResplitResults got =
      evaluateStrategyResplits(calc, removalsLeaving(c.deck.left), pair, {c.hands, c.resplitAces});
  ASSERT_EQ(got.cdz.run, SplitRun::Completed);
  EXPECT_EQ(calc.shoe, Shoe(1));
  const PerfectResults perfect = evaluatePerfectSplit(Shoe(1), removalsLeaving(c.deck.left), pair, c.rules,
                                                      {c.hands, c.resplitAces}, PerfectControl{});
  ASSERT_EQ(perfect.run, PerfectRun::Completed);
  int compared = 0;
  for (bool cdz : {true, false}) {
    const SplitResults& r = cdz ? got.cdz : got.cdp1;
    const reference::ResplitValues expected =
        reference::referenceResplit(c.deck.left, pair, c.rules, c.hands, c.resplitAces,
                                    cdz ? reference::ResplitStrategy::CdzMinus : reference::ResplitStrategy::Cdp1);
    bool complete = true;
    for (int up = 0; up <= RankCount; ++up) {
      const reference::ResplitEntry& e = expected[static_cast<std::size_t>(up)];
      ASSERT_EQ(r.dealable[static_cast<std::size_t>(up)], e.dealt) << "entry " << up;
      if (!e.dealt) continue;
      complete = complete && e.complete;
      if (!e.complete) continue;
      EXPECT_GE(perfect.split.ev[static_cast<std::size_t>(up)], r.ev[static_cast<std::size_t>(up)] - 1e-12)
          << (cdz ? "CDZ- " : "CDP1 ") << "entry " << up << ": above perfect play";
      if (e.tieSensitive) continue;
      ++compared;
      for (bool conditioned : {false, true}) {
        const ShownValue shown = splitValueInView(r, up, c.rules, conditioned);
        ASSERT_TRUE(shown.shown);
        EXPECT_NEAR(shown.value, conditioned ? e.conditioned : e.unconditional, 1e-12)
            << (cdz ? "CDZ- " : "CDP1 ") << "entry " << up << (conditioned ? " conditioned" : "");
      }
    }
    EXPECT_EQ(r.complete, complete) << (cdz ? "CDZ-" : "CDP1");
  }
  RecordProperty("entries_compared", compared);
}

INSTANTIATE_TEST_SUITE_P(SmallShoes, StrategyResplitCrossCheck, testing::ValuesIn(crossCases()),
                         [](const testing::TestParamInfo<CrossCase>& info) { return info.param.name; });

}  // namespace
