#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "front/screens.h"
#include "tests/sanitizers.h"
#include "tests/scripted_console.h"

namespace {

const std::string PairPrompt = "\n\nPlease input pair value.\n(a or A,2,3,4,5,6,7,8,9,t or T): ";
const std::string Computing = " ...Computing, please wait...";
const std::string PromptC =
    "\n\nPress c or C for EV conditioned on no dealer blackjack, any other key to exit";
const std::string PromptU = "\n\nPress u or U to display unconditional EV, any other key to exit";
const std::string DefaultHeader =
    "\n\nSingle split EVs (full peek), S17, NDAS, no DAN, no HSA, no auto win";
const std::string Plain = "\nUnconditional EV, Allowed splits: 1";
const std::string Conditioned = "\nEV conditioned on no dealer BJ, Allowed splits: 1";

struct SplitCase {
  std::int32_t decks = 1;
  RuleSet rules;
  Removals removals{};
  Rank pair = 1;
};

struct ReportVisit {
  std::string text;
  int clears = 0;
  bool keysUsedUp = false;
  bool computed = false;
};

ReportVisit visitReport(const SplitCase& c, const std::string& keys) {
  SplitCalculator calculator(Shoe(c.decks), c.rules);
  ScriptedConsole console(keys);
  showSplitReport(console, calculator, c.removals);
  EXPECT_EQ(calculator.shoe, Shoe(c.decks));
  return {console.text(), console.clearCount, console.keysUsedUp(),
          calculator.dealerCache.computedCount() != 0};
}

std::string formatted(double value) {
  std::ostringstream text;
  text.precision(15);
  text << value;
  return text.str();
}

// The result block as it must be printed, from the engine's own results on a
// calculator of its own: T, A and SPL1 adjusted under full peek, a line
// blanked when its up card cannot be dealt.
std::string expectedBlock(const SplitCase& c, bool conditioned) {
  SplitCalculator calculator(Shoe(c.decks), c.rules);
  const SplitResults results = calculator.evaluateSplit(c.removals, c.pair);
  EXPECT_EQ(results.run, SplitRun::Completed);
  const ValueVector& ev = results.ev;
  const bool peek = c.rules.dealerBjRule == DealerBjRule::FullPeek;
  const auto adjusted = [&](double value, double d) {
    return formatted(!peek ? value : conditioned ? (value + 2 * d) / (1 - d) : value + d);
  };
  const auto line = [&](int up) {
    const int left = (up == 10 ? 16 : 4) * c.decks - c.removals[up - 1];
    if (left == 0 || (up == c.pair && left < 3)) return std::string("X X X X X");
    if (up == 1) return adjusted(ev[up], results.blackjackVsAce);
    return up == 10 ? adjusted(ev[up], results.blackjackVsTen) : formatted(ev[up]);
  };
  std::string text = "\n\nSPL1 (split & play without knowledge of dealer up card): " +
                     adjusted(ev[0], results.blackjackOverall) + "\n";
  for (int up = 2; up <= 9; ++up)
    text += "SPL1 versus " + std::to_string(up) + ": " + line(up) + "\n";
  text += "SPL1 versus T: " + line(10) + "\nSPL1 versus A: " + line(1);
  return text + (conditioned ? PromptU : PromptC);
}

// Printed numbers by line name ("SPL1", "2".."9", "T", "A"); NaN for X lines.
std::map<std::string, double> printedValues(const std::string& block) {
  std::map<std::string, double> values;
  std::istringstream lines(block);
  const std::string overall = "SPL1 (split & play without knowledge of dealer up card): ";
  for (std::string line; std::getline(lines, line);) {
    std::string name;
    std::size_t at = 0;
    if (line.rfind(overall, 0) == 0) {
      name = "SPL1";
      at = overall.size();
    } else if (line.rfind("SPL1 versus ", 0) == 0) {
      name = line.substr(12, 1);
      at = 15;
    } else {
      continue;
    }
    values[name] =
        line.compare(at, 9, "X X X X X") == 0 ? std::nan("") : std::strtod(&line[at], nullptr);
  }
  return values;
}

// The text of each display, split where the shoe composition starts.
std::vector<std::string> displays(const std::string& text) {
  std::vector<std::string> parts;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t next = text.find("Shoe comp (A-5)", start + 1);
    parts.push_back(text.substr(start, next - start));
    start = next;
  }
  return parts;
}

