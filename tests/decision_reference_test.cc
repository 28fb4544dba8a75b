// The reference evaluator's whole-decision values (reference_split.h) on
// their own: exact values worked by hand, rule edges, and the invariants
// of playing the split's first hand for both hands.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "model/rule_set.h"
#include "tests/reference_split.h"

namespace {

using refsplit::Action;
using refsplit::Counts;
using refsplit::DecisionReference;
using refsplit::SplitReferenceEvaluator;
using refsplit::cases::dealerMemo;

DecisionReference decide(const RuleSet& rules, const Counts& afterPair, int pair) {
  return SplitReferenceEvaluator(rules, dealerMemo(rules.standsOnSoft17)).evaluateDecision(afterPair, pair);
}

struct Expected {
  int entry;
  double stand, hit;
  std::optional<double> dbl;
  double split, joint;
  Action best;
};

void expectEntry(const DecisionReference& r, const Expected& e, double tolerance) {
  const int u = e.entry;
  SCOPED_TRACE(entryName(u));
  ASSERT_TRUE(r.split.dealable[u]);
  EXPECT_NEAR(r.stand[u], e.stand, tolerance);
  EXPECT_NEAR(r.hit[u], e.hit, tolerance);
  ASSERT_EQ(r.doubleAt(u).has_value(), e.dbl.has_value());
  if (e.dbl) {
    EXPECT_NEAR(*r.doubleAt(u), *e.dbl, tolerance);
  }
  EXPECT_NEAR(r.split.splitEv[u], e.split, tolerance);
  EXPECT_NEAR(r.splitJoint[u], e.joint, tolerance);
  EXPECT_EQ(r.best[u], e.best) << refsplit::actionName(r.best[u]);
}

// A pair of tens over two aces and six tens; S17, any two cards, DAS, peek.
// With aces and tens only, the dealer ends on 20 (ten, ten), blackjack (ace
// and ten) or busts (ace, ace, ten, ten).
//
// Against a ten (A2 T5 left): the hole card decides, ace blackjack, ten 20.
//  unsplit 20: stand -2/7. Hit: ace (2/7) makes 21, which stands for
//  (5 - 1)/6; a ten busts: 2/7 x 2/3 - 5/7 = -11/21. Double: ace for
//  (2x5 - 1)/6 = 3/2, ten busts for -(2x4 + 2)/6 = -5/3: -16/21.
//  split: hand 1 ten, ace (2/7) doubles (own 5/6 over stand 2/3 and hit
//  1/3); both hands then total 1. Hand 1 ten, ten (5/7) stands (own -1/3
//  over hit -7/15); the second hand is worth -1/15: -2/5. Split
//  2/7 - 2/7 = 0.
//  joint: hitting hand 1's 20 costs it (-7/15) but leaves the second hand
//  more (after an ace: 3/5 + 1/5; after a bust: -1 + 1/10), -1/3 for both
//  hands against -2/5: 2/7 + 5/7 x (-1/3) = 1/21.
// Overall (n cards left, a aces, t tens): dealer 20 with t(t-1)/n(n-1),
// blackjack 2at/n(n-1), bust a(a-1)/n(n-1).
//  unsplit: stand (2 - 24)/56 = -11/28. Hit: an ace (1/4) makes 21, worth
//  1 - 2 x 12/42 = 3/7: -9/14. Double: ace 2 - 3 x 12/42 = 8/7, ten busts
//  for -2 + 20/42: -6/7.
//  split: hand 1 ten, ace (1/4) doubles for 4/7 (second hand then 0); ten,
//  ten (3/4) stands for -3/7 with a second hand of -5/21: 1/7 - 1/2 = -5/14.
//  Playing hand 1 for both hands changes no decision here: joint -5/14.
TEST(DecisionReference, TensOverAcesAndTensWorkedByHand) {
  const RuleSet rules = makeRules(true, DoubleRule::AnyTwoCards, true, true);
  const DecisionReference r = decide(rules, {2, 0, 0, 0, 0, 0, 0, 0, 0, 6}, 10);
  ASSERT_EQ(r.split.nearTies, 0);
  const std::vector<Expected> table = {
      {10, -2.0 / 7, -11.0 / 21, -16.0 / 21, 0.0, 1.0 / 21, Action::Split},
      {0, -11.0 / 28, -9.0 / 14, -6.0 / 7, -5.0 / 14, -5.0 / 14, Action::Split},
  };
  for (const Expected& e : table) expectEntry(r, e, 1e-15);
}

// A pair of fours over sixteen fours: every hand is fours only and the
// dealer always makes 20 with five cards. The unsplit pair reaches 20 with
// three more cards (five with the pair); a split hand needs four more.
// Values are exact, so the tie rules of the best action show: hit before
// split at equal value.
TEST(DecisionReference, AllFoursCharlieAndLaterDoubles) {
  const Counts fours = {0, 0, 0, 16, 0, 0, 0, 0, 0, 0};
  struct Row {
    std::string name;
    void (*edit)(RuleSet&);
    double hit, split;
    Action best;
  };
  const std::vector<Row> rows = {
      // Hitting to 20 pushes, one more card busts.
      {"plain", [](RuleSet&) {}, 0.0, 0.0, Action::Hit},
      // The unsplit 20 is a five-card charlie, and so is each split 20.
      {"charlie5", [](RuleSet& r) { r.charlie5 = true; }, 1.0, 2.0, Action::Split},
      // Six cards make 24.
      {"charlie6", [](RuleSet& r) { r.charlie6 = true; }, 0.0, 0.0, Action::Hit},
      // The unsplit hand doubles its four-card 16 into a charlie; split hands may not.
      {"charlie5_DAN", [](RuleSet& r) { r.charlie5 = r.dan = true; }, 2.0, 2.0, Action::Hit},
      {"charlie5_DAN_DAS", [](RuleSet& r) { r.charlie5 = r.dan = r.das = true; }, 2.0, 4.0, Action::Split},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const RuleSet rules = rulesWith(makeRules(true, DoubleRule::AnyTwoCards, false, true), row.edit);
    const DecisionReference r = decide(rules, fours, 4);
    // Standing on 8 loses to 20; doubling makes 12.
    for (int u : {0, 4}) expectEntry(r, {u, -1.0, row.hit, -2.0, row.split, row.split, row.best}, 0.0);
  }
}

// Whether the unsplit pair may double: the split hands' rule table, every
// hard total from 10 up under the "10 or 11" rules, and no say for DAS, HSA
// or DSpA. Flipping those three leaves every unsplit value as it was.
TEST(DecisionReference, UnsplitDoubleFollowsTheTableOnly) {
  const Counts shoe = {1, 1, 1, 1, 1, 1, 1, 1, 1, 7};  // less the pair
  struct Row {
    int pair;
    DoubleRule rule;
    bool allowed;
  };
  const std::vector<Row> rows = {
      {8, DoubleRule::Hard10or11, true},          // hard 16
      {10, DoubleRule::Hard9to11, true},          // hard 20
      {4, DoubleRule::Hard9to11, false},          // hard 8
      {2, DoubleRule::HardOnly, true},            // hard 4
      {2, DoubleRule::Hard10or11AndSoft, false},  // hard 4
      {1, DoubleRule::AnyTwoCards, true},         // soft 12, without DSpA
      {1, DoubleRule::HardOnly, false},
      {1, DoubleRule::Hard10or11, false},
      {1, DoubleRule::Hard9to11AndSoft, true},
      {9, DoubleRule::NoDoubling, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("pair " + std::to_string(row.pair) + " rule " + std::to_string(static_cast<int>(row.rule)));
    const RuleSet plain = makeRules(true, row.rule, false, true);
    const RuleSet splitRules = rulesWith(plain, [](RuleSet& r) { r.das = r.hsa = r.dspa = true; });
    const DecisionReference a = decide(plain, shoe, row.pair);
    const DecisionReference b = decide(splitRules, shoe, row.pair);
    EXPECT_EQ(a.doubleAllowed, row.allowed);
    EXPECT_EQ(b.doubleAllowed, row.allowed);
    for (int u = 0; u <= 10; ++u) {
      if (!a.split.dealable[u]) continue;
      EXPECT_EQ(a.doubleAt(u).has_value(), row.allowed) << entryName(u);
      if (!row.allowed) {
        EXPECT_NE(a.best[u], Action::Double) << entryName(u);
      }
      EXPECT_EQ(a.stand[u], b.stand[u]) << entryName(u);
      EXPECT_EQ(a.hit[u], b.hit[u]) << entryName(u);
      EXPECT_EQ(a.doubleAt(u), b.doubleAt(u)) << entryName(u);
    }
  }
}

// Playing the first hand for both hands can only gain, and gains nothing
// where it has no choice (split aces without HSA). On one rule set per kind
// (plain, charlie, aces with and without HSA) over every cross-check deck.
TEST(DecisionReference, JointPlayNeverLosesAndNeedsAChoice) {
  const std::vector<std::string> ruleNames = {"S17_Any_DAS", "H17_NoPeek_NoDAS", "S17_Charlie5", "S17_NoHSA",
                                              "H17_NoHSA_DSPA_NoPeek", "H17_HSA_DSPA"};
  int cases = 0;
  int gains = 0;
  for (const refsplit::cases::CrossCase& c : refsplit::cases::crossCheckCases()) {
    bool wanted = false;
    for (const std::string& n : ruleNames) wanted = wanted || c.name.ends_with("_" + n);
    if (!wanted) continue;
    ++cases;
    SCOPED_TRACE(c.name);
    const DecisionReference r = decide(c.rules, c.afterPair(), c.pair);
    const bool noChoice = c.pair == 1 && !c.rules.hsa;
    for (int u = 0; u <= 10; ++u) {
      if (!r.split.dealable[u]) continue;
      if (noChoice) {
        EXPECT_EQ(r.splitJoint[u], r.split.splitEv[u]) << entryName(u);
      } else {
        EXPECT_GE(r.splitJoint[u], r.split.splitEv[u] - 1e-12) << entryName(u);
      }
      if (r.splitJoint[u] > r.split.splitEv[u] + 1e-9) ++gains;
    }
  }
  EXPECT_EQ(cases, 8 * 3 + 2 * 3);
  EXPECT_GT(gains, 0);
}

}  // namespace
