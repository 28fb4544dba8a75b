#include "split/split_views.h"

ShoeCounts availableCounts(const Shoe& shoe, const Removals& removals) {
  ShoeCounts available{};
  for (int rank = 1; rank <= RankCount; ++rank)
    available[rankIndex(rank)] = shoe.count(rank) - removals[rankIndex(rank)];
  return available;
}

bool removalsFit(const Shoe& shoe, const Removals& removals) {
  for (int rank = 1; rank <= RankCount; ++rank) {
    const std::int32_t n = removals[rankIndex(rank)];
    if (n < 0 || n > shoe.count(rank)) return false;
  }
  return true;
}

bool canDealPair(Rank pair, const ShoeCounts& available) {
  return pair >= 1 && pair <= RankCount && available[rankIndex(pair)] >= 2;
}

bool canDealUpCard(int upCard, Rank pair, const ShoeCounts& available) {
  const std::int32_t count = available[rankIndex(upCard)];
  return count > 0 && !(upCard == pair && count < 3);
}

ShownValue peekAdjusted(double ev, double d, double chargedBets, const RuleSet& rules, bool conditioned) {
  if (!rules.peeks()) return {true, ev};
  // One bet charged is what the player loses: nothing to give back (and an
  // ev of -0 stays -0).
  if (!conditioned) return {true, chargedBets == 1.0 ? ev : ev + (chargedBets - 1.0) * d};
  if (d >= 1.0) return {false, 0.0};
  return {true, (ev + chargedBets * d) / (1.0 - d)};
}

ShownValue splitValueInView(const SplitResults& results, int i, const RuleSet& rules, bool conditioned) {
  if (!results.dealable[static_cast<std::size_t>(i)]) return {false, 0.0};
  const double ev = results.ev[static_cast<std::size_t>(i)];
  if (i != 0 && i != Ace && i != Ten) return {true, ev};
  return peekAdjusted(ev, results.blackjackAt(i), 2, rules, conditioned);
}