using Values = std::map<std::string, double>;

const std::string TooFewCards =
    "\n*** too few cards left to complete every hand: these values are not reliable ***";

// Goes through both views and back, checks every byte, and returns the
// printed values of the two views. A shoe that cannot complete every hand
// has its warning between the last result line and the prompt.
std::pair<Values, Values> checkBothViews(const SplitCase& c, char key, const std::string& header,
                                         const std::string& composition, bool tooFewCards = false) {
  const ReportVisit visit = visitReport(c, std::string(1, key) + "cuq");
  const std::string pair = std::to_string(c.pair);
  std::string plainBlock = expectedBlock(c, false);
  std::string conditionedBlock = expectedBlock(c, true);
  if (tooFewCards) {
    plainBlock.insert(plainBlock.size() - PromptC.size(), TooFewCards);
    conditionedBlock.insert(conditionedBlock.size() - PromptU.size(), TooFewCards);
  }
  EXPECT_EQ(visit.text, composition + PairPrompt + "Pair value = " + pair + header + Plain +
                            Computing + plainBlock + composition + "\n\nPair value: " + pair +
                            header + Conditioned + conditionedBlock + composition +
                            "\n\nPair value: " + pair + header + Plain + plainBlock);
  EXPECT_EQ(visit.clears, 3);
  EXPECT_TRUE(visit.keysUsedUp);
  return {printedValues(plainBlock), printedValues(conditionedBlock)};
}

const std::string FullOneDeck =
    "Shoe comp (A-5):  {4, 4, 4, 4, 4}\nShoe comp (6-T):  {4, 4, 4, 4, 16}";
const std::vector<std::string> LineNames = {"SPL1", "2", "3", "4", "5", "6",
                                            "7",    "8", "9", "T", "A"};

void expectReference(const Values& printed, const std::vector<double>& reference) {
  for (std::size_t i = 0; i < LineNames.size(); ++i) {
    EXPECT_NEAR(printed.at(LineNames[i]), reference[i], 1e-12) << LineNames[i];
  }
}

TEST(SplitReport, OneDeckSevensBothViewsAndReferenceValues) {
  SplitCase sevens;
  sevens.pair = 7;
  const auto [plain, conditioned] = checkBothViews(sevens, '7', DefaultHeader, FullOneDeck);
  const std::vector<double> upCards2to9 = {
      -0.160015970122579, -0.0781189251659876, 0.0162685953086237, 0.0387915656744797,
      0.0530241596618211, -0.122518168251607,  -0.423457913267916, -0.563812837830388};
  std::vector<double> reference = {-0.39832654834928};
  reference.insert(reference.end(), upCards2to9.begin(), upCards2to9.end());
  reference.insert(reference.end(), {-0.653548853045395, -0.735194339240813});
  expectReference(plain, reference);
  reference.front() = -0.365159364106691;
  reference[9] = -0.622753195538319;
  reference[10] = -0.606803715842419;
  expectReference(conditioned, reference);
  // Only the lines a dealer blackjack bears on differ between the views.
  for (const std::string& name : LineNames) {
    EXPECT_EQ(plain.at(name) != conditioned.at(name), name == "SPL1" || name == "T" || name == "A");
  }
}

TEST(SplitReport, TwoDeckEightsUnderH17AndDas) {
  SplitCase eights;
  eights.decks = 2;
  eights.pair = 8;
  eights.rules.standsOnSoft17 = false;
  eights.rules.das = true;
  const auto [plain, conditioned] = checkBothViews(
      eights, '8',
      "\n\nSingle split EVs (full peek), H17, DAS, no DAN, no HSA, no auto win\nDouble any 2 cards",
      "Shoe comp (A-5):  {8, 8, 8, 8, 8}\nShoe comp (6-T):  {8, 8, 8, 8, 32}");
  std::vector<double> reference = {-0.190255439582579, 0.0468071725812023, 0.118570172388037,
                                   0.172715991348535,  0.258097121143039,  0.30751564364692,
                                   0.231816012010197,  -0.079888800025619, -0.404874061979192,
                                   -0.512376250018964, -0.658085000622584};
  expectReference(plain, reference);
  reference.front() = -0.147907205166469;
  reference[9] = -0.470430120988337;
  reference[10] = -0.499515725549;
  expectReference(conditioned, reference);
}

