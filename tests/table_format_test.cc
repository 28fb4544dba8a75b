// The table program's three formats on exact strings, for one small case
// made by hand: a pair that cannot be dealt, an incomplete one with an up
// card that cannot be dealt, and a plain one; then that case's decision.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "lib/case_runner.h"
#include "splitev/format.h"
#include "table/progress_line.h"
#include "table/table_program.h"

namespace {

using splitev::PairResult;
using splitev::PairStatus;
using splitev::QuantityResult;
using splitev::Results;
using splitev::Show;

QuantityResult splitValues(double overall, bool complete) {
  QuantityResult values;
  values.name = "split";
  values.complete = complete;
  for (auto& view : values.views) {
    view.fill(0.5);
    view[0] = overall;
  }
  return values;
}

Results smallReport() {
  Results report;
  report.input.decks = 2;
  report.input.removed = {0, 0, 0, 0, 0, 0, 0, 6, 0, 1};
  report.input.rules.das = true;
  report.input.rules.doubling = splitev::DoubleRule::Hard10or11;
  report.input.rules.charlie = 6;
  report.input.rules.hands = 3;
  report.input.rules.resplitAces = true;

  PairResult aces{"A", PairStatus::CannotBeDealt, "pair cannot be dealt", {}, std::nullopt};
  PairResult eights{"8", PairStatus::Computed, std::nullopt, {splitValues(0.1, false)}, std::nullopt};
  QuantityResult& split = eights.quantities.front();
  split.views[0][Ace] = std::nullopt;
  split.views[1][Ace] = std::nullopt;
  split.views[0][Ten] = -1.0 / 3.0;
  split.views[1][Ten] = 2.0 / 3.0;
  split.views[0][5] = 1e-5;
  PairResult tens{"T", PairStatus::Computed, std::nullopt, {splitValues(-0.25, true)}, std::nullopt};
  report.pairs = {aces, eights, tens};
  return report;
}

// The values of one pair's decision: a fill, then entries by index.
ValueVector values(double fill, std::initializer_list<std::pair<int, double>> entries = {}) {
  ValueVector v;
  v.fill(fill);
  for (const auto& [entry, value] : entries) v[static_cast<std::size_t>(entry)] = value;
  return v;
}

// The small case's decision for three pairs under full peek, dealer
// blackjack 1/8 overall, 1/2 against an ace, 1/4 against a ten. Aces cannot
// be dealt. Fives may double; their best plays take every tie: stand = split
// overall (unconditional), stand = hit against 2, double = split against 3;
// against T the split wins only once its excess blackjack charge is added
// back. Eights may not double (a value ignored by the best play), no 8 up
// card is left, and the unsplit hand is incomplete.
Results decisionReport() {
  Results report;
  report.input = smallReport().input;
  SplitDecision aces;
  SplitDecision fives;
  fives.split.run = SplitRun::Completed;
  fives.split.blackjackOverall = 0.125;
  fives.split.blackjackVsAce = 0.5;
  fives.split.blackjackVsTen = 0.25;
  fives.split.dealable.fill(true);
  SplitDecision eights = fives;
  fives.split.ev = values(0.25, {{0, -0.25}, {Ten, -0.5}, {Ace, -1.5}});
  fives.splitJoint = values(0.375, {{0, -0.125}, {Ten, -0.375}, {Ace, -1.375}});
  fives.stand = values(-0.5, {{0, -0.125}, {2, 0.5}, {Ten, -0.375}});
  fives.hit = values(-0.25, {{2, 0.5}, {4, 0.75}, {Ten, -0.4375}, {Ace, -0.625}});
  fives.doubled = values(-1.0, {{0, -0.5}, {2, 0.0}, {3, 0.25}, {4, 0.5}, {Ten, -0.75}, {Ace, -0.75}});
  fives.doubleAllowed = true;
  eights.split.dealable[8] = false;
  eights.split.ev = values(-0.25, {{0, -0.375}, {8, 0.0}, {Ten, -0.75}, {Ace, -1.25}});
  eights.splitJoint = eights.split.ev;
  eights.stand = values(-0.5);
  eights.hit = values(-0.375);
  eights.doubled = values(9.0);
  eights.unsplitComplete = false;
  const RuleSet rules = splitev::engineCase(report.input).rules;
  report.pairs = {splitev::decisionPairResult(Ace, aces, rules), splitev::decisionPairResult(5, fives, rules),
                  splitev::decisionPairResult(8, eights, rules)};
  return report;
}

const std::string SmallHeader =
    "2 decks, shoe comp (A-T): {8, 8, 8, 8, 8, 8, 8, 2, 8, 31}; Single split EVs (full peek), S17, DAS, "
    "no DAN, no HSA, charlie 6, Double restricted to hard 10 or 11, resplit to 3 hands, RSA\n";
const std::string IncompleteNote =
    "* the shoe ran out of cards in some branch: these values are what the model gives, not what a real "
    "round would\n";

TEST(TableFormat, TextTablesPerViewWithTheReportsDigitsAndMarks) {
  EXPECT_EQ(splitev::toText(smallReport()),
            SmallHeader +
            "\n"
            "Unconditional EV\n"
            "pair   SPL1   2     3     4     5       6     7     8     9     T                   A\n"
            "A     pair cannot be dealt\n"
            "8*     0.1    0.5   0.5   0.5   1e-05   0.5   0.5   0.5   0.5  -0.333333333333333   X X X X X\n"
            "T     -0.25   0.5   0.5   0.5   0.5     0.5   0.5   0.5   0.5   0.5                 0.5\n"
            "\n"
            "EV conditioned on no dealer BJ\n"
            "pair   SPL1   2     3     4     5     6     7     8     9     T                   A\n"
            "A     pair cannot be dealt\n"
            "8*     0.1    0.5   0.5   0.5   0.5   0.5   0.5   0.5   0.5   0.666666666666667   X X X X X\n"
            "T     -0.25   0.5   0.5   0.5   0.5   0.5   0.5   0.5   0.5   0.5                 0.5\n"
            "\n" +
            IncompleteNote);

  EXPECT_EQ(splitev::toText(decisionReport(), Show::Decision),
            SmallHeader +
            "\n"
            "Decision: Unconditional EV\n"
            "pair  play          SPL1    2       3        4       5       6       7       8           9       T        A\n"
            "A     pair cannot be dealt\n"
            "5     split        -0.125   0.25    0.25     0.25    0.25    0.25    0.25    0.25        0.25   -0.25    -1\n"
            "      split_joint   0       0.375   0.375    0.375   0.375   0.375   0.375   0.375       0.375  -0.125   -0.875\n"
            "      stand        -0.125   0.5    -0.5     -0.5    -0.5    -0.5    -0.5    -0.5        -0.5    -0.375   -0.5\n"
            "      hit          -0.25    0.5    -0.25     0.75   -0.25   -0.25   -0.25   -0.25       -0.25   -0.4375  -0.625\n"
            "      double       -0.5     0       0.25     0.5    -1      -1      -1      -1          -1      -0.75    -0.75\n"
            "      best          stand   stand   double   hit     split   split   split   split       split   split    stand\n"
            "8     split        -0.25   -0.25   -0.25    -0.25   -0.25   -0.25   -0.25    X X X X X  -0.25   -0.5     -0.75\n"
            "      split_joint  -0.25   -0.25   -0.25    -0.25   -0.25   -0.25   -0.25    X X X X X  -0.25   -0.5     -0.75\n"
            "      stand*       -0.5    -0.5    -0.5     -0.5    -0.5    -0.5    -0.5     X X X X X  -0.5    -0.5     -0.5\n"
            "      hit*         -0.375  -0.375  -0.375   -0.375  -0.375  -0.375  -0.375   X X X X X  -0.375  -0.375   -0.375\n"
            "      double*      not allowed\n"
            "      best*         split   split   split    split   split   split   split   X X X X X   split   hit      hit\n"
            "\n"
            "Decision: EV conditioned on no dealer BJ\n"
            "pair  play          SPL1                2       3       4       5       6       7       8           9       T                   A\n"
            "A     pair cannot be dealt\n"
            "5     split         0                   0.25    0.25    0.25    0.25    0.25    0.25    0.25        0.25    0                  -1\n"
            "      split_joint   0.142857142857143   0.375   0.375   0.375   0.375   0.375   0.375   0.375       0.375   0.166666666666667  -0.75\n"
            "      stand         0                   0.5    -0.5    -0.5    -0.5    -0.5    -0.5    -0.5        -0.5    -0.166666666666667   0\n"
            "      hit          -0.142857142857143   0.5    -0.25    0.75   -0.25   -0.25   -0.25   -0.25       -0.25   -0.25               -0.25\n"
            "      double       -0.428571428571429   0       0.25    0.5    -1      -1      -1      -1          -1      -0.666666666666667  -0.5\n"
            "8     split        -0.142857142857143  -0.25   -0.25   -0.25   -0.25   -0.25   -0.25    X X X X X  -0.25   -0.333333333333333  -0.5\n"
            "      split_joint  -0.142857142857143  -0.25   -0.25   -0.25   -0.25   -0.25   -0.25    X X X X X  -0.25   -0.333333333333333  -0.5\n"
            "      stand*       -0.428571428571429  -0.5    -0.5    -0.5    -0.5    -0.5    -0.5     X X X X X  -0.5    -0.333333333333333   0\n"
            "      hit*         -0.285714285714286  -0.375  -0.375  -0.375  -0.375  -0.375  -0.375   X X X X X  -0.375  -0.166666666666667   0.25\n"
            "      double*      not allowed\n"
            "\n" +
            IncompleteNote);

  // All: the split tables, then the decision tables.
  Results aces = decisionReport();
  aces.pairs.resize(1);
  const std::string noAces = "A     pair cannot be dealt\n";
  const std::string columns = "   SPL1   2   3   4   5   6   7   8   9   T   A\n";
  EXPECT_EQ(splitev::toText(aces, Show::All),
            SmallHeader + "\nUnconditional EV\npair" + columns + noAces + "\nEV conditioned on no dealer BJ\npair" +
                columns + noAces + "\nDecision: Unconditional EV\npair  play" + columns + noAces +
                "\nDecision: EV conditioned on no dealer BJ\npair  play" + columns + noAces);
}

TEST(TableFormat, CsvRowsPerPairAndViewWithExactDigits) {
  EXPECT_EQ(splitev::toCsv(smallReport()),
            "pair,quantity,view,overall,2,3,4,5,6,7,8,9,T,A,complete\r\n"
            "8,split,unconditional,0.10000000000000001,0.5,0.5,0.5,1.0000000000000001e-05,0.5,0.5,0.5,0.5,"
            "-0.33333333333333331,,false\r\n"
            "8,split,conditioned,0.10000000000000001,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.66666666666666663,,false\r\n"
            "T,split,unconditional,-0.25,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.5,true\r\n"
            "T,split,conditioned,-0.25,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.5,true\r\n");

  Results eights = decisionReport();
  eights.pairs = {eights.pairs[2]};
  EXPECT_EQ(splitev::toCsv(eights),
            "pair,quantity,view,overall,2,3,4,5,6,7,8,9,T,A,complete\r\n"
            "8,split,unconditional,-0.25,-0.25,-0.25,-0.25,-0.25,-0.25,-0.25,,-0.25,-0.5,-0.75,true\r\n"
            "8,split,conditioned,-0.14285714285714285,-0.25,-0.25,-0.25,-0.25,-0.25,-0.25,,-0.25,"
            "-0.33333333333333331,-0.5,true\r\n"
            "8,split_joint,unconditional,-0.25,-0.25,-0.25,-0.25,-0.25,-0.25,-0.25,,-0.25,-0.5,-0.75,true\r\n"
            "8,split_joint,conditioned,-0.14285714285714285,-0.25,-0.25,-0.25,-0.25,-0.25,-0.25,,-0.25,"
            "-0.33333333333333331,-0.5,true\r\n"
            "8,stand,unconditional,-0.5,-0.5,-0.5,-0.5,-0.5,-0.5,-0.5,,-0.5,-0.5,-0.5,false\r\n"
            "8,stand,conditioned,-0.42857142857142855,-0.5,-0.5,-0.5,-0.5,-0.5,-0.5,,-0.5,-0.33333333333333331,0,"
            "false\r\n"
            "8,hit,unconditional,-0.375,-0.375,-0.375,-0.375,-0.375,-0.375,-0.375,,-0.375,-0.375,-0.375,false\r\n"
            "8,hit,conditioned,-0.2857142857142857,-0.375,-0.375,-0.375,-0.375,-0.375,-0.375,,-0.375,"
            "-0.16666666666666666,0.25,false\r\n"
            "8,double,unconditional,,,,,,,,,,,,false\r\n"
            "8,double,conditioned,,,,,,,,,,,,false\r\n"
            "8,best,unconditional,split,split,split,split,split,split,split,,split,hit,hit,false\r\n");
}

TEST(TableFormat, JsonObjectOnOneLine) {
  const std::string view = "\"2\":0.5,\"3\":0.5,\"4\":0.5,\"5\":0.5,\"6\":0.5,\"7\":0.5,\"8\":0.5,\"9\":0.5,";
  EXPECT_EQ(splitev::toJson(smallReport()),
            "{\"decks\":2,\"removed\":[0,0,0,0,0,0,0,6,0,1],\"rules\":{\"soft17\":\"stand\",\"double\":\"10-11\","
            "\"peek\":true,\"das\":true,\"hsa\":false,\"dspa\":false,\"charlie\":6,\"dan\":false,\"hands\":3,"
            "\"resplit_aces\":true},\"results\":["
            "{\"pair\":\"A\",\"error\":\"pair cannot be dealt\"},"
            "{\"pair\":\"8\",\"split\":{\"complete\":false,"
            "\"unconditional\":{\"overall\":0.10000000000000001,\"2\":0.5,\"3\":0.5,\"4\":0.5,"
            "\"5\":1.0000000000000001e-05,\"6\":0.5,\"7\":0.5,\"8\":0.5,\"9\":0.5,\"T\":-0.33333333333333331,"
            "\"A\":null},"
            "\"conditioned\":{\"overall\":0.10000000000000001," +
                view + "\"T\":0.66666666666666663,\"A\":null}}},"
                       "{\"pair\":\"T\",\"split\":{\"complete\":true,"
                       "\"unconditional\":{\"overall\":-0.25," +
                view + "\"T\":0.5,\"A\":0.5},\"conditioned\":{\"overall\":-0.25," + view +
                "\"T\":0.5,\"A\":0.5}}}]}\n");

  // One view of the eights: the overall value, one value from 2 to 9 (no 8 up card), then T and A.
  const auto eightsView = [](const std::string& overall, const std::string& pip, const std::string& t,
                             const std::string& a) {
    std::string text = "{\"overall\":" + overall;
    for (const char* up : {"2", "3", "4", "5", "6", "7", "8", "9"})
      text += ",\"" + std::string(up) + "\":" + (std::string(up) == "8" ? "null" : pip);
    return text + ",\"T\":" + t + ",\"A\":" + a + "}";
  };
  Results eights = decisionReport();
  eights.pairs = {eights.pairs[2]};
  const std::string split = "{\"complete\":true,\"unconditional\":" + eightsView("-0.25", "-0.25", "-0.5", "-0.75") +
                            ",\"conditioned\":" +
                            eightsView("-0.14285714285714285", "-0.25", "-0.33333333333333331", "-0.5") + "}";
  EXPECT_EQ(splitev::toJson(eights),
            "{\"decks\":2,\"removed\":[0,0,0,0,0,0,0,6,0,1],\"rules\":{\"soft17\":\"stand\",\"double\":\"10-11\","
            "\"peek\":true,\"das\":true,\"hsa\":false,\"dspa\":false,\"charlie\":6,\"dan\":false,\"hands\":3,"
            "\"resplit_aces\":true},\"results\":["
            "{\"pair\":\"8\",\"split\":" + split + ",\"split_joint\":" + split +
                ",\"stand\":{\"complete\":false,\"unconditional\":" + eightsView("-0.5", "-0.5", "-0.5", "-0.5") +
                ",\"conditioned\":" + eightsView("-0.42857142857142855", "-0.5", "-0.33333333333333331", "0") +
                "},\"hit\":{\"complete\":false,\"unconditional\":" +
                eightsView("-0.375", "-0.375", "-0.375", "-0.375") + ",\"conditioned\":" +
                eightsView("-0.2857142857142857", "-0.375", "-0.16666666666666666", "0.25") +
                "},\"double\":{\"complete\":false,\"unconditional\":" + eightsView("null", "null", "null", "null") +
                ",\"conditioned\":" + eightsView("null", "null", "null", "null") +
                "},\"best\":{\"complete\":false,\"unconditional\":" +
                eightsView("\"split\"", "\"split\"", "\"hit\"", "\"hit\"") + "}}]}\n");
}

TEST(TableFormat, BatchErrorsAndProgress) {
  EXPECT_EQ(formatBatchError(3, "unknown key \"a\tb\""), "{\"line\":3,\"error\":\"unknown key \\\"a\\tb\\\"\"}\n");
  EXPECT_EQ(formatProgress(0, 10, "pair", 0.2), "0/10 pairs, 0:00 elapsed");
  EXPECT_EQ(formatProgress(3, 10, "pair", 12.0), "3/10 pairs, 0:12 elapsed, about 0:28 left");
  EXPECT_EQ(formatProgress(4, std::nullopt, "case", 3725.0), "4 cases, 1:02:05 elapsed, about 15:31 a case");
}

}  // namespace
