#pragma once

#include "model/rule_set.h"

// Whether the rules let a split hand of this pair rank, hard total,
// softness and card count double down.
bool doublingAllowed(const RuleSet& rules, int pair, int total, bool soft, int cards);
