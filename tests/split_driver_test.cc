// The split driver as a whole: what a run leaves behind (shoe, results,
// cache), when it refuses, how it behaves on shoes that a rank has run out
// of, the relation between the overall entry and the per-up-card entries,
// and a clean abandon when memory runs out.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/player_hand_state.h"
#include "split/split_calculator.h"
#include "tests/test_support.h"
#include "tests/reference_split.h"
#include "tests/sanitizers.h"

namespace {

bool sameBits(const ValueVector& a, const ValueVector& b) { return std::memcmp(a.data(), b.data(), sizeof(a)) == 0; }

// Every value and choice of two lone-pair-card states, bit for bit.
void expectSameResults(const PlayerHandState& a, const PlayerHandState& b, const std::string& what) {
  SCOPED_TRACE(what);
  EXPECT_EQ(a.pairRank, b.pairRank);
  EXPECT_EQ(a.hand.counts, b.hand.counts);
  EXPECT_TRUE(sameBits(a.splitEv, b.splitEv)) << "splitEv";
  EXPECT_TRUE(sameBits(a.hitEv, b.hitEv)) << "hitEv";
  EXPECT_TRUE(sameBits(a.standEv, b.standEv)) << "standEv";
  EXPECT_TRUE(sameBits(a.doubleEv, b.doubleEv)) << "doubleEv";
  EXPECT_EQ(std::memcmp(a.otherOverall, b.otherOverall, sizeof(a.otherOverall)), 0) << "second-hand quantities";
  EXPECT_EQ(std::memcmp(a.otherByUpCard, b.otherByUpCard, sizeof(a.otherByUpCard)), 0) << "second-hand quantities";
  EXPECT_EQ(a.best, b.best);
  EXPECT_EQ(a.bestVs, b.bestVs);
}

// The shoe both split hands draw from: full counts less removals and pair.
ShoeCounts shoeAfterPair(const Shoe& full, const Removals& removals, int pair) {
  ShoeCounts left = full.fullCounts;
  for (int i = 0; i < RankCount; ++i) left[i] -= removals[i];
  left[rankIndex(pair)] -= 2;
  return left;
}

// Chance of up card u from those counts.
double upCardChance(const ShoeCounts& left, int u) {
  int n = 0;
  for (int x : left) n += x;
  return static_cast<double>(left[rankIndex(u)]) / static_cast<double>(n);
}

// ---------------------------------------------------------------------------
// What a run leaves behind.

struct RunCase {
  const char* name;
  std::int32_t decks;
  int pair;
  int otherPair;  // run in between; must still have two cards after the removals
  Removals removals;
  RuleSet rules;
};

void PrintTo(const RunCase& c, std::ostream* os) {
  *os << c.name << ": pair " << c.pair << " (and " << c.otherPair << "), " << c.decks
      << (c.decks == 1 ? " deck" : " decks") << ", removed " << countsText(c.removals) << ", "
      << rulesName(c.rules);
}

std::vector<RunCase> runCases() {
  return {
      {"TensOneAceOut", 1, 10, Ace, removed({{Ace, 1}, {9, 3}}), rulesWith([](RuleSet& r) { r.das = true; })},
      {"AcesNoHsa", 1, Ace, 10, removed({{5, 2}, {10, 4}}), rulesWith([](RuleSet& r) { r.das = true; })},
      {"AcesHsaDspaH17", 1, Ace, 10, removed({{2, 4}, {3, 4}, {4, 2}}), rulesWith([](RuleSet& r) {
         r.das = true;
         r.hsa = true;
         r.dspa = true;
         r.standsOnSoft17 = false;
       })},
      {"TensNoPeekCharlie5", 1, Ten, Ace, removed({{Ace, 1}, {2, 3}, {3, 2}, {9, 3}}), rulesWith([](RuleSet& r) {
         r.das = true;
         r.dealerBjRule = DealerBjRule::NoPeek;
         r.charlie5 = true;
       })},
      {"FivesDanNoSixes", 1, 5, 10, removed({{2, 3}, {3, 3}, {4, 1}, {6, 4}, {10, 4}}), rulesWith([](RuleSet& r) {
         r.das = true;
         r.dan = true;
         r.doubleRule = DoubleRule::Hard9to11AndSoft;
       })},
      {"NinesLastTwo", 1, 9, 10, removed({{9, 2}, {2, 2}}), RuleSet{}},
      {"EightsTwoDecksThinned", 2, 8, 6, removed({{2, 8}, {3, 8}, {4, 8}, {5, 6}, {10, 20}}),
       rulesWith([](RuleSet& r) { r.das = true; })},
  };
}

// The cheaper ones, for the tests that run a case several times.
std::vector<RunCase> repeatCases() {
  std::vector<RunCase> out;
  for (const RunCase& c : runCases()) {
    const std::string name = c.name;
    if (name == "AcesHsaDspaH17" || name == "TensNoPeekCharlie5" || name == "EightsTwoDecksThinned") out.push_back(c);
  }
  return out;
}

class SplitDriverRun : public testing::TestWithParam<RunCase> {};

// The shoe comes back exactly as it went in (every count, both totals and
// the deck count), the first hand's lone pair card is left behind, and the
// results carry the dealer-blackjack chances of the shoe less the removals
// and both pair cards.
TEST_P(SplitDriverRun, RestoresShoeAndLeavesLonePairCard) {
  const RunCase& c = GetParam();
  SplitCalculator calc(Shoe(c.decks), c.rules);
  const Shoe before = calc.shoe;
  const SplitResults results = calc.evaluateSplit(c.removals, static_cast<Rank>(c.pair));
  ASSERT_EQ(results.run, SplitRun::Completed);
  EXPECT_EQ(calc.shoe, before);
  EXPECT_TRUE(results.complete);

  const PlayerHandState& s = calc.pairHand;
  EXPECT_EQ(s.pairRank, c.pair);
  EXPECT_EQ(s.hand.cardCount, 1);
  EXPECT_EQ(s.hand.hardTotal, c.pair);
  HandCounts lone{};
  lone[rankIndex(c.pair)] = 1;
  EXPECT_EQ(s.hand.counts, lone);

  const ShoeCounts left = shoeAfterPair(calc.shoe, c.removals, c.pair);
  double n = 0;
  for (int x : left) n += x;
  const double aces = left[rankIndex(Ace)];
  const double tens = left[rankIndex(Ten)];
  EXPECT_DOUBLE_EQ(results.blackjackOverall, 2.0 * aces * tens / (n * (n - 1.0)));
  EXPECT_DOUBLE_EQ(results.blackjackVsAce, aces > 0 ? tens / (n - 1.0) : 0.0);
  EXPECT_DOUBLE_EQ(results.blackjackVsTen, tens > 0 ? aces / (n - 1.0) : 0.0);
  for (int i = 0; i < ValueCount; ++i) {
    const bool dealable = i == 0 || left[rankIndex(i)] > 0;
    EXPECT_EQ(results.dealable[i], dealable) << entryName(i);
    if (!dealable) continue;
    EXPECT_TRUE(std::isfinite(results.ev[i])) << entryName(i);
    // Two hands, each losing at most its doubled stake.
    EXPECT_LE(std::abs(results.ev[i]), 4.0) << entryName(i);
  }
}

// Repeating a run gives the same bits, whether the dealer records come from
// the cache or are computed afresh, and whatever other pair ran in between.
class SplitDriverRepeat : public testing::TestWithParam<RunCase> {};

TEST_P(SplitDriverRepeat, RepeatsBitForBit) {
  const RunCase& c = GetParam();
  const Rank pair = static_cast<Rank>(c.pair);
  const Rank otherPair = static_cast<Rank>(c.otherPair);
  SplitCalculator calc(Shoe(c.decks), c.rules);
  ASSERT_EQ(calc.evaluateSplit(c.removals, pair).run, SplitRun::Completed);
  const PlayerHandState first = calc.pairHand;

  // A repeat computes no new dealer record.
  const std::int64_t computed = calc.dealerCache.computedCount();
  ASSERT_EQ(calc.evaluateSplit(c.removals, pair).run, SplitRun::Completed);
  EXPECT_EQ(calc.dealerCache.computedCount(), computed);
  expectSameResults(calc.pairHand, first, "repeat from the cache");

  calc.clearDealerOutcomes();
  ASSERT_EQ(calc.evaluateSplit(c.removals, pair).run, SplitRun::Completed);
  expectSameResults(calc.pairHand, first, "after clearing the cache");

  ASSERT_EQ(calc.evaluateSplit(c.removals, otherPair).run, SplitRun::Completed);
  const PlayerHandState other = calc.pairHand;
  ASSERT_EQ(calc.evaluateSplit(c.removals, pair).run, SplitRun::Completed);
  expectSameResults(calc.pairHand, first, "after another pair");

  SplitCalculator fresh(Shoe(c.decks), c.rules);
  ASSERT_EQ(fresh.evaluateSplit(c.removals, otherPair).run, SplitRun::Completed);
  expectSameResults(fresh.pairHand, other, "other pair, fresh cache against a warm one");
}

std::string runCaseName(const testing::TestParamInfo<RunCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(SplitDriverCases, SplitDriverRun, testing::ValuesIn(runCases()), runCaseName);
INSTANTIATE_TEST_SUITE_P(SplitDriverCases, SplitDriverRepeat, testing::ValuesIn(repeatCases()), runCaseName);

// ---------------------------------------------------------------------------
// Refusal.

// A pair rank outside 1..10, or fewer than two cards of it in the shoe,
// is refused without touching the shoe, the last results or the cache.
TEST(SplitDriverRefused, NothingChanges) {
  SplitCalculator calc(Shoe(1), rulesWith([](RuleSet& r) { r.das = true; }));
  ASSERT_EQ(calc.evaluateSplit(removed({{2, 4}, {3, 4}, {4, 1}, {9, 2}}), 10).run, SplitRun::Completed);
  const PlayerHandState last = calc.pairHand;
  const std::int64_t records = calc.dealerCache.recordCount();
  const std::int64_t computed = calc.dealerCache.computedCount();

  for (int pair : {0, -1, 11, 32767, -32768}) {
    const Shoe before = calc.shoe;
    EXPECT_EQ(calc.evaluateSplit(Removals{}, static_cast<Rank>(pair)).run, SplitRun::Refused) << "pair " << pair;
    EXPECT_EQ(calc.shoe, before);
  }
  // Three sevens out leaves one; four out leaves none.
  for (int out : {3, 4}) {
    for (int k = 0; k < out; ++k) calc.shoe.removeCard(7);
    const Shoe before = calc.shoe;
    EXPECT_EQ(calc.evaluateSplit(Removals{}, 7).run, SplitRun::Refused) << out << " sevens out";
    EXPECT_EQ(calc.shoe, before);
    for (int k = 0; k < out; ++k) calc.shoe.returnCard(7);
  }
  // The pair is checked after the removals; removals the shoe cannot supply are refused.
  for (const Removals& r : {removed({{8, 3}}), removed({{8, 5}}), removed({{3, -1}})}) {
    const Shoe before = calc.shoe;
    EXPECT_EQ(calc.evaluateSplit(r, 8).run, SplitRun::Refused);
    EXPECT_EQ(calc.shoe, before);
  }
  EXPECT_EQ(calc.shoe, Shoe(1));
  expectSameResults(calc.pairHand, last, "results of the last completed run");
  EXPECT_EQ(calc.pairHand.dealer, last.dealer);
  EXPECT_EQ(calc.dealerCache.recordCount(), records);
  EXPECT_EQ(calc.dealerCache.computedCount(), computed);
}

// ---------------------------------------------------------------------------
// Split aces.

// Without hsa neither hand makes a decision and both take one card: by
// symmetry each hand is worth the same, so the split is twice the first
// hand's own value, against every up card and overall; and with no choice
// made, the overall value is the up-card-weighted mean of the entries.
TEST(SplitDriverAces, WithoutHsaTwoAlikeHandsAndNoStrategy) {
  const Removals shoes[] = {Removals{}, removed({{6, 4}}), removed({{Ace, 1}, {10, 5}, {2, 2}})};
  for (const Removals& removals : shoes) {
    for (bool s17 : {true, false}) {
      RuleSet rules;
      rules.standsOnSoft17 = s17;
      rules.das = true;
      SplitCalculator calc(Shoe(1), rules);
      ASSERT_EQ(calc.evaluateSplit(removals, Ace).run, SplitRun::Completed);
      const PlayerHandState& s = calc.pairHand;
      const ShoeCounts left = shoeAfterPair(calc.shoe, removals, Ace);
      double weighted = 0.0;
      for (int i = 0; i < ValueCount; ++i) {
        if (i > 0 && left[rankIndex(i)] == 0) continue;
        EXPECT_NEAR(s.splitEv[i], 2.0 * s.hitEv[i], 1e-13) << entryName(i);
        if (i > 0) weighted += upCardChance(left, i) * s.splitEv[i];
      }
      EXPECT_NEAR(s.splitEv[0], weighted, 1e-13) << "s17 " << s17;
    }
  }
}

// Hitting split aces is an extra option for the first hand: its own value
// cannot fall and, with soft twelves to improve, it rises; the split value
// changes with it. Doubling split aces adds nothing unless they may be hit.
TEST(SplitDriverAces, HsaAndDspa) {
  const Removals removals = removed({{2, 4}, {3, 4}, {4, 2}});
  auto run = [&](bool hsa, bool dspa) {
    RuleSet rules;
    rules.das = true;
    rules.hsa = hsa;
    rules.dspa = dspa;
    SplitCalculator calc(Shoe(1), rules);
    EXPECT_EQ(calc.evaluateSplit(removals, Ace).run, SplitRun::Completed);
    return calc.pairHand;
  };
  const PlayerHandState plain = run(false, false);
  const PlayerHandState dspaOnly = run(false, true);
  const PlayerHandState hsa = run(true, false);
  const PlayerHandState both = run(true, true);

  expectSameResults(dspaOnly, plain, "dspa without hsa");

  bool hitHelps = false;
  bool doubleHelps = false;
  for (int i = 0; i < ValueCount; ++i) {
    EXPECT_GE(hsa.hitEv[i], plain.hitEv[i] - 1e-12) << entryName(i);
    EXPECT_GE(both.hitEv[i], hsa.hitEv[i] - 1e-12) << entryName(i);
    if (hsa.hitEv[i] > plain.hitEv[i] + 1e-6) hitHelps = true;
    if (both.hitEv[i] > hsa.hitEv[i] + 1e-6) doubleHelps = true;
  }
  EXPECT_TRUE(hitHelps);
  EXPECT_TRUE(doubleHelps);
  EXPECT_GT(std::abs(hsa.splitEv[0] - plain.splitEv[0]), 1e-6);
}

// ---------------------------------------------------------------------------
// Shoes that a rank has run out of, against the independent reference.

struct ExhaustedCase {
  const char* name;
  int pair;
  Removals removals;
  RuleSet rules;
};

void PrintTo(const ExhaustedCase& c, std::ostream* os) {
  *os << c.name << ": pair " << c.pair << ", 1 deck, removed " << countsText(c.removals) << ", "
      << rulesName(c.rules);
}

class SplitDriverExhausted : public testing::TestWithParam<ExhaustedCase> {};

// Every entry whose up card can still be dealt agrees with the reference
// model (which plays the two hands out card by card), and cache clearing
// changes no bit. The entries of up cards that cannot be dealt are not
// looked at.
TEST_P(SplitDriverExhausted, DealableEntriesAgreeWithReference) {
  const ExhaustedCase& c = GetParam();
  SplitCalculator calc(Shoe(1), c.rules);
  ASSERT_EQ(calc.evaluateSplit(c.removals, static_cast<Rank>(c.pair)).run, SplitRun::Completed);
  EXPECT_EQ(calc.shoe, Shoe(1));
  const PlayerHandState result = calc.pairHand;

  const ShoeCounts left = shoeAfterPair(calc.shoe, c.removals, c.pair);
  refsplit::Counts shoe{};
  for (int i = 0; i < RankCount; ++i) shoe[i] = left[i];
  refsplit::DealerReference dealer(c.rules.standsOnSoft17);
  const refsplit::SplitReference expected = refsplit::SplitReferenceEvaluator(c.rules, dealer).evaluate(shoe, c.pair);
  ASSERT_EQ(expected.nearTies, 0) << "a first-hand tie makes the comparison unfair";

  bool someUpCardOut = false;
  for (int i = 0; i < ValueCount; ++i) {
    if (i > 0 && left[rankIndex(i)] == 0) {
      someUpCardOut = true;
      EXPECT_FALSE(expected.dealable[i]);
      continue;
    }
    ASSERT_TRUE(expected.dealable[i]);
    EXPECT_TRUE(std::isfinite(result.splitEv[i])) << entryName(i);
    EXPECT_NEAR(result.splitEv[i], expected.splitEv[i], 1e-12) << entryName(i);
  }
  EXPECT_TRUE(someUpCardOut) << "the case should exhaust an up card";

  calc.clearDealerOutcomes();
  ASSERT_EQ(calc.evaluateSplit(c.removals, static_cast<Rank>(c.pair)).run, SplitRun::Completed);
  expectSameResults(calc.pairHand, result, "after clearing the cache");
}

INSTANTIATE_TEST_SUITE_P(SplitDriverCases, SplitDriverExhausted,
    testing::Values(
        // The pair takes the last two nines.
        ExhaustedCase{"LastTwoNines", 9, removed({{2, 4}, {3, 4}, {4, 3}, {9, 2}}), RuleSet{}},
        ExhaustedCase{"LastTwoNinesDas", 9, removed({{2, 4}, {3, 3}, {4, 2}, {9, 2}}), rulesWith([](RuleSet& r) { r.das = true; })},
        // The removals take every six.
        ExhaustedCase{"NoSixesEights", 8, removed({{2, 4}, {3, 3}, {4, 2}, {6, 4}}), rulesWith([](RuleSet& r) { r.das = true; })},
        // No ace: no dealer blackjack, no ace up card, no soft hands.
        ExhaustedCase{"NoAcesEightsNoPeek", 8, removed({{Ace, 4}, {2, 3}, {3, 2}, {7, 1}}), rulesWith([](RuleSet& r) {
                        r.das = true;
                        r.dealerBjRule = DealerBjRule::NoPeek;
                      })},
        // No ten: no ten up card and no blackjack either.
        ExhaustedCase{"NoTensNinesH17", 9, removed({{2, 4}, {3, 4}, {4, 2}, {10, 16}}), rulesWith([](RuleSet& r) {
                        r.standsOnSoft17 = false;
                        r.das = true;
                      })}),
    [](const testing::TestParamInfo<ExhaustedCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// The overall entry and the per-up-card entries.

class SplitDriverOverall : public testing::TestWithParam<RuleSet> {};

// A pair of eights is played differently against small and large up cards
// (a 16 stands against a six and hits against a ten). The overall entry
// follows one strategy for all up cards, so it is not the up-card-weighted
// mean of the entries. For the first hand's own value the direction is
// known: knowing the up card can only help a hand that maximises its own EV,
// and here it helps strictly. (No such direction holds for the two hands
// together, since the first hand's choices ignore the second hand.)
TEST_P(SplitDriverOverall, NotAWeightingOfUpCardEntries) {
  const RuleSet& rules = GetParam();
  const Removals removals = removed({{2, 3}, {3, 3}});
  SplitCalculator calc(Shoe(1), rules);
  ASSERT_EQ(calc.evaluateSplit(removals, 8).run, SplitRun::Completed);
  const PlayerHandState& s = calc.pairHand;
  const ShoeCounts left = shoeAfterPair(calc.shoe, removals, 8);

  double splitWeighted = 0.0;
  double ownWeighted = 0.0;
  for (int u = 1; u <= RankCount; ++u) {
    splitWeighted += upCardChance(left, u) * s.splitEv[u];
    ownWeighted += upCardChance(left, u) * s.hitEv[u];
  }
  EXPECT_GT(std::abs(s.splitEv[0] - splitWeighted), 1e-6);
  EXPECT_GT(ownWeighted - s.hitEv[0], 1e-6);
}

INSTANTIATE_TEST_SUITE_P(SplitDriverRules, SplitDriverOverall,
                         testing::Values(RuleSet{}, rulesWith([](RuleSet& r) { r.das = true; }),
                                         rulesWith([](RuleSet& r) {
                                           r.das = true;
                                           r.standsOnSoft17 = false;
                                           r.dealerBjRule = DealerBjRule::NoPeek;
                                         })),
                         [](const testing::TestParamInfo<RuleSet>& info) { return rulesName(info.param); });

// One deck, pair of sevens, default rules, against the values of an
// independent model of the same game. Those are the values as shown: under
// full peek a dealer blackjack takes only the one initial bet (stored value
// plus the blackjack chance d), or, conditioned on no blackjack,
// (stored + 2d) / (1 - d). d is worked out here from the 50 cards left:
// 4 aces and 16 tens.
TEST(SplitDriverReference, OneDeckSevens) {
  SplitCalculator calc(Shoe(1), RuleSet{});
  ASSERT_EQ(calc.evaluateSplit(Removals{}, 7).run, SplitRun::Completed);
  const double unconditional[ValueCount] = {
      -0.39832654834928,   -0.735194339240813, -0.160015970122579, -0.0781189251659876,
      0.0162685953086237,  0.0387915656744797, 0.0530241596618211, -0.122518168251607,
      -0.423457913267916,  -0.563812837830388, -0.653548853045395,
  };
  const double conditioned[ValueCount] = {
      -0.365159364106691, -0.606803715842419, 0, 0, 0, 0, 0, 0, 0, 0, -0.622753195538319,
  };
  double d[ValueCount] = {};
  d[0] = 2.0 * 4.0 * 16.0 / (50.0 * 49.0);
  d[Ace] = 16.0 / 49.0;
  d[Ten] = 4.0 / 49.0;
  for (int i = 0; i < ValueCount; ++i) {
    const double ev = calc.pairHand.splitEv[i];
    EXPECT_NEAR(ev + d[i], unconditional[i], 1e-12) << entryName(i);
    if (d[i] > 0.0) {
      EXPECT_NEAR((ev + 2.0 * d[i]) / (1.0 - d[i]), conditioned[i], 1e-12) << entryName(i) << " conditioned";
    }
  }
}

// ---------------------------------------------------------------------------
// Running out of memory.

std::size_t virtualSize() {
  long pages = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  return static_cast<std::size_t>(pages) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Touches a stretch of stack so that it is mapped before the address space
// is capped; growing the stack afterwards could fail outright.
__attribute__((noinline)) int touchStack() {
  volatile char block[512 * 1024];
  for (std::size_t i = 0; i < sizeof(block); i += 4096) block[i] = static_cast<char>(i);
  return block[4096];
}

// Exit codes of the child, one per broken promise.
enum : int {
  ChildOk = 0,
  NotOutOfMemory = 10,
  ShoeChanged = 11,
  PairHandChanged = 12,
  CacheNotCleared = 14,
  SmallRunFailed = 15,
  SmallRunDiffers = 16,
  NoLimit = 17,
};

const char* describe(int code) {
  switch (code) {
    case NotOutOfMemory: return "the large run did not report running out of memory";
    case ShoeChanged: return "the shoe differs from the shoe before the run";
    case PairHandChanged: return "the results of the previous run were overwritten";
    case CacheNotCleared: return "the dealer cache still holds records or memory";
    case SmallRunFailed: return "the following small run did not complete";
    case SmallRunDiffers: return "the following small run differs from a fresh calculator";
    case NoLimit: return "could not cap the address space";
    default: return "unexpected exit";
  }
}

// With the address space capped a little above what is in use, a large
// split (8 decks, pair of twos, doubling after splits) after a smaller one
// on the same shoe must be abandoned cleanly: reported as out of memory,
// the shoe exactly as before, the last results kept and the dealer cache
// emptied, the earlier run's records too, so that a following small
// computation, with no clearing asked for, completes and matches a fresh
// calculator's.
TEST(SplitDriverMemory, RunningOutIsAbandonedCleanly) {
  if (AddressSanitizerBuild) GTEST_SKIP() << AddressLimitSkipReason;
  RuleSet rules;
  rules.das = true;

  // Expectations, computed before the cap and outside the child.
  SplitCalculator reference(Shoe(8), rules);
  const SplitResults acesResults = reference.evaluateSplit(Removals{}, Ace);
  ASSERT_EQ(acesResults.run, SplitRun::Completed);
  const ValueVector acesExpected = acesResults.ev;

  std::fflush(nullptr);
  const pid_t pid = fork();
  ASSERT_NE(pid, -1);
  if (pid == 0) {
    SplitCalculator calc(Shoe(8), rules);
    if (calc.evaluateSplit(Removals{}, 10).run != SplitRun::Completed) _exit(SmallRunFailed);
    const PlayerHandState last = calc.pairHand;
    const Shoe before = calc.shoe;

    touchStack();
    const rlim_t cap = static_cast<rlim_t>(virtualSize()) + (64u << 20);
    const rlimit limit{cap, cap};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(NoLimit);

    if (calc.evaluateSplit(Removals{}, 2).run != SplitRun::OutOfMemory) _exit(NotOutOfMemory);
    if (!(calc.shoe == before)) _exit(ShoeChanged);
    const PlayerHandState& now = calc.pairHand;
    if (!sameBits(now.splitEv, last.splitEv) || !sameBits(now.hitEv, last.hitEv) || now.pairRank != last.pairRank ||
        now.hand.counts != last.hand.counts)
      _exit(PairHandChanged);
    if (calc.dealerCache.recordCount() != 0 || calc.dealerCache.bytesUsed() != 0) _exit(CacheNotCleared);

    const SplitResults aces = calc.evaluateSplit(Removals{}, Ace);
    if (aces.run != SplitRun::Completed) _exit(SmallRunFailed);
    if (!sameBits(aces.ev, acesExpected)) _exit(SmallRunDiffers);
    _exit(ChildOk);
  }

  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "child ended abnormally"
                                 << (WIFSIGNALED(status) ? ", signal " + std::to_string(WTERMSIG(status)) : "");
  EXPECT_EQ(WEXITSTATUS(status), ChildOk) << describe(WEXITSTATUS(status));
}

}  // namespace
