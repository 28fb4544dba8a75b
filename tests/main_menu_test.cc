#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "dealer/dealer_outcome.h"
#include "front/main_loop.h"
#include "front/main_menu.h"
#include "tests/scripted_console.h"

namespace {

const std::string Menu =
    "This program computes optimal expected values for a single\n"
    "pair split in blackjack\n"
    "It computes one split only. It does not compute resplits."
    "\n\nPlease make a selection - 1 displays current rules, 2 sets rules"
    "\n\n\tThe first time program runs....."
    "\n\t\tDecks default to 1, pair value defaults to ace,"
    "\n\t\tand a default set of rules is used with a full"
    "\n\t\tshoe composition."
    "\n\t\tDefaults or current values can be changed"
    "\n\t\tby choosing Set/Reset...."
    "\n\n\t0 Set/Reset number of decks"
    "\n\t1 List current rules"
    "\n\t2 Set/Reset rules (that pertain to splitting)"
    "\n\t3 Set/Reset shoe removals"
    "\n\t4 Compute optimal expected values for splitting once"
    "\n\ti or I to display program information"
    "\n\tx or X to exit program";

const std::string Prompt = "\n\n\tChoice:  ";

// The menu with its prompt and the echoed key.
std::string menuChoosing(char key) { return Menu + Prompt + key; }

const std::string TechnicalDescription =
    "\n\n\tIt seems that in computing expected values in blackjack that"
    "\n\tsooner or later the question comes up as to what is absolutely"
    "\n\tmost optimal. It is relatively simple to compute optimal expected"
    "\n\tvalues for a non-pair hand in blackjack. Splitting a pair hand,"
    "\n\thowever, presents a much more difficult problem. This program only"
    "\n\tcomputes pair splits. It computes expected values for splitting"
    "\n\tonce, does not compute resplits, and does not compute expected"
    "\n\tvalues for hit/stand/double. It assumes that there are enough cards"
    "\n\tremaining in the shoe to complete all hands. The user should keep"
    "\n\tthis in mind when inputting shoe removals in order to try and avoid"
    "\n\toutputting unreliable values.";

const std::string Information =
    "\n\tThis program computes optimal expected values for splitting"
    "\n\ta pair one time in blackjack. Anyone may use, copy and share splitev freely."
    "\n\tsplitev is provided as is, without warranty of any kind, express or"
    "\n\timplied, including fitness for a particular purpose. Its values are"
    "\n\texact for the shoe and rules entered and are meant for analysis only;"
    "\n\tthe user alone is responsible for any use made of them." +
    TechnicalDescription +
    "\n\n\tQuestions, fault reports and suggestions are welcome on the"
    "\n\tissue tracker of the splitev project."
    "\n\nPress any key to continue";

struct MenuRun {
  std::string output;
  int status;
  int clears;
};

MenuRun runWithKeys(const std::string& keys) {
  ScriptedConsole console(keys);
  const int status = runProgram(console);
  EXPECT_TRUE(console.keysUsedUp());
  return {console.text(), status, console.clearCount};
}

TEST(MainMenu, ShowsTheMenuAndEndsOnX) {
  for (const char exitKey : {'x', 'X'}) {
    const MenuRun run = runWithKeys(std::string(1, exitKey));
    EXPECT_EQ(run.output, menuChoosing(exitKey));  // nothing printed after the echo
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.clears, 1);
  }
}

TEST(MainMenu, IgnoresUnlistedKeysWithoutEchoOrRedraw) {
  // Letters, other digits, Enter, Escape, a key without a character, a space.
  const MenuRun run = runWithKeys("q6\n\x1b\x01 a9x");
  EXPECT_EQ(run.output, menuChoosing('x'));
  EXPECT_EQ(run.clears, 1);
}

TEST(MainMenu, KeyFiveEchoesAndRedraws) {
  const MenuRun run = runWithKeys("55x");
  EXPECT_EQ(run.output, menuChoosing('5') + menuChoosing('5') + menuChoosing('x'));
  EXPECT_EQ(run.clears, 3);
}

TEST(MainMenu, InformationScreenReturnsOnAnyKey) {
  // The key that leaves the screen is consumed, even one the menu would accept.
  const MenuRun run = runWithKeys("iqI\x01i5X");
  EXPECT_EQ(run.output, menuChoosing('i') + Information + menuChoosing('I') + Information +
                            menuChoosing('i') + Information + menuChoosing('X'));
  EXPECT_EQ(run.clears, 7);  // each menu and each information screen
}

TEST(MainMenu, EndOfKeysEndsTheProgramQuietly) {
  MenuRun run = runWithKeys("");
  EXPECT_EQ(run.output, Menu + Prompt);
  EXPECT_EQ(run.status, 0);

  // Also while a screen waits for its key.
  run = runWithKeys("5i");
  EXPECT_EQ(run.output, menuChoosing('5') + menuChoosing('i') + Information);
  EXPECT_EQ(run.status, 0);
}

