#pragma once

#include "dealer/dealer_outcome.h"
#include "model/shoe.h"

// The complete probabilities for the live shoe (blackjack, the walk of the
// dealer hand table, bust and stand values), without any cache.
DealerProbabilities dealerProbabilities(const Shoe& shoe, bool standsOnSoft17);

// The same for up to WalkLanes shoes at once, given by their current counts:
// every lane runs the same table in the same order, so each result has the
// same bits as dealerProbabilities gives for that shoe alone. Throws
// std::bad_alloc when memory runs out.
constexpr int WalkLanes = 8;
void dealerProbabilitiesBatch(const ShoeCounts* shoes, int count, bool standsOnSoft17, DealerProbabilities* out);
