#pragma once

#include "model/rule_set.h"

// Whether the rules let a split hand of this pair rank, hard total,
// softness and card count double down.
bool doublingAllowed(const RuleSet& rules, int pair, int total, bool soft, int cards);

// The same for a hand that was not split: the doubling rule's table, and
// more than two cards only under DAN; DAS, HSA and DSpA play no part.
bool unsplitDoublingAllowed(const RuleSet& rules, int total, bool soft, int cards);