TEST(ProgramStart, SetsThePrecisionAndStartsWithOneDeckAndDefaultRules) {
  ScriptedConsole console("x");
  console.out().precision(6);
  runProgram(console);
  EXPECT_EQ(console.out().precision(), 15);

  const ProgramState state;
  EXPECT_EQ(state.decks, 1);
  EXPECT_EQ(state.removals, Removals{});
  EXPECT_FALSE(state.deckChanged);
  EXPECT_FALSE(state.rulesChanged);
  EXPECT_EQ(state.calculator.shoe, Shoe(1));
  EXPECT_TRUE(state.calculator.rules.standsOnSoft17);
  EXPECT_EQ(state.calculator.dealerCache.recordCount(), 0);
}

// A state whose dealer cache holds the outcome of the full shoe.
void fillCache(ProgramState& state) {
  state.calculator.dealerOutcomeFor(state.calculator.shoe.takenOut());
  ASSERT_EQ(state.calculator.dealerCache.recordCount(), 1);
}

TEST(ProgramEnd, DiscardsTheDealerCacheHoweverItEnds) {
  for (const std::string keys : {"x", "X", "", "i"}) {
    ProgramState state;
    fillCache(state);
    ScriptedConsole console(keys);
    EXPECT_EQ(runMainLoop(console, state), 0);
    EXPECT_EQ(state.calculator.dealerCache.recordCount(), 0) << keys;
  }
}

// Notes the dealer cache's size whenever a key is read, so the loop's effect
// on the cache can be seen before the end of the run discards it.
struct CacheWatchingConsole : ScriptedConsole {
  CacheWatchingConsole(std::string keys, std::string lines, const ProgramState& watched)
      : ScriptedConsole(std::move(keys), std::move(lines)), state(watched) {}
  int readKey() override {
    cacheAtLastKey = state.calculator.dealerCache.recordCount();
    return ScriptedConsole::readKey();
  }
  const ProgramState& state;
  std::int64_t cacheAtLastKey = -1;
};

// Runs the keys and lines on a state with a filled dealer cache; the last key
// must be x. Returns the cache size seen when x was read.
std::int64_t cacheAfter(ProgramState& state, const std::string& keys,
                        const std::string& lines = "") {
  fillCache(state);
  CacheWatchingConsole console(keys, lines, state);
  EXPECT_EQ(runMainLoop(console, state), 0);
  EXPECT_TRUE(console.keysUsedUp());
  EXPECT_TRUE(console.linesUsedUp());
  EXPECT_EQ(state.calculator.dealerCache.recordCount(), 0);  // discarded at exit
  return console.cacheAtLastKey;
}

// The editor's keys: soft-17 choice, then Enter on screens 1 to 8 (screen 6
// is skipped with DAS and HSA off), then a key for the listing.
std::string editorKeys(const std::string& firstScreen, const std::string& fourthScreen = "") {
  return "2" + firstScreen + "\n\n\n" + fourthScreen + "\n\n\n\n ";
}

TEST(MainLoop, RedrawAndInformationKeepTheDealerCache) {
  ProgramState state;
  EXPECT_EQ(cacheAfter(state, "5i x"), 1);
}

TEST(MainLoop, DeckCountChangeResetsTheShoeAndDiscardsTheCache) {
  ProgramState state;
  state.removals[0] = 3;
  EXPECT_EQ(cacheAfter(state, "0x", "2\n"), 0);
  EXPECT_EQ(state.decks, 2);
  EXPECT_EQ(state.calculator.shoe, Shoe(2));
  EXPECT_EQ(state.removals, Removals{});
  EXPECT_TRUE(state.deckChanged);
}

TEST(MainLoop, SameDeckCountKeepsRemovalsAndCache) {
  for (const std::string line : {"1\n", "\n"}) {
    ProgramState state;
    state.removals[9] = 5;
    EXPECT_EQ(cacheAfter(state, "0x", line), 1);
    EXPECT_EQ(state.decks, 1);
    EXPECT_EQ(state.removals[9], 5);
    EXPECT_EQ(state.calculator.shoe, Shoe(1));
  }
}

TEST(MainLoop, RemovalsKeepTheCacheAndStayApartFromTheShoe) {
  ProgramState state;
  EXPECT_EQ(cacheAfter(state, "3 x", "2\n\n\n\n\n\n\n\n\n4\n"), 1);
  EXPECT_EQ(state.removals[0], 2);
  EXPECT_EQ(state.removals[9], 4);
  EXPECT_EQ(state.calculator.shoe, Shoe(1));
}

TEST(MainLoop, OnlyASoft17ChangeDiscardsTheCache) {
  ProgramState hits;
  EXPECT_EQ(cacheAfter(hits, editorKeys("1") + "x"), 0);
  EXPECT_FALSE(hits.calculator.rules.standsOnSoft17);

  ProgramState awayAndBack;
  EXPECT_EQ(cacheAfter(awayAndBack, editorKeys("10") + "x"), 1);
  EXPECT_TRUE(awayAndBack.calculator.rules.standsOnSoft17);
  EXPECT_FALSE(awayAndBack.rulesChanged);

  ProgramState doubling;
  EXPECT_EQ(cacheAfter(doubling, editorKeys("", "0") + "x"), 1);
  EXPECT_TRUE(doubling.calculator.rules.das);

  // A second editor run that changes nothing clears the flag left by the first.
  ProgramState twice;
  EXPECT_EQ(cacheAfter(twice, editorKeys("1") + editorKeys("") + "x"), 0);
  EXPECT_FALSE(twice.rulesChanged);
}

}  // namespace
