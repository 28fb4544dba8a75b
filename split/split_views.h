#pragma once

// The arithmetic of the two views a program shows of a result (unconditional,
// and conditioned on no dealer blackjack), and which cards the removals
// leave. Pure functions: every program that prints results uses these.

#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/split_results.h"

// The cards of each rank a computation plays with: the shoe's count less the removals.
ShoeCounts availableCounts(const Shoe& shoe, const Removals& removals);

// Removals the shoe can supply: each between 0 and the shoe's count of its rank.
bool removalsFit(const Shoe& shoe, const Removals& removals);

// At least two cards of the pair rank are left.
bool canDealPair(Rank pair, const ShoeCounts& available);

// An up card cannot be dealt when none is left once both pair cards are out.
bool canDealUpCard(int upCard, Rank pair, const ShoeCounts& available);

// A value as a view shows it; shown is false when there is nothing to show.
struct ShownValue {
  bool shown = false;
  double value = 0.0;
};

// One value in a view. ev charges a dealer blackjack (probability d) as the
// loss of chargedBets bets under full peek (split/hand_rules.h: 2 for a
// split, 1 for an unsplit hand, the expected number of hands in a
// blackjack round when that number varies). Under full peek the player
// loses only the one initial bet: the unconditional view adds the excess
// back, the conditioned view removes the blackjack outcome and
// renormalises. A dealer who has blackjack for certain leaves nothing to
// condition on. Under no peek both views are ev.
ShownValue peekAdjusted(double ev, double d, double chargedBets, const RuleSet& rules, bool conditioned);

// Entry i of a split's results in a view: up cards 2..9 as computed, the
// overall, ace and ten entries peek-adjusted; nothing for an up card that
// cannot be dealt.
ShownValue splitValueInView(const SplitResults& results, int i, const RuleSet& rules, bool conditioned);
