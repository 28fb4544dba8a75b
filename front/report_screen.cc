// The split report: shoe composition, pair entry, one split computation and
// its results, unconditional or conditioned on no dealer blackjack.

#include <array>
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

#include "front/screens.h"
#include "model/rules_summary.h"
#include "split/split_views.h"

namespace {

constexpr const char* NotDealt = "X X X X X";

// The pair keys and, at the same position, the pair value each one gives.
constexpr std::string_view PairKeys = "aA23456789tT";
constexpr std::array<Rank, 12> PairValues = {1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10};
static_assert(PairKeys.size() == PairValues.size());

// Prints the shoe the removals leave and returns its counts, ace first.
ShoeCounts printShoeComposition(Console& console, const SplitCalculator& calculator,
                                const Removals& removals) {
  const ShoeCounts available = availableCounts(calculator.shoe, removals);
  std::ostream& out = console.out();
  out << "Shoe comp (A-5):  {";
  for (int rank = 1; rank <= 5; ++rank) {
    out << (rank > 1 ? ", " : "") << available[rankIndex(rank)];
  }
  out << "}\nShoe comp (6-T):  {";
  for (int rank = 6; rank <= RankCount; ++rank) {
    out << (rank > 6 ? ", " : "") << available[rankIndex(rank)];
  }
  out << "}";
  return available;
}

// Waits for a pair key; there is no default and nothing else is echoed.
Rank enterPairValue(Console& console) {
  std::ostream& out = console.out();
  out << "\n\nPlease input pair value."
      << "\n(a or A,2,3,4,5,6,7,8,9,t or T): ";
  for (;;) {
    const int key = console.readKey();
    // A key without a character is never a pair key.
    const bool isCharacter = key >= 0 && key < NonCharacterKey;
    const std::size_t at = isCharacter ? PairKeys.find(static_cast<char>(key)) : PairKeys.npos;
    if (at != PairKeys.npos) {
      out << "Pair value = " << PairValues[at];
      return PairValues[at];
    }
  }
}

// The summary of the rules that bear on splitting, then the view.
void printHeader(std::ostream& out, const RuleSet& rules, bool conditioned) {
  out << "\n\n" << rulesSummary(rules);
  const std::string doubling = doublingSummary(rules);
  if (!doubling.empty()) out << "\n" << doubling;
  out << (conditioned ? "\nEV conditioned on no dealer BJ" : "\nUnconditional EV");
  out << ", Allowed splits: " << 1;
}

void printLineValue(std::ostream& out, const ShownValue& line) {
  if (line.shown) {
    out << line.value;
  } else {
    out << NotDealt;
  }
}

void printResults(Console& console, const SplitResults& results, const RuleSet& rules, bool conditioned) {
  std::ostream& out = console.out();
  out << "\n\nSPL1 (split & play without knowledge of dealer up card): ";
  printLineValue(out, splitValueInView(results, 0, rules, conditioned));
  out << "\n";
  for (int upCard = 2; upCard <= 9; ++upCard) {
    out << "SPL1 versus " << upCard << ": ";
    printLineValue(out, splitValueInView(results, upCard, rules, conditioned));
    out << "\n";
  }
  out << "SPL1 versus T: ";
  printLineValue(out, splitValueInView(results, Ten, rules, conditioned));
  out << "\n";
  out << "SPL1 versus A: ";
  printLineValue(out, splitValueInView(results, Ace, rules, conditioned));
  // Where the shoe ran out, a dealer who could not finish counted as bust and
  // a hit without a card as worth nothing: the values are the model's only.
  if (!results.complete)
    out << "\n*** too few cards left to complete every hand: these values are not reliable ***";
  console.printText(
      conditioned
          ? "\n\nPress u or U to display unconditional EV, any other key to exit"
          : "\n\nPress c or C for EV conditioned on no dealer blackjack, any other key to exit");
}

// Shows a one-line reason why nothing was computed and waits for a key.
void endWithoutResults(Console& console, const char* reason) {
  console.out() << reason << "\n\nPress any key to continue";
  console.readKey();
}

}  // namespace

void showSplitReport(Console& console, SplitCalculator& calculator, const Removals& removals) {
  std::ostream& out = console.out();

  // Step 1: the shoe and the pair.
  console.clearScreen();
  const ShoeCounts available = printShoeComposition(console, calculator, removals);
  const Rank pair = enterPairValue(console);
  printHeader(out, calculator.rules, false);

  // Step 2: the one computation, if the pair can be dealt at all.
  if (!canDealPair(pair, available)) {
    endWithoutResults(console, " ...Pair cannot be dealt");
    return;
  }
  // The computation can take long: the user must see why nothing happens.
  out << " ...Computing, please wait..." << std::flush;
  const SplitResults results = calculator.evaluateSplit(removals, pair);
  if (results.run == SplitRun::OutOfMemory) {
    endWithoutResults(console, "\n\n*** not enough memory to compute this split ***");
    return;
  }
  // Refused: the driver found fewer than two pair cards and computed nothing.
  if (results.run != SplitRun::Completed) {
    endWithoutResults(console, " ...Pair cannot be dealt");
    return;
  }

  // Step 3: the results, toggled between the two views without recomputing.
  bool conditioned = false;
  printResults(console, results, calculator.rules, conditioned);
  for (;;) {
    const int key = console.readKey();
    const bool toggles = conditioned ? (key == 'u' || key == 'U') : (key == 'c' || key == 'C');
    if (!toggles) return;
    conditioned = !conditioned;
    console.clearScreen();
    printShoeComposition(console, calculator, removals);
    out << "\n\nPair value: " << pair;
    printHeader(out, calculator.rules, conditioned);
    printResults(console, results, calculator.rules, conditioned);
  }
}
