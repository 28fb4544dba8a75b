#include "split/split_driver.h"

#include <new>

#include "split/hand_values.h"
#include "split/split_calculator.h"
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

SplitDriver::SplitDriver(SplitCalculator& calculator, Rank pairRank, SplitDecision* wanted)
    : calc(calculator), shoe(calculator.shoe), pair(pairRank), play(calculator.rules, pairRank), decision(wanted) {}

SplitResults SplitDriver::run(const Removals& removals) {
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
    listFirstHands();
    SecondHandMemo second(shoe, calc.rules, pair);
    planSecondHand(second);
    if (decision != nullptr) listUnsplitHands();
    fillDealerCache();
    second.evaluate(calc.dealerCache, calc.threads);
    if (!second.complete()) complete = false;
    // Before the first hand's pass, whose end sets pairHand: from there on
    // nothing may fail.
    if (decision != nullptr) valueUnsplitPair();
    valueFirstHand(second);
    shoe.returnCard(pair);
    shoe.returnCard(pair);
    shoe.returnCards(removals);
  } catch (const std::bad_alloc&) {
    // The cache may hold much of what the failed run filled: give the next
    // computation its memory back. Results never depend on what is cached.
    shoe = entryShoe;
    calc.clearDealerOutcomes();
    results.run = SplitRun::OutOfMemory;
    return results;
  }
  readResults(results, available);
  return results;
}

// The first hand's compositions in the order they are valued: each after
// every composition with one card more.
void SplitDriver::listFirstHands() {
  forEachComposition(shoe, pair, MaxFirstHandTotal, true, [&](const HandCounts& c) {
    if (play.mayHold(1 + cardsIn(c))) firstHands.push_back(c);
  });
}

// The second hand beside every first hand that has drawn, valued once for
// all of them. Its dealer records, and the first hand's among them, are
// computed together first.
void SplitDriver::planSecondHand(SecondHandMemo& second) {
  rootOf.assign(firstHands.size(), 0);
  for (std::size_t k = 0; k < firstHands.size(); ++k)
    if (cardsIn(firstHands[k]) > 0) rootOf[k] = second.addRoot(firstHands[k]);
  second.build();
  dealerKeys = second.dealerKeys();
  dealerKeys.push_back(shoe.takenOut());
}

// The pair kept as one hand: the two pair cards plus the drawn cards, up to
// hard 21. Its shoes are mostly among the split's; the others join the same
// batch.
void SplitDriver::listUnsplitHands() {
  forEachComposition(shoe, 2 * pair, 21, false, [&](const HandCounts& c) {
    unsplitHands.push_back(c);
    shoe.removeCards(c);
    dealerKeys.push_back(shoe.takenOut());
    shoe.returnCards(c);
  });
}

// Every dealer record of the run in one batch; the cache is cleared first
// when the batch would take it past its budget.
void SplitDriver::fillDealerCache() {
  std::size_t missing = 0;
  for (const ShoeCounts& key : dealerKeys)
    if (calc.dealerCache.find(key) == nullptr) ++missing;
  if (calc.dealerCache.bytesUsed() + missing * DealerOutcomeCache::bytesPerRecord() > calc.dealerCacheBudget)
    calc.clearDealerOutcomes();
  calc.dealerCache.addMissing(dealerKeys, shoe, calc.rules.standsOnSoft17, calc.threads);
}

