// The split driver: backward induction over every composition the first
// split hand can hold, with a complete evaluation of the second hand for
// each of them over the shoe the first hand's cards leave.
#include <new>

#include "split/split_calculator.h"

namespace {

// Calls visit(c) for every composition c of drawn cards, tens outermost and
// aces innermost, each rank counting down, so compositions come in
// descending order and each after every composition with one card more.
// At rank k the count starts at (maxTotal - pair - points of higher ranks) / k;
// a count above the shoe's, or above the per-rank limit when one is given,
// is passed over.
template <typename Visit>
void forEachComposition(const Shoe& shoe, int pair, int maxTotal, bool perRankLimit, Visit&& visit) {
  HandCounts c{};
  auto level = [&](auto&& self, int k, int pointsLeft) -> void {
    for (int n = pointsLeft / k; n >= 0; --n) {
      if (perRankLimit && pair + k * n > 21 + k) continue;
      if (n > shoe.count(k)) continue;
      c[rankIndex(k)] = static_cast<std::int16_t>(n);
      if (k == Ace) {
        visit(c);
      } else {
        self(self, k - 1, pointsLeft - k * n);
      }
    }
    c[rankIndex(k)] = 0;
  };
  level(level, Ten, maxTotal - pair);
}

// The counts of a hand plus one card of rank r: the key of its successor.
HandCounts withCard(HandCounts counts, int r) {
  ++counts[rankIndex(r)];
  return counts;
}

int cardsIn(const HandCounts& c) {
  int n = 0;
  for (int count : c) n += count;
  return n;
}

}  // namespace

SplitRun SplitCalculator::evaluateSplit(const Removals& removals, Rank pair) {
  if (pair < 1 || pair > 10) return SplitRun::Refused;
  if (shoe.count(pair) < 2) return SplitRun::Refused;

  // Restore point should memory run out part way: the shoe goes back
  // exactly as found and the working trees free themselves.
  const Shoe entryShoe = shoe;
  try {
    shoe.removeCard(pair);
    shoe.removeCard(pair);
    shoe.removeCards(removals);

    PlayerHandTree tree;
    forEachComposition(shoe, pair, 31, true, [&](const HandCounts& c) {
      // A split ace that may not be hit takes exactly one card.
      if (pair == Ace && !rules.hsa && cardsIn(c) > 1) return;

      // With the hand's cards out, the shoe is the full shoe less the dealer key.
      shoe.removeCards(c);
      PlayerHandState state(c, pair);
      if (state.hardTotal <= 21) state.dealer = &dealerOutcomeFor(DealerOutcome(shoe.takenOut()));
      computeStand(state, 1);

      // Successors, busted ones included, are already in the tree.
      if (state.hardTotal <= 21) {
        for (int r = 1; r <= RankCount; ++r) {
          if (shoe.count(r) == 0) continue;
          state.next[rankIndex(r)] = tree.find(withCard(state.counts, r));
        }
      }
      computeDouble(state, 1);
      computeHit(state, 1);
      chooseBest(state);

      // The second hand's EV given this first hand; before either hand has
      // drawn, the two hands are alike.
      if (state.cardCount == 1) {
        for (int i = 0; i < ValueCount; ++i) state.otherEv(i) = state.hitEv[i];
      } else {
        evaluateSecondHand(state);
      }
      copyOtherToStand(state);
      computeOtherIfDouble(state);
      computeOtherIfHit(state);

      bool grew = false;
      bool found = false;
      tree.insert(state, grew, found);
      shoe.returnCards(c);
      if (state.cardCount == 1) pairHand = state;
    });

    shoe.returnCard(pair);
    shoe.returnCard(pair);
    shoe.returnCards(removals);
  } catch (const std::bad_alloc&) {
    shoe = entryShoe;
    return SplitRun::OutOfMemory;
  }
  return SplitRun::Completed;
}

void SplitCalculator::evaluateSecondHand(PlayerHandState& firstHand) {
  const int pair = firstHand.pairRank;
  if (pair < 1 || pair > 10) return;
  PlayerHandTree tree;
  forEachComposition(shoe, pair, 21, false, [&](const HandCounts& c) {
    if (pair == Ace && !rules.hsa && cardsIn(c) > 1) return;

    shoe.removeCards(c);
    PlayerHandState state(c, pair);
    state.dealer = &dealerOutcomeFor(DealerOutcome(shoe.takenOut()));
    computeStand(state, 2);
    for (int r = 1; r <= RankCount; ++r) {
      if (shoe.count(r) == 0 || state.hardTotal + r > 21) continue;
      state.next[rankIndex(r)] = tree.find(withCard(state.counts, r));
    }
    // The double value of a hand that may not double is never read: not by
    // its own choice, nor by a predecessor, which follows only chosen actions.
    if (canDouble(state)) computeDouble(state, 2);
    computeHit(state, 2);
    chooseBest(state);
    if (state.cardCount == 1) {
      for (int i = 0; i < ValueCount; ++i) firstHand.otherEv(i) = state.otherEv(i);
    }
    bool grew = false;
    bool found = false;
    tree.insert(state, grew, found);
    shoe.returnCards(c);
  });
}