TEST(SplitReport, NoPeekChangesOnlyTheHeaderAndPrompt) {
  SplitCase tens;
  tens.pair = 10;
  tens.rules.dealerBjRule = DealerBjRule::NoPeek;
  const auto [plain, conditioned] = checkBothViews(
      tens, 't', "\n\nSingle split EVs (no peek), S17, NDAS, no DAN, no HSA, no auto win",
      FullOneDeck);
  EXPECT_EQ(plain, conditioned);
}

TEST(SplitReport, ShoeTooSmallToCompleteEveryHandIsWarnedOf) {
  // Six cards: the pair of threes takes two, the dealer two more, and any
  // further card either hand or the dealer draws may not be there.
  SplitCase threes;
  threes.pair = 3;
  threes.rules.das = true;
  threes.removals = {3, 4, 2, 4, 4, 4, 3, 4, 4, 14};
  checkBothViews(threes, '3',
                 "\n\nSingle split EVs (full peek), S17, DAS, no DAN, no HSA, no auto win"
                 "\nDouble any 2 cards",
                 "Shoe comp (A-5):  {1, 0, 2, 0, 0}\nShoe comp (6-T):  {0, 1, 0, 0, 2}", true);
}

TEST(SplitReport, UpCardsThatCannotBeDealtShowXs) {
  // Two fives left for the pair, none for the dealer.
  SplitCase fives;
  fives.pair = 5;
  fives.removals[4] = 2;
  ReportVisit visit = visitReport(fives, "5q");
  EXPECT_EQ(visit.text, "Shoe comp (A-5):  {4, 4, 4, 4, 2}\nShoe comp (6-T):  {4, 4, 4, 4, 16}" +
                            PairPrompt + "Pair value = 5" + DefaultHeader + Plain + Computing +
                            expectedBlock(fives, false));
  EXPECT_TRUE(visit.text.find("\nSPL1 versus 5: X X X X X\nSPL1 versus 6: ") != std::string::npos);

  // No tens: the T line is blank, SPL1 still has a value.
  SplitCase noTens;
  noTens.pair = 7;
  noTens.removals[9] = 16;
  visit = visitReport(noTens, "7q");
  EXPECT_EQ(visit.text.substr(visit.text.find("\n\nSPL1 (")), expectedBlock(noTens, false));
  EXPECT_TRUE(visit.text.find("\nSPL1 versus T: X X X X X\nSPL1 versus A: ") != std::string::npos);
  EXPECT_FALSE(std::isnan(printedValues(visit.text).at("SPL1")));

  // Exactly two aces: the pair can be dealt, an ace up card cannot.
  SplitCase twoAces;
  twoAces.removals[0] = 2;
  visit = visitReport(twoAces, "aq");
  EXPECT_EQ(visit.text.substr(visit.text.find("\n\nSPL1 (")), expectedBlock(twoAces, false));
  EXPECT_TRUE(visit.text.find("\nSPL1 versus A: X X X X X" + PromptC) != std::string::npos);
}

TEST(SplitReport, PairThatCannotBeDealtIsNotComputed) {
  for (const int acesLeft : {0, 1}) {
    SplitCase aces;
    aces.removals[0] = 4 - acesLeft;
    const ReportVisit visit = visitReport(aces, "ak");
    EXPECT_EQ(visit.text, "Shoe comp (A-5):  {" + std::to_string(acesLeft) +
                              ", 4, 4, 4, 4}\nShoe comp (6-T):  {4, 4, 4, 4, 16}" + PairPrompt +
                              "Pair value = 1" + DefaultHeader + Plain +
                              " ...Pair cannot be dealt\n\nPress any key to continue");
    EXPECT_TRUE(visit.keysUsedUp);
    EXPECT_FALSE(visit.computed);
  }
}

