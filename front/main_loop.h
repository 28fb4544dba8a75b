#pragma once

#include <cstdint>

#include "front/console.h"
#include "model/rank.h"
#include "split/split_calculator.h"

// Everything the main loop owns for the whole run. Screens get these by
// reference and keep no copy between visits.
struct ProgramState {
  std::int32_t decks = 1;     // decks in the full shoe, 1..MaxDecks
  Removals removals{};        // cards the user took out of the full shoe, ace first
  bool deckChanged = false;   // set by the deck count screen when the count changed
  bool rulesChanged = false;  // set by the rules editor when standsOnSoft17 changed
  SplitCalculator calculator; // the live shoe, rules and dealer outcome cache

  // One deck, no removals, default rules.
  ProgramState();
};

// Start-up and the main loop; returns the exit status (0).
int runProgram(Console& console);

// The main loop on a given state: menu, one accepted key, its screen, until x
// or X or the end of the keys. The dealer cache is discarded at the end.
int runMainLoop(Console& console, ProgramState& state);
