#include <gtest/gtest.h>

#include <string>

#include "front/screens.h"
#include "tests/scripted_console.h"

namespace {

const std::string DeckPrompt =
    "\nChanging the current number of decks will reset removals to 0."
    "\n\nDecks (no input results in no change):  ";
const std::string MaxMessage =
    "\n\n*** maximum number of decks is 41297762 ***\n\tdecks = 41297762\n\nPress any key to "
    "contine";
const std::string MinMessage =
    "\n\n*** minimum number of decks is 1 ***\n\tdecks = 1\n\nPress any key to contine";
const Removals SomeRemovals = {1, 0, 2, 0, 0, 3, 0, 0, 0, 5};

struct DeckVisit {
  std::int32_t decks = 0;
  bool changed = true;
  Removals removals = SomeRemovals;
  std::string text;
  bool keysUsedUp = false;
};

// Keys are scripted only where a message waits for one; an unexpected wait
// throws EndOfInput.
DeckVisit visitDeckScreen(std::int32_t decks, const std::string& lines,
                          const std::string& keys = "") {
  ScriptedConsole console(keys, lines);
  DeckVisit visit;
  visit.decks = enterDeckCount(console, decks, visit.removals, visit.changed);
  visit.text = console.text();
  visit.keysUsedUp = console.keysUsedUp();
  return visit;
}

TEST(DeckCountScreen, NoNumberOrTheSameNumberChangesNothing) {
  for (const std::string line : {"\n", "0\n", "abc\n", "   \n", "-\n", "x12\n", "6\n"}) {
    SCOPED_TRACE(line);
    const DeckVisit visit = visitDeckScreen(6, line);
    EXPECT_EQ(visit.decks, 6);
    EXPECT_FALSE(visit.changed);
    EXPECT_EQ(visit.removals, SomeRemovals);
    EXPECT_EQ(visit.text, "Current number of decks:  6" + DeckPrompt);
  }
}

TEST(DeckCountScreen, NewCountZeroesRemovalsAndSetsFlag) {
  for (const auto& [line, expected] :
       {std::pair<std::string, int>{"2x\n", 2}, {" +8\n", 8}, {"41297762\n", 41297762}}) {
    SCOPED_TRACE(line);
    const DeckVisit visit = visitDeckScreen(1, line);
    EXPECT_EQ(visit.decks, expected);
    EXPECT_TRUE(visit.changed);
    EXPECT_EQ(visit.removals, Removals{});
    EXPECT_EQ(visit.text, "Current number of decks:  1" + DeckPrompt);
  }
}

TEST(DeckCountScreen, OutOfRangeCountsAreClampedAfterAKey) {
  // From one deck, the corrected -3 is no change at all.
  DeckVisit visit = visitDeckScreen(1, "-3\n", "k");
  EXPECT_EQ(visit.decks, 1);
  EXPECT_FALSE(visit.changed);
  EXPECT_EQ(visit.removals, SomeRemovals);
  EXPECT_EQ(visit.text, "Current number of decks:  1" + DeckPrompt + MinMessage);
  EXPECT_TRUE(visit.keysUsedUp);

  visit = visitDeckScreen(6, "-3\n", "k");
  EXPECT_EQ(visit.decks, 1);
  EXPECT_TRUE(visit.changed);
  EXPECT_EQ(visit.removals, Removals{});
  EXPECT_EQ(visit.text, "Current number of decks:  6" + DeckPrompt + MinMessage);

  visit = visitDeckScreen(6, "41297763\n", "\x01");
  EXPECT_EQ(visit.decks, 41297762);
  EXPECT_TRUE(visit.changed);
  EXPECT_EQ(visit.text, "Current number of decks:  6" + DeckPrompt + MaxMessage);
  EXPECT_TRUE(visit.keysUsedUp);
}

TEST(DeckCountScreen, LongLineIsCutToNineCharactersAndItsRestDropped) {
  Removals removals{};
  bool changed = false;
  ScriptedConsole tenDigits("", "0000000123\n7\n");
  EXPECT_EQ(enterDeckCount(tenDigits, 1, removals, changed), 12);
  EXPECT_EQ(tenDigits.readLineChar(), '7');  // the next line is intact
  // Exactly nine: the line end comes next and nothing more is swallowed.
  ScriptedConsole nineDigits("", "000000012\n5\n");
  EXPECT_EQ(enterDeckCount(nineDigits, 1, removals, changed), 12);
  EXPECT_EQ(nineDigits.readLineChar(), '5');
}

TEST(RemovalsScreen, OneDeckEntriesAreConvertedAndBounded) {
  const std::string lines =
      "5\n"            // ace: above 4
      "-1\n"           // two: negative
      "\n"             // three: kept
      "x5\n"           // four: a digit, but no number at the start
      "3 cards\n"      // five
      "abc\n"          // six: no digit, kept
      "4294967297\n"   // seven: beyond 32 bits, clamped rather than wrapped to 1
      "00000000017\n"  // eight: the 7 after the tenth character is dropped
      "abcdefghij5\n"  // nine: the only digit is after the tenth character
      "17\n";          // tens: above 16
  ScriptedConsole console("q", lines);
  Removals removals = {0, 1, 2, 3, 0, 1, 0, 0, 2, 0};
  enterRemovals(console, 1, removals);

  EXPECT_EQ(removals, (Removals{4, 0, 2, 0, 3, 1, 4, 1, 2, 16}));
  EXPECT_EQ(console.text(),
            "Changing removals (no input results in no change)\nCurrent number of decks is 1\n\n"
            "rank 1 currently removed: 0, reset to:  \t*** error, set to 4 ***\n"
            "rank 2 currently removed: 1, reset to:  \t*** error, set to 0 ***\n"
            "rank 3 currently removed: 2, reset to:  "
            "rank 4 currently removed: 3, reset to:  "
            "rank 5 currently removed: 0, reset to:  "
            "rank 6 currently removed: 1, reset to:  "
            "rank 7 currently removed: 0, reset to:  \t*** error, set to 4 ***\n"
            "rank 8 currently removed: 0, reset to:  "
            "rank 9 currently removed: 2, reset to:  "
            "rank 10 currently removed: 0, reset to:  \t*** error, set to 16 ***\n"
            "\nPress any key to continue");
  EXPECT_TRUE(console.keysUsedUp());
  EXPECT_TRUE(console.linesUsedUp());
}

TEST(RemovalsScreen, BoundsAreCheckedOnUntouchedRanks) {
  ScriptedConsole console("q", "");
  Removals removals = {9, -2, 0, 0, 0, 0, 0, 0, 0, 33};
  enterRemovals(console, 2, removals);
  EXPECT_EQ(removals, (Removals{8, 0, 0, 0, 0, 0, 0, 0, 0, 32}));
  for (const std::string line :
       {"rank 1 currently removed: 9, reset to:  \t*** error, set to 8 ***\n",
        "rank 2 currently removed: -2, reset to:  \t*** error, set to 0 ***\n",
        "rank 10 currently removed: 33, reset to:  \t*** error, set to 32 ***\n"}) {
    EXPECT_NE(console.text().find(line), std::string::npos) << line;
  }
}

}  // namespace
