#include "front/main_loop.h"

#include <optional>
#include <ostream>

#include "front/main_menu.h"
#include "front/screens.h"
#include "model/rule_set.h"
#include "model/shoe.h"

namespace {

// Waits for a key the menu accepts and echoes it; other keys leave the screen
// untouched.
MenuAction readMenuChoice(Console& console) {
  for (;;) {
    const int key = console.readKey();
    if (const std::optional<MenuAction> action = menuActionFor(key)) {
      console.out() << static_cast<char>(key);
      return *action;
    }
  }
}

// Runs the screen of one menu action other than Exit.
void perform(Console& console, ProgramState& state, MenuAction action) {
  SplitCalculator& calculator = state.calculator;
  switch (action) {
    case MenuAction::DeckCount:
      state.decks = enterDeckCount(console, state.decks, state.removals, state.deckChanged);
      if (state.deckChanged) {
        // Removals are already zeroed; cached dealer outcomes belong to the old shoe.
        calculator.shoe.reset(state.decks);
        calculator.clearDealerOutcomes();
      }
      break;
    case MenuAction::ListRules:
      listRules(console, calculator.rules);
      break;
    case MenuAction::EditRules:
      state.rulesChanged = false;
      editRules(console, calculator.rules, state.rulesChanged);
      // Only the soft-17 rule enters a dealer outcome; other rules keep the cache.
      if (state.rulesChanged) calculator.clearDealerOutcomes();
      break;
    case MenuAction::Removals:
      // The cache is keyed by shoe composition, so it stays valid.
      enterRemovals(console, state.decks, state.removals);
      break;
    case MenuAction::SplitReport:
      showSplitReport(console, calculator, state.removals);
      break;
    case MenuAction::Redraw:
      break;
    case MenuAction::Information:
      showInformation(console);
      break;
    case MenuAction::Exit:
      break;
  }
}

}  // namespace

ProgramState::ProgramState() : calculator(Shoe(1), RuleSet{}) {}

int runProgram(Console& console) {
  console.out().precision(15);
  ProgramState state;
  return runMainLoop(console, state);
}

int runMainLoop(Console& console, ProgramState& state) {
  try {
    for (;;) {
      showMainMenu(console);
      console.out() << "\n\n\tChoice:  ";
      const MenuAction action = readMenuChoice(console);
      if (action == MenuAction::Exit) break;
      perform(console, state, action);
    }
  } catch (const EndOfInput&) {
    // Nothing more can be typed: end as on x.
  }
  state.calculator.clearDealerOutcomes();
  console.out().flush();
  return 0;
}
