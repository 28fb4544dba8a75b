// split_perfect against the independent reference of reference_resplit.h (a
// recursion over every card order, written from the model alone): on shoes
// of 8 to 14 cards under several rule sets, three and four hands,
// resplitting aces or not, every entry the reference finds complete agrees
// to 1e-12 in both views. (The two disagree by design where a branch runs
// out of cards: the reference then deals nothing, the engine values what
// the split does.)
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "model/shoe.h"
#include "split/perfect_split.h"
#include "split/split_views.h"
#include "tests/reference_resplit.h"
#include "tests/test_support.h"

namespace {

using Counts = std::array<int, RankCount>;

struct CrossCase {
  const char* name;
  Counts shoe;  // before the pair is dealt, ace first
  Rank pair;
  int hands;
  bool resplitAces;
  RuleSet rules;
};

// Shoes rich in high cards: the reference flags an entry complete only when
// no branch of perfect play (a hard 21 may still draw) runs out of cards.
const CrossCase Cases[] = {
    {"EightsFourHandsDas", {1, 0, 0, 0, 0, 0, 1, 4, 2, 6}, 8, 4, false,
     rulesOf(true, 0, true, true, false, false, false, false, false)},
    {"EightsThreeHandsDasDan", {1, 0, 0, 1, 0, 0, 1, 3, 2, 6}, 8, 3, false,
     rulesOf(true, 0, true, true, false, false, false, false, true)},
    {"NinesFourHandsNoPeekH17", {1, 0, 0, 0, 0, 0, 1, 1, 4, 6}, 9, 4, false,
     rulesOf(false, 0, false, true, false, false, false, false, false)},
    {"TensFourHandsTenEleven", {1, 0, 0, 0, 0, 0, 0, 1, 1, 11}, Ten, 4, false,
     rulesOf(true, 1, true, true, false, false, false, false, false)},
    {"AcesFourHandsRsaOneCard", {4, 0, 0, 0, 0, 1, 1, 1, 2, 5}, Ace, 4, true,
     rulesOf(true, 0, true, false, false, false, false, false, false)},
    {"AcesThreeHandsRsaHsaDspaH17", {3, 0, 0, 0, 0, 0, 0, 1, 3, 7}, Ace, 3, true,
     rulesOf(false, 0, true, true, true, true, false, false, false)},
    {"AcesFourHandsNoRsaHsa", {3, 0, 0, 0, 0, 0, 1, 1, 2, 7}, Ace, 4, false,
     rulesOf(true, 0, true, true, true, false, false, false, false)},
    {"SevensThreeHandsCharlie5", {0, 1, 0, 0, 0, 0, 3, 1, 2, 6}, 7, 3, false,
     rulesOf(true, 0, true, true, false, false, true, false, false)},
    {"NinesThreeHandsHardOnlyNoPeekH17", {1, 0, 0, 0, 0, 1, 0, 1, 3, 6}, 9, 3, false,
     rulesOf(false, 5, false, true, false, false, false, false, false)},
    {"TensThreeHandsNoDas", {1, 0, 0, 0, 0, 0, 1, 1, 2, 8}, Ten, 3, false,
     rulesOf(true, 0, true, false, false, false, false, false, false)},
};

class ResplitCrossCheck : public testing::TestWithParam<CrossCase> {};

TEST_P(ResplitCrossCheck, PerfectPlayAgreesWithTheReferenceInBothViews) {
  const CrossCase& c = GetParam();
  Removals removed{};
  const Shoe full(1);
  for (int r = 1; r <= RankCount; ++r) removed[rankIndex(r)] = full.count(r) - c.shoe[rankIndex(r)];
  PerfectControl control;
  control.threads = 2;
  const PerfectResults engine =
      evaluatePerfectSplit(full, removed, c.pair, c.rules, {c.hands, c.resplitAces}, control);
  ASSERT_EQ(engine.run, PerfectRun::Completed);
  const reference::ResplitValues ref = reference::referenceResplit(
      c.shoe, c.pair, c.rules, c.hands, c.resplitAces, reference::ResplitStrategy::Perfect);
  int compared = 0;
  for (int i = 0; i < 11; ++i) {
    const auto u = static_cast<std::size_t>(i);
    EXPECT_EQ(engine.split.dealable[u], ref[u].dealt) << "entry " << i;
    if (!ref[u].dealt || !ref[u].complete) continue;
    const ShownValue unconditional = splitValueInView(engine.split, i, c.rules, false);
    const ShownValue conditioned = splitValueInView(engine.split, i, c.rules, true);
    EXPECT_NEAR(unconditional.value, ref[u].unconditional, 1e-12) << "entry " << i;
    EXPECT_NEAR(conditioned.value, ref[u].conditioned, 1e-12) << "entry " << i;
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

INSTANTIATE_TEST_SUITE_P(Shoes, ResplitCrossCheck, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<CrossCase>& info) { return std::string(info.param.name); });

}  // namespace
