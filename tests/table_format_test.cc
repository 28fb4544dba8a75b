// The table program's three formats on exact strings, for one small report
// made by hand: a pair that cannot be dealt, an incomplete one with an up
// card that cannot be dealt, and a plain one.
#include <gtest/gtest.h>

#include <string>

#include "table/table_format.h"

namespace {

QuantityValues splitValues(double overall, bool complete) {
  QuantityValues values;
  values.name = "split";
  values.complete = complete;
  for (auto& view : values.views) {
    view.fill({true, 0.5});
    view[0] = {true, overall};
  }
  return values;
}

CaseReport smallReport() {
  CaseReport report;
  report.table.decks = 2;
  report.table.removed = {0, 0, 0, 0, 0, 0, 0, 6, 0, 1};
  report.table.rules.das = true;
  report.table.rules.doubleRule = DoubleRule::Hard10or11;
  report.table.rules.charlie6 = true;

  PairReport aces{Ace, PairStatus::CannotBeDealt, {}};
  PairReport eights{8, PairStatus::Computed, {splitValues(0.1, false)}};
  QuantityValues& split = eights.quantities.front();
  split.views[0][Ace] = {false, 0.0};
  split.views[1][Ace] = {false, 0.0};
  split.views[0][Ten] = {true, -1.0 / 3.0};
  split.views[1][Ten] = {true, 2.0 / 3.0};
  split.views[0][5] = {true, 1e-5};
  PairReport tens{Ten, PairStatus::Computed, {splitValues(-0.25, true)}};
  report.pairs = {aces, eights, tens};
  return report;
}

TEST(TableFormat, TextTablesPerViewWithTheReportsDigitsAndMarks) {
  EXPECT_EQ(formatText(smallReport()),
            "2 decks, shoe comp (A-T): {8, 8, 8, 8, 8, 8, 8, 2, 8, 31}; Single split EVs (full peek), S17, DAS, "
            "no DAN, no HSA, charlie 6, Double restricted to hard 10 or 11\n"
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
            "\n"
            "* the shoe ran out of cards in some branch: these values are what the model gives, not what a real "
            "round would\n");
}

TEST(TableFormat, CsvRowsPerPairAndViewWithExactDigits) {
  EXPECT_EQ(formatCsv(smallReport()),
            "pair,quantity,view,overall,2,3,4,5,6,7,8,9,T,A,complete\r\n"
            "8,split,unconditional,0.10000000000000001,0.5,0.5,0.5,1.0000000000000001e-05,0.5,0.5,0.5,0.5,"
            "-0.33333333333333331,,false\r\n"
            "8,split,conditioned,0.10000000000000001,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.66666666666666663,,false\r\n"
            "T,split,unconditional,-0.25,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.5,true\r\n"
            "T,split,conditioned,-0.25,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0.5,true\r\n");
}

TEST(TableFormat, JsonObjectOnOneLine) {
  const std::string view = "\"2\":0.5,\"3\":0.5,\"4\":0.5,\"5\":0.5,\"6\":0.5,\"7\":0.5,\"8\":0.5,\"9\":0.5,";
  EXPECT_EQ(formatJson(smallReport()),
            "{\"decks\":2,\"removed\":[0,0,0,0,0,0,0,6,0,1],\"rules\":{\"soft17\":\"stand\",\"double\":\"10-11\","
            "\"peek\":true,\"das\":true,\"hsa\":false,\"dspa\":false,\"charlie\":6,\"dan\":false},\"results\":["
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
}

TEST(TableFormat, BatchErrorsAndProgress) {
  EXPECT_EQ(formatBatchError(3, "unknown key \"a\tb\""), "{\"line\":3,\"error\":\"unknown key \\\"a\\tb\\\"\"}\n");
  EXPECT_EQ(formatProgress(0, 10, "pair", 0.2), "0/10 pairs, 0:00 elapsed");
  EXPECT_EQ(formatProgress(3, 10, "pair", 12.0), "3/10 pairs, 0:12 elapsed, about 0:28 left");
  EXPECT_EQ(formatProgress(4, std::nullopt, "case", 3725.0), "4 cases, 1:02:05 elapsed, about 15:31 a case");
}

}  // namespace
