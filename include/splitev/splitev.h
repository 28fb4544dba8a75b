#pragma once

// The splitev library: exact expected values of splitting a pair in
// blackjack, against every dealer up card, for a given shoe and rules.
//
//   splitev::Case c;
//   c.decks = 8;
//   c.pairs = {};
//   c.pairs[8 - 1] = true;
//   const splitev::Results results = splitev::evaluate(c);
//   std::fputs(splitev::toJson(results).c_str(), stdout);

#include "splitev/case.h"       // IWYU pragma: export
#include "splitev/evaluator.h"  // IWYU pragma: export
#include "splitev/format.h"     // IWYU pragma: export
#include "splitev/results.h"    // IWYU pragma: export
