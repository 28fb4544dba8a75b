// The split driver: backward induction over every composition the first
// split hand can hold, with a complete evaluation of the second hand for
// each of them over the shoe the first hand's cards leave; for the whole
// decision, also the first hand played for both hands and the pair kept as
// one hand.
#include <new>
#include <vector>

#include "split/split_calculator.h"
#include "split/second_hand.h"
#include "split/split_views.h"

namespace {

// The first hand is followed up to this hard total: a hand that busts still
// leaves its cards out of the second hand's shoe.
constexpr int MaxFirstHandTotal = 31;

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

SplitResults SplitCalculator::evaluateSplit(const Removals& removals, Rank pair) {
  return runSplit(removals, pair, nullptr);
}

SplitDecision SplitCalculator::evaluateDecision(const Removals& removals, Rank pair) {
  SplitDecision decision;
  decision.split = runSplit(removals, pair, &decision);
  return decision;
}

void SplitCalculator::valueUnsplitPair(Rank pair, const std::vector<HandCounts>& hands, SplitDecision& decision) {
  PlayerHandTree tree;
  bool complete = true;
  for (const HandCounts& c : hands) {
    shoe.removeCards(c);
    PlayerHandState state = PlayerHandState::unsplitPair(c, pair);
    // Only hands of hard total 21 or less are listed, and their successors
    // that do not bust are listed before them.
    state.dealer = &dealerOutcomeFor(shoe.takenOut());
    if (!state.dealer->complete) complete = false;
    computeStand(state, 0);
    if (state.hardTotal < 21 && shoe.remaining() <= 1) complete = false;
    for (int r = 1; r <= RankCount; ++r) {
      if (shoe.count(r) == 0 || state.hardTotal + r > 21) continue;
      state.next[rankIndex(r)] = tree.find(withCard(state.counts, r));
    }
    computeDouble(state, 0);
    computeHit(state, 0);
    chooseBest(state);
    if (state.cardCount == 2) {
      // The two pair cards alone: entries the shoe cannot deal stay 0.
      decision.doubleAllowed = canDouble(state);
      for (int i = 0; i < ValueCount; ++i) {
        if (i != 0 && shoe.count(i) == 0) continue;
        decision.stand[i] = state.standEv[i];
        decision.hit[i] = state.hitEv[i];
        decision.doubled[i] = state.doubleEv[i];
      }
    }
    bool grew = false;
    bool found = false;
    tree.insert(state, grew, found);
    shoe.returnCards(c);
  }
  decision.unsplitComplete = complete;
}

SplitResults SplitCalculator::runSplit(const Removals& removals, Rank pair, SplitDecision* decision) {
  SplitResults results;
  if (pair < 1 || pair > 10 || !removalsFit(shoe, removals)) return results;
  const ShoeCounts available = availableCounts(shoe, removals);
  if (!canDealPair(pair, available)) return results;

  // Restore point should memory run out part way: the shoe goes back
  // exactly as found and the working structures free themselves.
  const Shoe entryShoe = shoe;
  try {
    shoe.removeCard(pair);
    shoe.removeCard(pair);
    shoe.removeCards(removals);
    const bool finalAce = pair == Ace && !rules.hsa;

    // The first hand's compositions in the order they are valued: each after
    // every composition with one card more. A split ace that may not be hit
    // takes exactly one card.
    std::vector<HandCounts> firstHands;
    forEachComposition(shoe, pair, MaxFirstHandTotal, true, [&](const HandCounts& c) {
      if (finalAce && cardsIn(c) > 1) return;
      firstHands.push_back(c);
    });

    // The second hand beside every first hand that has drawn, valued once
    // for all of them. Its dealer outcomes, the first hand's among them, are
    // computed together first.
    SecondHandMemo second(shoe, rules, pair);
    std::vector<std::size_t> rootOf(firstHands.size(), 0);
    for (std::size_t k = 0; k < firstHands.size(); ++k)
      if (cardsIn(firstHands[k]) > 0) rootOf[k] = second.addRoot(firstHands[k]);
    second.build();
    std::vector<ShoeCounts> keys = second.dealerKeys();
    keys.push_back(shoe.takenOut());

    // The pair kept as one hand: the two pair cards plus the drawn cards,
    // up to hard 21. Its shoes are mostly among the split's; the others
    // join the same batch.
    std::vector<HandCounts> unsplitHands;
    if (decision != nullptr) {
      forEachComposition(shoe, 2 * pair, 21, false, [&](const HandCounts& c) {
        unsplitHands.push_back(c);
        shoe.removeCards(c);
        keys.push_back(shoe.takenOut());
        shoe.returnCards(c);
      });
    }
    std::size_t missing = 0;
    for (const ShoeCounts& key : keys)
      if (dealerCache.find(key) == nullptr) ++missing;
    if (dealerCache.bytesUsed() + missing * DealerOutcomeCache::bytesPerRecord() > dealerCacheBudget)
      clearDealerOutcomes();
    dealerCache.addMissing(keys, shoe, rules.standsOnSoft17, threads);
    second.evaluate(dealerCache, threads);
    bool complete = second.complete();
    // Before the first hand's pass, whose end sets pairHand: from there on
    // nothing may fail.
    if (decision != nullptr) valueUnsplitPair(pair, unsplitHands, *decision);

    PlayerHandTree tree;
    for (std::size_t k = 0; k < firstHands.size(); ++k) {
      const HandCounts& c = firstHands[k];
      // With the hand's cards out, the shoe is the full shoe less the dealer key.
      shoe.removeCards(c);
      PlayerHandState state(c, pair);
      if (state.hardTotal <= 21) {
        state.dealer = &dealerOutcomeFor(shoe.takenOut());
        if (!state.dealer->complete) complete = false;
      }
      computeStand(state, 1);
      const bool hits = state.hardTotal < 21 && !(finalAce && state.cardCount == 2);
      if (hits && shoe.remaining() <= 1) complete = false;  // a hit with no card to draw in some entry

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
        const ValueVector& other = second.rootValue(rootOf[k]);
        for (int i = 0; i < ValueCount; ++i) state.otherEv(i) = other[static_cast<std::size_t>(i)];
      }
      copyOtherToStand(state);
      computeOtherIfDouble(state);
      computeOtherIfHit(state);
      if (decision != nullptr) computeJoint(state);

      bool grew = false;
      bool found = false;
      tree.insert(state, grew, found);
      shoe.returnCards(c);
      if (state.cardCount == 1) pairHand = state;
    }

    if (decision != nullptr) decision->splitJoint = pairHand.jointEv;

    shoe.returnCard(pair);
    shoe.returnCard(pair);
    shoe.returnCards(removals);
    results.complete = complete;
  } catch (const std::bad_alloc&) {
    // The cache may hold much of what the failed run filled: give the next
    // computation its memory back. Results never depend on what is cached.
    shoe = entryShoe;
    clearDealerOutcomes();
    results.run = SplitRun::OutOfMemory;
    return results;
  }
  results.run = SplitRun::Completed;
  results.ev = pairHand.splitEv;
  results.blackjackOverall = pairHand.dealer->blackjack[0];
  results.blackjackVsAce = pairHand.dealer->blackjack[Ace];
  results.blackjackVsTen = pairHand.dealer->blackjack[Ten];
  // The tree is gone and the cache may be cleared before the next run: the
  // copy kept of the pair card borrows from neither.
  pairHand.dealer = nullptr;
  pairHand.next.fill(nullptr);
  pairHand.left = nullptr;
  pairHand.right = nullptr;
  results.dealable[0] = true;
  for (int u = 1; u <= RankCount; ++u) results.dealable[static_cast<std::size_t>(u)] = canDealUpCard(u, pair, available);
  return results;
}
