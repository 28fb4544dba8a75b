#include "front/main_menu.h"

#include <ostream>

namespace {

struct MenuKey {
  int key;
  MenuAction action;
};

// Every key the main menu accepts; any other key is ignored.
constexpr MenuKey MenuKeys[] = {
    {'0', MenuAction::DeckCount},   {'1', MenuAction::ListRules},
    {'2', MenuAction::EditRules},   {'3', MenuAction::Removals},
    {'4', MenuAction::SplitReport}, {'5', MenuAction::Redraw},
    {'i', MenuAction::Information}, {'I', MenuAction::Information},
    {'x', MenuAction::Exit},        {'X', MenuAction::Exit},
};

constexpr const char* MenuTexts[] = {
    "This program computes optimal expected values for a single\n",
    "pair split in blackjack\n",
    "It computes one split only. It does not compute resplits.",
    "\n\nPlease make a selection - 1 displays current rules, 2 sets rules",
    "\n\n\tThe first time program runs.....",
    "\n\t\tDecks default to 1, pair value defaults to ace,",
    "\n\t\tand a default set of rules is used with a full",
    "\n\t\tshoe composition.",
    "\n\t\tDefaults or current values can be changed",
    "\n\t\tby choosing Set/Reset....",
    "\n\n\t0 Set/Reset number of decks",
    "\n\t1 List current rules",
    "\n\t2 Set/Reset rules (that pertain to splitting)",
    "\n\t3 Set/Reset shoe removals",
    "\n\t4 Compute optimal expected values for splitting once",
    "\n\ti or I to display program information",
    "\n\tx or X to exit program",
};

constexpr const char* InformationTexts[] = {
    "\n\tThis program computes optimal expected values for splitting",
    // Terms of use and warranty.
    "\n\ta pair one time in blackjack. Anyone may use, copy and share splitev freely.",
    "\n\tsplitev is provided as is, without warranty of any kind, express or",
    "\n\timplied, including fitness for a particular purpose. Its values are",
    "\n\texact for the shoe and rules entered and are meant for analysis only;",
    "\n\tthe user alone is responsible for any use made of them.",
    // What the program does and does not compute.
    "\n\n\tIt seems that in computing expected values in blackjack that",
    "\n\tsooner or later the question comes up as to what is absolutely",
    "\n\tmost optimal. It is relatively simple to compute optimal expected",
    "\n\tvalues for a non-pair hand in blackjack. Splitting a pair hand,",
    "\n\thowever, presents a much more difficult problem. This program only",
    "\n\tcomputes pair splits. It computes expected values for splitting",
    "\n\tonce, does not compute resplits, and does not compute expected",
    "\n\tvalues for hit/stand/double. It assumes that there are enough cards",
    "\n\tremaining in the shoe to complete all hands. The user should keep",
    "\n\tthis in mind when inputting shoe removals in order to try and avoid",
    "\n\toutputting unreliable values.",
    // Contact.
    "\n\n\tQuestions, fault reports and suggestions are welcome on the",
    "\n\tissue tracker of the splitev project.",
    "\n\nPress any key to continue",
};

}  // namespace

std::optional<MenuAction> menuActionFor(int key) {
  for (const MenuKey& entry : MenuKeys) {
    if (entry.key == key) return entry.action;
  }
  return std::nullopt;
}

void showMainMenu(Console& console) {
  console.clearScreen();
  for (const char* text : MenuTexts) console.out() << text;
}

void showInformation(Console& console) {
  console.clearScreen();
  for (const char* text : InformationTexts) console.out() << text;
  console.readKey();  // any key returns to the menu
}