TEST(SplitReport, PairKeysAndIgnoredKeys) {
  const std::pair<char, int> keys[] = {{'a', 1}, {'A', 1}, {'2', 2},  {'3', 3},
                                       {'4', 4}, {'5', 5}, {'6', 6},  {'7', 7},
                                       {'8', 8}, {'9', 9}, {'t', 10}, {'T', 10}};
  for (const auto& [key, value] : keys) {
    // With the whole rank removed, nothing is computed. Enter, an arrow, 0,
    // 1 and other letters are no pair value and are not echoed.
    SplitCase none;
    none.removals[value - 1] = value == 10 ? 16 : 4;
    const ReportVisit visit = visitReport(none, std::string("\n\x01"
                                                            "01xbz") +
                                                    key + "k");
    EXPECT_NE(visit.text.find(PairPrompt + "Pair value = " + std::to_string(value) + "\n\n"),
              std::string::npos)
        << key;
    EXPECT_TRUE(visit.keysUsedUp);
  }
}

// The header, read off a report whose pair cannot be dealt.
std::string headerFor(const RuleSet& rules) {
  SplitCase none;
  none.rules = rules;
  none.removals[0] = 4;
  const std::string text = visitReport(none, "ak").text;
  const std::size_t start = text.find("Pair value = 1") + 14;
  return text.substr(start, text.find(" ...Pair cannot be dealt") - start);
}

TEST(SplitReport, HeaderFollowsTheRules) {
  RuleSet rules;
  EXPECT_EQ(headerFor(rules), DefaultHeader + Plain);
  // Without DAS: no doubling line whatever the rule, and no DSpA.
  rules.doubleRule = DoubleRule::Hard10or11;
  rules.hsa = rules.dspa = true;
  EXPECT_EQ(headerFor(rules),
            "\n\nSingle split EVs (full peek), S17, NDAS, no DAN, HSA, no auto win" + Plain);

  rules.das = rules.dan = rules.charlie5 = true;
  rules.standsOnSoft17 = false;
  rules.dealerBjRule = DealerBjRule::NoPeek;
  EXPECT_EQ(headerFor(rules),
            "\n\nSingle split EVs (no peek), H17, DAS, DAN, HSA, DSpA, charlie 5"
            "\nDouble restricted to hard 10 or 11" +
                Plain);

  rules.charlie5 = rules.dspa = false;
  rules.charlie6 = true;
  rules.dealerBjRule = static_cast<DealerBjRule>(1);  // any non-zero value is no peek
  const std::string start = "\n\nSingle split EVs (no peek), H17, DAS, DAN, HSA, charlie 6";
  const char* const doubleLines[] = {"\nDouble any 2 cards",
                                     "\nDouble restricted to hard 10 or 11",
                                     "\nDouble restricted to hard 9, 10 or 11",
                                     "\nDouble restricted to hard 10 or 11 or any soft total",
                                     "\nDouble restricted to hard 9, 10 or 11 or any soft total",
                                     "\nDouble restricted to hard totals only",
                                     "\nNo doubling allowed",
                                     ""};
  for (int value = 0; value < 8; ++value) {
    rules.doubleRule = static_cast<DoubleRule>(value);
    EXPECT_EQ(headerFor(rules), start + doubleLines[value] + Plain);
  }
}

TEST(SplitReport, ToggleKeysAndLeaving) {
  // Split aces without hitting are quick to compute.
  const SplitCase aces;
  ReportVisit visit = visitReport(aces, "aCc");  // c in the conditioned view leaves
  EXPECT_EQ(visit.clears, 2);
  EXPECT_TRUE(visit.keysUsedUp);
  EXPECT_TRUE(visit.text.find(Conditioned) != std::string::npos);
  EXPECT_EQ(visitReport(aces, "aCUu").clears, 3);
  for (const std::string leave : {"u", "\x01", "\n", "x"}) {
    visit = visitReport(aces, "a" + leave);
    EXPECT_EQ(visit.clears, 1);
    EXPECT_TRUE(visit.keysUsedUp);
  }
}

