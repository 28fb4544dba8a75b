#pragma once

#include <cstdint>

#include "front/console.h"
#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/split_calculator.h"

// Deck count screen: returns the new count; sets deckChanged and zeroes the
// removals exactly when the count changed.
std::int32_t enterDeckCount(Console& console, std::int32_t decks, Removals& removals,
                            bool& deckChanged);

// Removals screen: edits the per-rank removals in place, within their bounds.
void enterRemovals(Console& console, std::int32_t decks, Removals& removals);

// Rules listing: every field of the rule set, then one key.
void listRules(Console& console, const RuleSet& rules);

// Rules editor: the chain of single-key screens, then the listing. Sets
// rulesChanged when standsOnSoft17 ends different from its value at entry.
void editRules(Console& console, RuleSet& rules, bool& rulesChanged);

// Split report: shoe composition, pair entry, one computation, both views.
void showSplitReport(Console& console, SplitCalculator& calculator, const Removals& removals);
