#pragma once

#include <optional>

#include "front/console.h"

// What a main menu key asks for.
enum class MenuAction {
  DeckCount,    // 0: number of decks
  ListRules,    // 1: rules listing
  EditRules,    // 2: rules editor
  Removals,     // 3: shoe removals
  SplitReport,  // 4: split computation and report
  Redraw,       // 5: nothing but the menu again
  Information,  // i, I: program information
  Exit,         // x, X: end the program
};

// The action of a menu key; none for a key the menu does not accept.
std::optional<MenuAction> menuActionFor(int key);

// Clears the screen and prints the main menu (without the choice prompt).
void showMainMenu(Console& console);

// Clears the screen, prints the program information and waits for one key.
void showInformation(Console& console);
