// Golden results: the engine against a committed file of hexfloats, bit for
// bit. Each line of the file is one case (deck count, removals, rules, pair)
// with every result entry, the three dealer-blackjack probabilities the
// report reads and the number of dealer records a run from an empty cache
// builds. Any change that claims to leave the results alone must keep this
// test green.
//
// On the one- and two-deck cases the whole decision runs after the split on
// the same calculator, and must give the split bit for bit, a split with the
// first hand played for both hands worth at least the split (the same where
// split aces take one card and have no choice), and need no dealer record
// the split did not (split aces taking one card excepted: the pair kept as
// one hand draws more). On half the one-deck cases (every pair and rule set
// among them) the split with resplits under perfect play, allowed no
// resplit (two hands), must give the joint split bit for bit.
//
// The engine's hot loops come in one version per vector level; the file is
// checked at each level this machine runs, so every version is proved bit
// for bit wherever it can run.
//
// To write the file afresh from the engine as it is:
//   SPLITEV_GOLDEN_OUT=tests/golden/split_golden.txt ./build/tests/splitev_tests --gtest_filter='Shards/Golden.*'

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "base/vector_level.h"
#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/perfect_split.h"
#include "split/split_calculator.h"
#include "tests/sanitizers.h"
#include "tests/test_support.h"

