// The split report: shoe composition, pair entry, one split computation and
// its results, unconditional or conditioned on no dealer blackjack.

#include <array>
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

#include "front/screens.h"
#include "model/rules_summary.h"

namespace {

constexpr const char* NotDealt = "X X X X X";

// The pair keys and, at the same position, the pair value each one gives.
constexpr std::string_view PairKeys = "aA23456789tT";
constexpr std::array<Rank, 12> PairValues = {1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10};
static_assert(PairKeys.size() == PairValues.size());

// Prints the shoe the removals leave and returns its counts, ace first.
ShoeCounts printShoeComposition(Console& console, const SplitCalculator& calculator,
                                const Removals& removals) {
  ShoeCounts available{};
  for (int rank = 1; rank <= RankCount; ++rank) {
    available[rankIndex(rank)] = calculator.shoe.count(rank) - removals[rankIndex(rank)];
  }
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

// One result line: its value, or none when the line has no value to show.
struct LineValue {
  bool shown;
  double value;
};

// The engine charges a dealer blackjack as the loss of both split bets. When
// the dealer peeks, only the initial bet is lost: add d back (unconditional
// view), or remove the blackjack outcome and renormalise (conditioned view).
// A dealer who has blackjack for certain leaves nothing to condition on.
LineValue peekAdjusted(double ev, double dealerBj, const RuleSet& rules, bool conditioned) {
  if (!rules.peeks()) return {true, ev};
  if (!conditioned) return {true, ev + dealerBj};
  if (dealerBj >= 1.0) return {false, 0.0};
  return {true, (ev + 2.0 * dealerBj) / (1.0 - dealerBj)};
}

// An up card cannot be dealt when none is left once the pair is out.
bool canDealUpCard(int upCard, Rank pair, const ShoeCounts& available) {
  const std::int32_t count = available[rankIndex(upCard)];
  return count > 0 && !(upCard == pair && count < 3);
}

void printLineValue(std::ostream& out, const LineValue& line) {
  if (line.shown) {
    out << line.value;
  } else {
    out << NotDealt;
  }
}

void printResults(Console& console, const SplitCalculator& calculator, Rank pair,
                  const ShoeCounts& available, bool conditioned) {
  const ValueVector& ev = calculator.pairHand.splitEv;
  const DealerOutcome& dealer = *calculator.pairHand.dealer;
  const RuleSet& rules = calculator.rules;
  const auto upCardLine = [&](int upCard) {
    if (!canDealUpCard(upCard, pair, available)) return LineValue{false, 0.0};
    const double value = ev[static_cast<std::size_t>(upCard)];
    if (upCard != Ace && upCard != Ten) return LineValue{true, value};
    return peekAdjusted(value, dealer.byUpCard[rankIndex(upCard)][DealerBlackjack], rules,
                        conditioned);
  };

  std::ostream& out = console.out();
  out << "\n\nSPL1 (split & play without knowledge of dealer up card): ";
  printLineValue(out, peekAdjusted(ev[0], dealer.overall[DealerBlackjack], rules, conditioned));
  out << "\n";
  for (int upCard = 2; upCard <= 9; ++upCard) {
    out << "SPL1 versus " << upCard << ": ";
    printLineValue(out, upCardLine(upCard));
    out << "\n";
  }
  out << "SPL1 versus T: ";
  printLineValue(out, upCardLine(Ten));
  out << "\n";
  out << "SPL1 versus A: ";
  printLineValue(out, upCardLine(Ace));
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
  ShoeCounts available = printShoeComposition(console, calculator, removals);
  const Rank pair = enterPairValue(console);
  printHeader(out, calculator.rules, false);

  // Step 2: the one computation, if the pair can be dealt at all.
  if (available[rankIndex(pair)] < 2) {
    endWithoutResults(console, " ...Pair cannot be dealt");
    return;
  }
  // The computation can take long: the user must see why nothing happens.
  out << " ...Computing, please wait..." << std::flush;
  const SplitRun run = calculator.evaluateSplit(removals, pair);
  if (run == SplitRun::OutOfMemory) {
    endWithoutResults(console, "\n\n*** not enough memory to compute this split ***");
    return;
  }
  // Refused: the driver found fewer than two pair cards and computed nothing.
  if (run != SplitRun::Completed) {
    endWithoutResults(console, " ...Pair cannot be dealt");
    return;
  }

  // Step 3: the results, toggled between the two views without recomputing.
  bool conditioned = false;
  printResults(console, calculator, pair, available, conditioned);
  for (;;) {
    const int key = console.readKey();
    const bool toggles = conditioned ? (key == 'u' || key == 'U') : (key == 'c' || key == 'C');
    if (!toggles) return;
    conditioned = !conditioned;
    console.clearScreen();
    available = printShoeComposition(console, calculator, removals);
    out << "\n\nPair value: " << pair;
    printHeader(out, calculator.rules, conditioned);
    printResults(console, calculator, pair, available, conditioned);
  }
}