TEST(SplitReport, CertainDealerBlackjackLeavesNothingToCondition) {
  // One ace and sixteen tens: with the pair of tens out, an ace up card
  // always has a ten beneath it, and (ev + 2d) / (1 - d) has no value.
  SplitCase tens;
  tens.pair = 10;
  tens.removals = {3, 4, 4, 4, 4, 4, 4, 4, 4, 0};
  const std::vector<std::string> views = displays(visitReport(tens, "tcq").text);
  ASSERT_EQ(views.size(), 2U);
  EXPECT_EQ(views[0].substr(views[0].find("\n\nSPL1 (")), expectedBlock(tens, false));
  EXPECT_TRUE(views[1].find("\nSPL1 versus A: X X X X X" + PromptU) != std::string::npos);
  const Values conditioned = printedValues(views[1]);
  EXPECT_FALSE(std::isnan(conditioned.at("SPL1")) || std::isnan(conditioned.at("T")));
}

// Records at every flush whether the split had been computed yet.
class FlushRecorder : public std::stringbuf {
 public:
  explicit FlushRecorder(const SplitCalculator& watched) : calculator(watched) {}
  std::vector<std::pair<std::string, bool>> flushes;

 protected:
  int sync() override {
    flushes.emplace_back(str(), calculator.dealerCache.computedCount() != 0);
    return 0;
  }

 private:
  const SplitCalculator& calculator;
};

class FlushWatchingConsole : public ScriptedConsole {
 public:
  FlushWatchingConsole(const SplitCalculator& calculator)
      : ScriptedConsole("aq"), recorder(calculator), stream(&recorder) {
    stream.precision(15);
  }
  std::ostream& out() override { return stream; }
  void printText(const char* text) override { stream << text; }
  FlushRecorder recorder;
  std::ostream stream;
};

TEST(SplitReport, ComputingNoticeIsFlushedBeforeTheComputation) {
  SplitCalculator calculator(Shoe(1), RuleSet{});
  FlushWatchingConsole console(calculator);
  showSplitReport(console, calculator, Removals{});
  int noticeFlushes = 0;
  for (const auto& [text, computed] : console.recorder.flushes) {
    if (text.size() > Computing.size() &&
        text.substr(text.size() - Computing.size()) == Computing) {
      ++noticeFlushes;
      EXPECT_FALSE(computed);
    }
  }
  EXPECT_EQ(noticeFlushes, 1);
  EXPECT_EQ(calculator.pairHand.pairRank, 1);
}

// In a child whose address space is capped: a large split runs out of
// memory, the report says so, and the same calculator computes the next one.
void runOutOfMemoryAndRecover() {
  SplitCalculator calculator(Shoe(8), RuleSet{});
  std::ifstream statm("/proc/self/statm");
  rlim_t pagesInUse = 0;
  statm >> pagesInUse;
  rlimit limit{};
  getrlimit(RLIMIT_AS, &limit);
  const rlimit saved = limit;
  limit.rlim_cur = pagesInUse * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (64U << 20);
  if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
  ScriptedConsole console("2k");
  showSplitReport(console, calculator, Removals{});
  setrlimit(RLIMIT_AS, &saved);

  const std::string end =
      Computing +
      "\n\n*** not enough memory to compute this split ***\n\nPress any key to continue";
  const std::string text = console.text();
  if (text.size() < end.size() || text.substr(text.size() - end.size()) != end) std::_Exit(3);
  if (!console.keysUsedUp() || !(calculator.shoe == Shoe(8))) std::_Exit(4);
  ScriptedConsole next("aq");  // split aces without hitting: quick on eight decks
  showSplitReport(next, calculator, Removals{});
  std::_Exit(
      next.text().find(PromptC) != std::string::npos && calculator.pairHand.pairRank == 1 ? 0 : 5);
}

TEST(SplitReportDeathTest, RunningOutOfMemoryIsReported) {
  if (AddressSanitizerBuild) GTEST_SKIP() << AddressLimitSkipReason;
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(runOutOfMemoryAndRecover(), testing::ExitedWithCode(0), "");
}

}  // namespace