namespace {

struct GoldenCase {
  int decks = 1;
  Removals removed{};
  RuleSet rules;
  int pair = 1;
};

struct GoldenResult {
  SplitRun run = SplitRun::Refused;  // refused: the pair cannot be dealt after the removals
  long long records = 0;
  std::array<double, 11> split{};
  std::array<double, 3> blackjack{};  // overall, ace up, ten up
};

// The rules as nine digits: soft 17 (1 stands), doubling rule, peek (1),
// das, hsa, dspa, charlie 5, charlie 6, dan.
std::string rulesCode(const RuleSet& r) {
  std::string code;
  code += r.standsOnSoft17 ? '1' : '0';
  code += static_cast<char>('0' + static_cast<int>(r.doubleRule));
  code += r.peeks() ? '1' : '0';
  for (bool b : {r.das, r.hsa, r.dspa, r.charlie5, r.charlie6, r.dan}) code += b ? '1' : '0';
  return code;
}

RuleSet rulesFrom(const std::string& code) {
  RuleSet r;
  r.standsOnSoft17 = code[0] == '1';
  r.doubleRule = static_cast<DoubleRule>(code[1] - '0');
  r.dealerBjRule = code[2] == '1' ? DealerBjRule::FullPeek : DealerBjRule::NoPeek;
  r.das = code[3] == '1';
  r.hsa = code[4] == '1';
  r.dspa = code[5] == '1';
  r.charlie5 = code[6] == '1';
  r.charlie6 = code[7] == '1';
  r.dan = code[8] == '1';
  return r;
}


// The whole decision run after the split on the same calculator.
struct DecisionRun {
  SplitDecision decision;
  long long recordsAdded = 0;
};

GoldenResult runCase(const GoldenCase& c, int threads = 0, DecisionRun* decided = nullptr) {
  GoldenResult g;
  SplitCalculator calculator(Shoe(c.decks), c.rules);
  calculator.threads = threads;
  const SplitResults results = calculator.evaluateSplit(c.removed, static_cast<Rank>(c.pair));
  g.run = results.run;
  if (results.run != SplitRun::Completed) return g;
  g.records = calculator.dealerCache.recordCount();
  g.split = results.ev;
  g.blackjack = {results.blackjackOverall, results.blackjackVsAce, results.blackjackVsTen};
  if (decided != nullptr) {
    decided->decision = calculator.evaluateDecision(c.removed, static_cast<Rank>(c.pair));
    decided->recordsAdded = calculator.dealerCache.recordCount() - g.records;
  }
  return g;
}

void checkDecision(const GoldenCase& c, const GoldenResult& g, const DecisionRun& d, const std::string& where) {
  const SplitResults& split = d.decision.split;
  ASSERT_EQ(split.run, SplitRun::Completed) << where;
  const bool oneCardAces = c.pair == Ace && !c.rules.hsa;
  for (int i = 0; i < 11; ++i) {
    const std::size_t u = static_cast<std::size_t>(i);
    EXPECT_EQ(hexfloat(split.ev[u]), hexfloat(g.split[u])) << where << ", entry " << i << ": not the split's bits";
    if (!split.dealable[u]) continue;
    EXPECT_GE(d.decision.splitJoint[u], split.ev[u] - 1e-12) << where << ", entry " << i;
    if (oneCardAces) {
      EXPECT_EQ(d.decision.splitJoint[u], split.ev[u]) << where << ", entry " << i;
    }
  }
  if (!oneCardAces) {
    EXPECT_EQ(d.recordsAdded, 0) << where << ": the unsplit hand built dealer records";
  }
}

std::string caseText(const GoldenCase& c) {
  std::ostringstream out;
  out << c.decks << ' ';
  for (int r = 0; r < RankCount; ++r) out << (r ? "," : "") << c.removed[static_cast<std::size_t>(r)];
  out << ' ' << rulesCode(c.rules) << ' ' << c.pair;
  return out.str();
}

std::string resultText(const GoldenResult& g) {
  if (g.run == SplitRun::Refused) return "refused";
  if (g.run == SplitRun::OutOfMemory) return "out of memory";
  std::ostringstream out;
  out << g.records;
  for (double v : g.split) out << ' ' << hexfloat(v);
  for (double v : g.blackjack) out << ' ' << hexfloat(v);
  return out.str();
}

// The cases the file is written for: every pair under eight rule sets (each
// doubling rule, both soft-17 rules, both peek rules, DAS, HSA with and
// without DSpA, both charlies, DAN) on one and two decks with and without
// removals, some of which exhaust an up-card rank; then a few larger shoes.
std::vector<GoldenCase> goldenCases() {
  const std::vector<RuleSet> ruleSets = {
      rulesOf(true, 0, true, false, false, false, false, false, false),   // defaults
      rulesOf(false, 0, true, true, false, false, false, false, false),   // H17 DAS
      rulesOf(true, 1, false, true, false, false, false, false, true),    // 10-11, no peek, DAN
      rulesOf(false, 2, true, true, true, true, true, false, false),      // 9-11, HSA DSpA, charlie 5
      rulesOf(true, 3, false, true, false, false, false, true, false),    // 10-11 + soft, no peek, charlie 6
      rulesOf(false, 4, true, true, true, false, false, false, true),     // 9-11 + soft, HSA, DAN
      rulesOf(true, 5, true, true, true, true, true, false, true),        // hard only, HSA DSpA, charlie 5, DAN
      rulesOf(false, 6, false, true, false, false, false, false, false),  // no doubling, no peek
  };
  const Removals none{};
  const Removals oneDeck = {1, 0, 2, 0, 1, 4, 0, 1, 0, 3};   // no sixes left
  const Removals twoDecks = {2, 1, 0, 3, 0, 1, 2, 0, 8, 5};  // no nines left
  const Removals noTens = {0, 0, 0, 0, 0, 0, 0, 0, 0, 16};
  const Removals noAces = {4, 0, 0, 0, 0, 0, 0, 0, 0, 0};

  std::vector<GoldenCase> cases;
  auto everyPair = [&](int decks, const Removals& removed, const RuleSet& r) {
    for (int pair = 1; pair <= RankCount; ++pair) cases.push_back({decks, removed, r, pair});
  };
  for (const RuleSet& r : ruleSets) {
    everyPair(1, none, r);
    everyPair(1, oneDeck, r);
    everyPair(2, twoDecks, r);
  }
  everyPair(2, none, ruleSets[1]);
  everyPair(2, none, ruleSets[3]);
  everyPair(1, noTens, ruleSets[0]);
  everyPair(1, noTens, ruleSets[4]);
  everyPair(1, noAces, ruleSets[6]);
  for (int pair : {1, 9, 10}) cases.push_back({6, none, ruleSets[1], pair});
  for (int pair : {1, 8, 10}) cases.push_back({8, none, ruleSets[2], pair});
  for (int pair : {1, 10}) cases.push_back({8, none, ruleSets[6], pair});
  for (int pair : {1, 9, 10}) cases.push_back({41297762, none, ruleSets[0], pair});
  for (int pair : {1, 10}) cases.push_back({41297762, none, ruleSets[3], pair});
  return cases;
}

GoldenCase parseCase(std::istringstream& in) {
  GoldenCase c;
  std::string removed;
  std::string code;
  in >> c.decks >> removed >> code >> c.pair;
  std::istringstream counts(removed);
  for (int r = 0; r < RankCount; ++r) {
    std::string n;
    std::getline(counts, n, ',');
    c.removed[static_cast<std::size_t>(r)] = std::stoi(n);
  }
  c.rules = rulesFrom(code);
  return c;
}

// The file's lines in four shards per vector level, so the suite can run
// them side by side. Alternate lines run on one thread and on three: no
// result may depend on the thread count.
constexpr int GoldenShards = 4;

// Whether a run at the vector level checks the line. Under the sanitizers
// the release run has checked every line already: every other four
// one-deck lines still take every pair and every rule set through the
// engine. The machine's own level checks every such line. A lower level
// checks every third: three is prime to the ten pairs of a group of lines,
// so every pair, rule set and deck count still comes up, in a third of the
// time. Under the sanitizers it checks every ninth, a few cases a shard.
bool checksLine(int level, int line, const GoldenCase& c) {
  if (AddressSanitizerBuild && (c.decks != 1 || line / GoldenShards % 2 != 0)) return false;
  return level == machineVectorLevel() || line % (AddressSanitizerBuild ? 9 : 3) == 0;
}

// Runs the hot loops at one level while it lives.
class VectorLevelScope {
 public:
  explicit VectorLevelScope(int level) : saved(vectorLevel()) { setVectorLevel(level); }
  ~VectorLevelScope() { setVectorLevel(saved); }
  VectorLevelScope(const VectorLevelScope&) = delete;
  VectorLevelScope& operator=(const VectorLevelScope&) = delete;

