// Exact cross-check of the engine's whole split decision against the
// reference evaluator of reference_split.h: on the cross-check's small
// one-deck shoes under every rule set, the split, the split with the first
// hand played for both hands, and the pair kept as one hand (stand, hit,
// double and whether it may double), every dealable up card and overall, to
// 1e-12; and the best action those values give.
//
// The shoes are the split cross-check's (refsplit::cases): no shoe can run
// out, and no first-hand decision of the split is an exact tie between
// actions that lead to different second-hand values. The unsplit hand and
// the joint play have no such ties to fear: their values are maxima, which
// rounding moves by rounding only.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/split_calculator.h"
#include "split/split_results.h"
#include "tests/reference_split.h"

namespace {

using refsplit::Action;
using refsplit::DecisionReference;
using refsplit::SplitReferenceEvaluator;
using refsplit::cases::CrossCase;

std::string caseName(const testing::TestParamInfo<CrossCase>& info) { return info.param.name; }

// The reference's value of an action at entry u.
std::optional<double> referenceValue(const DecisionReference& r, int u, Action a) {
  switch (a) {
    case Action::Stand: return r.stand[u];
    case Action::Hit: return r.hit[u];
    case Action::Double: return r.doubleAt(u);
    case Action::Split: return r.split.splitEv[u];
  }
  return std::nullopt;
}

class DecisionCrossCheck : public testing::TestWithParam<CrossCase> {};

TEST_P(DecisionCrossCheck, EveryQuantityAtEveryUpCardAndOverallAgrees) {
  const CrossCase& c = GetParam();
  const Removals removals = c.removals();
  for (int n : removals) ASSERT_GE(n, 0);
  const refsplit::Counts afterPair = c.afterPair();
  ASSERT_GE(afterPair[c.pair - 1], 0);
  ASSERT_GE(refsplit::cases::valueSum(afterPair), 88 - 2 * c.pair) << "shoe could run out";

  SplitReferenceEvaluator reference(c.rules, refsplit::cases::dealerMemo(c.rules.standsOnSoft17));
  const DecisionReference expected = reference.evaluateDecision(afterPair, c.pair);
  ASSERT_EQ(expected.split.nearTies, 0) << "first-hand tie: pick another shoe";

  Shoe shoe(1);
  SplitCalculator calc(shoe, c.rules);
  const SplitDecision got = calc.evaluateDecision(removals, static_cast<Rank>(c.pair));
  ASSERT_EQ(got.split.run, SplitRun::Completed);
  EXPECT_EQ(calc.shoe, Shoe(1)) << "shoe not restored";
  EXPECT_TRUE(got.split.complete);
  EXPECT_TRUE(got.unsplitComplete);
  ASSERT_EQ(got.doubleAllowed, expected.doubleAllowed);

  double worst = 0.0;
  auto expectClose = [&](const char* what, double engine, double ref, const std::string& where) {
    EXPECT_NEAR(engine, ref, 1e-12) << what << ", " << where;
    worst = std::max(worst, std::abs(engine - ref));
  };
  for (int u = 0; u <= 10; ++u) {
    if (!expected.split.dealable[u]) continue;
    const std::string where = entryName(u);
    EXPECT_TRUE(got.split.dealable[u]) << where;
    expectClose("split", got.split.ev[u], expected.split.splitEv[u], where);
    expectClose("split_joint", got.splitJoint[u], expected.splitJoint[u], where);
    expectClose("stand", got.stand[u], expected.stand[u], where);
    expectClose("hit", got.hit[u], expected.hit[u], where);
    if (expected.doubleAllowed) expectClose("double", got.doubled[u], expected.doubled[u], where);
    EXPECT_GE(got.splitJoint[u], got.split.ev[u] - 1e-12) << where;

    // The best action of the engine's values: the reference's, or one worth
    // the same to 1e-9 where the reference's values nearly tie.
    const std::optional<double> engineDouble =
        got.doubleAllowed ? std::optional<double>(got.doubled[u]) : std::nullopt;
    const Action best = refsplit::bestAction(got.stand[u], got.hit[u], engineDouble, got.split.ev[u]);
    if (best != expected.best[u]) {
      const std::optional<double> mine = referenceValue(expected, u, best);
      const double top = *referenceValue(expected, u, expected.best[u]);
      EXPECT_TRUE(mine && std::abs(*mine - top) < 1e-9)
          << where << ": engine values pick " << refsplit::actionName(best) << ", reference "
          << refsplit::actionName(expected.best[u]);
    }
  }
  RecordProperty("max_difference", shortNumber(worst));
}

INSTANTIATE_TEST_SUITE_P(DecisionCrossCheckSmallShoes, DecisionCrossCheck,
                         testing::ValuesIn(refsplit::cases::crossCheckCases()), caseName);

}  // namespace