// Values the pair kept as one hand from its compositions, each after every
// composition with one card more; its dealer records are cached.
void SplitDriver::valueUnsplitPair() {
  PlayerHandStates states;
  states.reserve(unsplitHands.size());
  HandValues values(shoe, calc.rules, states);
  bool unsplitComplete = true;
  for (const HandCounts& c : unsplitHands) {
    shoe.removeCards(c);
    PlayerHandState state = PlayerHandState::unsplitPair(c, pair);
    // Only hands of hard total 21 or less are listed, and their successors
    // that do not bust are listed before them.
    state.dealer = &calc.dealerOutcomeFor(shoe.takenOut());
    if (!state.dealer->complete) unsplitComplete = false;
    values.computeStand(state, 0);
    if (state.hand.hardTotal < 21 && shoe.remaining() <= 1) unsplitComplete = false;
    for (int r = 1; r <= RankCount; ++r) {
      if (shoe.count(r) == 0 || state.hand.hardTotal + r > 21) continue;
      state.next[rankIndex(r)] = states.find(withCard(state.hand.counts, r));
    }
    values.computeDouble(state, 0);
    values.computeHit(state, 0);
    values.chooseBest(state);
    if (state.hand.cardCount == 2) {
      // The two pair cards alone: entries the shoe cannot deal stay 0.
      decision->doubleAllowed = values.canDouble(state);
      for (int i = 0; i < ValueCount; ++i) {
        if (i != 0 && shoe.count(i) == 0) continue;
        decision->stand[i] = state.standEv[i];
        decision->hit[i] = state.hitEv[i];
        decision->doubled[i] = state.doubleEv[i];
      }
    }
    states.add(state);
    shoe.returnCards(c);
  }
  decision->unsplitComplete = unsplitComplete;
}

// The first hand's pass, ending at the lone pair card, whose state becomes
// the calculator's pairHand.
void SplitDriver::valueFirstHand(const SecondHandMemo& second) {
  PlayerHandStates states;
  states.reserve(firstHands.size());
  HandValues values(shoe, calc.rules, states);
  for (std::size_t k = 0; k < firstHands.size(); ++k) valueFirstHandState(k, second, states, values);
  if (decision != nullptr) decision->splitJoint = calc.pairHand.jointEv;
}

void SplitDriver::valueFirstHandState(std::size_t k, const SecondHandMemo& second, PlayerHandStates& states,
                                      HandValues& values) {
  const HandCounts& c = firstHands[k];
  // With the hand's cards out, the shoe is the full shoe less the dealer key.
  shoe.removeCards(c);
  PlayerHandState state(c, pair);
  if (state.hand.hardTotal <= 21) {
    state.dealer = &calc.dealerOutcomeFor(shoe.takenOut());
    if (!state.dealer->complete) complete = false;
  }
  values.computeStand(state, 1);
  if (!play.mustStand(state.shape()) && shoe.remaining() <= 1) complete = false;  // a hit with no card to draw

  // Successors, busted ones included, are already stored.
  if (state.hand.hardTotal <= 21) {
    for (int r = 1; r <= RankCount; ++r) {
      if (shoe.count(r) == 0) continue;
      state.next[rankIndex(r)] = states.find(withCard(state.hand.counts, r));
    }
  }
  values.computeDouble(state, 1);
  values.computeHit(state, 1);
  values.chooseBest(state);

  // The second hand's EV given this first hand; before either hand has
  // drawn, the two hands are alike.
  if (state.hand.cardCount == 1) {
    for (int i = 0; i < ValueCount; ++i) state.otherEv(i) = state.hitEv[i];
  } else {
    const ValueVector& other = second.rootValue(rootOf[k]);
    for (int i = 0; i < ValueCount; ++i) state.otherEv(i) = other[static_cast<std::size_t>(i)];
  }
  values.copyOtherToStand(state);
  values.computeOtherIfDouble(state);
  values.computeOtherIfHit(state);
  if (decision != nullptr) values.computeJoint(state);

  states.add(state);
  shoe.returnCards(c);
  if (state.hand.cardCount == 1) calc.pairHand = state;
}

void SplitDriver::readResults(SplitResults& results, const ShoeCounts& available) {
  PlayerHandState& pairHand = calc.pairHand;
  results.complete = complete;
  results.run = SplitRun::Completed;
  results.ev = pairHand.splitEv;
  results.blackjackOverall = pairHand.dealer->blackjack[0];
  results.blackjackVsAce = pairHand.dealer->blackjack[Ace];
  results.blackjackVsTen = pairHand.dealer->blackjack[Ten];
  // The states are gone and the cache may be cleared before the next run:
  // the copy kept of the pair card borrows from neither.
  pairHand.dealer = nullptr;
  pairHand.next.fill(NoState);
  results.dealable[0] = true;
  for (int u = 1; u <= RankCount; ++u) results.dealable[static_cast<std::size_t>(u)] = canDealUpCard(u, pair, available);
}