 private:
  int saved;
};

// (vector level, shard)
class Golden : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(Golden, EngineMatchesTheCommittedResultsBitForBit) {
  const auto [level, shard] = GetParam();
  if (!vectorLevelRuns(level)) GTEST_SKIP() << "this machine cannot run vector level " << level;
  const VectorLevelScope atLevel(level);
  if (const char* out = std::getenv("SPLITEV_GOLDEN_OUT")) {
    if (shard != 0 || level != machineVectorLevel()) GTEST_SKIP() << "the first shard writes the file";
    std::ofstream file(out);
    for (const GoldenCase& c : goldenCases()) {
      file << caseText(c) << " : " << resultText(runCase(c)) << '\n';
      file.flush();
    }
    GTEST_SKIP() << "wrote " << out;
  }
  std::ifstream file(SPLITEV_GOLDEN_FILE);
  ASSERT_TRUE(file) << "cannot read " << SPLITEV_GOLDEN_FILE;
  std::string line;
  int lines = 0;
  for (; std::getline(file, line); ++lines) {
    if (lines % GoldenShards != shard) continue;
    const std::size_t colon = line.find(" : ");
    ASSERT_NE(colon, std::string::npos) << line;
    std::istringstream in(line.substr(0, colon));
    const GoldenCase c = parseCase(in);
    if (!checksLine(level, lines, c)) continue;
    const int threads = lines % 2 == 0 ? 1 : 3;
    const std::string where = "case " + line.substr(0, colon) + " on " + std::to_string(threads) +
                              " threads at vector level " + std::to_string(level);
    DecisionRun decided;
    const bool decide = c.decks <= 2;
    const GoldenResult g = runCase(c, threads, decide ? &decided : nullptr);
    EXPECT_EQ(resultText(g), line.substr(colon + 3)) << where;
    if (decide && g.run == SplitRun::Completed) checkDecision(c, g, decided, where);
    // At the machine's own level only: its loops choose their version by the machine.
    if (decide && g.run == SplitRun::Completed && c.decks == 1 && (lines + lines / RankCount) % 2 == 0 &&
        level == machineVectorLevel()) {
      PerfectControl control;
      control.threads = threads;
      const PerfectResults perfect =
          evaluatePerfectSplit(Shoe(c.decks), c.removed, static_cast<Rank>(c.pair), c.rules, {2, false}, control);
      ASSERT_EQ(perfect.run, PerfectRun::Completed) << where;
      for (int i = 0; i < 11; ++i) {
        const auto u = static_cast<std::size_t>(i);
        if (!decided.decision.split.dealable[u]) continue;
        EXPECT_EQ(hexfloat(perfect.split.ev[u]), hexfloat(decided.decision.splitJoint[u])) << where << ", entry " << i;
      }
      EXPECT_EQ(perfect.split.complete, decided.decision.split.complete) << where;
    }
  }
  EXPECT_EQ(lines, static_cast<int>(goldenCases().size()));
}

INSTANTIATE_TEST_SUITE_P(Shards, Golden, testing::Combine(testing::Values(4, 3, 1), testing::Range(0, GoldenShards)),
                         [](const auto& info) {
                           return "Level" + std::to_string(std::get<0>(info.param)) + "_" +
                                  std::to_string(std::get<1>(info.param));
                         });

}  // namespace
