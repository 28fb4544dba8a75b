// The two screens that define the shoe: the number of decks and the cards
// removed from it, rank by rank.

#include <ostream>
#include <string>

#include "front/line_input.h"
#include "front/screens.h"

namespace {

// Shows a clamping message and waits for a key before going on.
void reportDeckBound(Console& console, const std::string& message, const std::string& corrected) {
  console.out() << message << corrected << "\n\nPress any key to contine";
  console.readKey();
}

}  // namespace

std::int32_t enterDeckCount(Console& console, std::int32_t decks, Removals& removals,
                            bool& deckChanged) {
  std::ostream& out = console.out();
  console.clearScreen();
  out << "Current number of decks:  " << decks
      << "\nChanging the current number of decks will reset removals to 0.";
  deckChanged = false;

  out << "\n\nDecks (no input results in no change):  ";
  // Zero means no number was typed (or 0 was): keep the current count.
  const std::int32_t typed = toInt32(readTypedLine(console, DeckLineLimit).text.data());
  std::int32_t candidate = typed != 0 ? typed : decks;

  if (candidate > MaxDecks) {
    reportDeckBound(console, "\n\n*** maximum number of decks is " + std::to_string(MaxDecks) + " ***",
                    "\n\tdecks = " + std::to_string(MaxDecks));
    candidate = MaxDecks;
  } else if (candidate < 1) {
    reportDeckBound(console, "\n\n*** minimum number of decks is 1 ***", "\n\tdecks = 1");
    candidate = 1;
  }

  // Removals of the old shoe could exceed the new one's cards.
  if (candidate != decks) {
    removals.fill(0);
    deckChanged = true;
  }
  return candidate;
}

void enterRemovals(Console& console, std::int32_t decks, Removals& removals) {
  std::ostream& out = console.out();
  console.clearScreen();
  out << "Changing removals (no input results in no change)"
      << "\nCurrent number of decks is " << decks << "\n\n";

  for (int rank = 1; rank <= RankCount; ++rank) {
    std::int32_t& entry = removals[rankIndex(rank)];
    out << "rank " << rank << " currently removed: " << entry << ", reset to:  ";
    // A line without any digit leaves the entry alone; one with a digit
    // anywhere is converted, so "x5" gives 0.
    const TypedLine line = readTypedLine(console, RemovalLineLimit);
    if (line.sawDigit) entry = toInt32(line.text.data());

    // Checked on every rank, typed or not.
    const std::int32_t bound = removalBound(rank, decks);
    if (entry > bound) {
      out << "\t*** error, set to " << bound << " ***\n";
      entry = bound;
    }
    if (entry < 0) {
      out << "\t*** error, set to 0 ***\n";
      entry = 0;
    }
  }

  out << "\nPress any key to continue";
  console.readKey();
}
