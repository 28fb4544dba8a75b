#pragma once

#include <string>

#include "model/rule_set.h"

// The rules that bear on splitting, worded as every program prints them.

// Peek rule, soft 17, DAS, DAN, HSA (with DSpA) and charlie, for example
// "Single split EVs (full peek), S17, DAS, no DAN, no HSA, no auto win".
std::string rulesSummary(const RuleSet& rules);

// The doubling rule, for example "Double any 2 cards"; empty without
// doubling after splitting, since no split hand is then ever doubled.
std::string doublingSummary(const RuleSet& rules);
