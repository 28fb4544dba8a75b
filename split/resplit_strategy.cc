// Split values under the fixed post-split strategies CDZ- and CDP1, with
// resplits, exact, from single-hand values alone.
//
// Why no other hand's cards need enumerating. Let S be the shoe less the
// removals and both pair cards (less the up card for an entry against it),
// P the pair rank, H the most hands, b = H - 2 the resplits allowed (0 for
// aces without resplitting aces). A strategy s fixes every decision from the
// hand's own cards, so a hand's result is a function of the cards it
// receives and the dealer's.
//
// 1. The dealer draws after every player card, so the dealer's cards are the
//    cards after a stopping time; given the player's cards the rest lie in
//    random order, and the dealer may as well take them from the bottom of
//    the shoe. Then which cards fall to which player hand can be dealt in any
//    order that each hand's own rule allows: the chance of a whole deal is
//    prod_r (n_r)_(k_r) / (N)_K whatever the order of its draws. Deal first
//    the "second-card round": hand 1 takes cards while they are P and
//    resplits remain (each such P starts a waiting hand), then its second
//    card; then hand 2, and so on until every hand has its second card. A
//    hand's hits and the dealer may then come right after that hand's second
//    card. So the expected result of hand j, given the round up to its second
//    card c_j, is the single-hand value U(c_j; S - prefix): the hand {P, c_j}
//    hitting by s from the shoe less the prefix, the dealer after it.
// 2. The round's P/non-P pattern decides everything about the hands (how
//    many, whose second card is a P); given the pattern, the non-P cards of
//    the prefix are a uniform draw from the non-P cards of S. So hand j's
//    term is a single-hand value on S less k pair cards and less m non-pair
//    cards set aside face down: A(k, m) when c_j is not a P (c_j itself is a
//    uniform non-P), Bv(k, m) when it is (once no resplit remains). Summed
//    over the round's patterns, each with its chance
//    (n_P)_k (Q)_m / (N)_(k+m), these give the round's value.
// 3. A card set aside face down at random changes no expectation:
//    F(S') = sum_r p_r F(S' - r) for any fixed-strategy value F. Split into
//    P and non-P, this gives the face-down values from the face-up ones:
//      F(k, m+1) = [(N' - k - m) F(k, m) - (n_P' - k) F(k+1, m)] / (Q' - m)
//    (N', n_P', Q' the cards, pair cards and other cards of the shoe the
//    hand's own cards leave). So every term is a combination of
//    F(e, 0) = single-hand values on S less e pair cards, e = 0 .. 2b + 1,
//    and no non-pair card set aside is ever enumerated.
// The single-hand values run over the hand's compositions as the split's
// first hand does, one "lane" per e, every lane reading the same decision.
// The decisions themselves come from one more lane each: CDZ- from S plus
// one P (the shoe before the pair less the hand's cards), CDP1 from S.
//
// Dealer blackjack under full peek costs one bet however many hands there
// are: hands are valued by their result when the dealer has no blackjack
// (0 when he has), and the round's sum X is stored as X - 2d, as a split's
// values are (d the shoe's blackjack chance), so the views apply unchanged.
// Under no peek each hand carries its own loss.
#include "split/resplit_strategy.h"

#include <array>
#include <cstdint>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/parallel.h"
#include "split/hand_values.h"
#include "split/split_calculator.h"
#include "split/split_views.h"

namespace {

constexpr int StrategyCount = 2;  // 0: CDZ-, 1: CDP1
constexpr int MaxHands = 4;
// Lanes of values: e pair cards set aside, e = 0 .. 2b + 1 with b <= 2.
constexpr int MaxValueLanes = 2 * (MaxHands - 2) + 2;
// The round's cards are searched one by one for a way to run out only when
// the shoe holds so few points that it might: up to this many positions.
constexpr std::size_t MaxRunOutPositions = std::size_t{1} << 22;

// A split hand: the split card plus the cards drawn to it.
struct Composition {
  HandCounts drawn{};
  int total = 0;  // hard total, split card included
  bool soft = false;
  int cards = 0;  // split card included
  std::array<std::int32_t, RankCount> next{};  // drawn plus one card of rank r, or -1 when that busts
  int bestTotal() const { return soft ? total + 10 : total; }
};

std::uint64_t packCounts(const HandCounts& c) {
  std::uint64_t key = 0;
  for (int r = 0; r < RankCount; ++r) key |= static_cast<std::uint64_t>(c[static_cast<std::size_t>(r)]) << (6 * r);
  return key;
}

// The chance of a dealer blackjack at entry i on a shoe of these counts (the
// up card still in it), worked out as the dealer records do.
double blackjackChance(const ShoeCounts& counts, int i) {
  if (i != 0 && i != Ace && i != Ten) return 0.0;
  std::int32_t n = 0;
  for (std::int32_t c : counts) n += c;
  const std::int32_t aces = counts[rankIndex(Ace)];
  const std::int32_t tens = counts[rankIndex(Ten)];
  double aceRow = 0.0;
  double tenRow = 0.0;
  if (n > 1) {
    if (aces != 0) aceRow = static_cast<double>(tens) / (n - 1);
    if (tens != 0) tenRow = static_cast<double>(aces) / (n - 1);
  }
  if (i == Ace) return aceRow;
  if (i == Ten) return tenRow;
  if (n == 0) return 0.0;
  const double pTen = static_cast<double>(tens) / n;
  const double pAce = static_cast<double>(aces) / n;
  return pTen * tenRow + pAce * aceRow;
}

// One pair's computation.
class PairStrategies {
 public:
  PairStrategies(SplitCalculator& calc, const ShoeCounts& afterPair, Rank pair, ResplitLimits limits)
      : calc(calc), rules(calc.rules), pair(pair), afterPair(afterPair) {
    resplits = pair == Ace && !limits.resplitAces ? 0 : limits.hands - 2;
    hands = 2 + resplits;
    valueLanes = 2 * resplits + 2;
    finalAce = pair == Ace && !rules.hsa;
    for (std::int32_t c : afterPair) afterPairTotal += c;
  }

  void run(StrategyResplitResults& out);

 private:
  // Lane l holds e = l - 1 pair cards set aside: lane 0 (e = -1, one pair
  // card back) decides CDZ-, lane 1 (e = 0) decides CDP1 and values.
  static constexpr int LaneCount = MaxValueLanes + 1;
  static int laneOf(int e) { return e + 1; }

  void enumerate();
  int countIn(const Composition& y, int e, int r) const {
    return afterPair[rankIndex(r)] - y.drawn[rankIndex(r)] - (r == pair ? e : 0);
  }
  int totalIn(const Composition& y, int e) const { return afterPairTotal - (y.cards - 1) - e; }
  // The lane's shoe at y before the up card, when it exists.
  bool laneExists(const Composition& y, int e) const { return countIn(y, e, pair) >= 0; }
  bool entryDealable(const Composition& y, int e, int i) const { return i == 0 || countIn(y, e, i) > 0; }
  ShoeCounts shoeAt(const Composition& y, int e) const {
    ShoeCounts s{};
    for (int r = 1; r <= RankCount; ++r) s[rankIndex(r)] = countIn(y, e, r);
    return s;
  }
  bool charlie(int cards) const { return (rules.charlie5 && cards >= 5) || (rules.charlie6 && cards >= 6); }
  double standValue(const DealerOutcome& d, const Composition& y, int i) const {
    if (charlie(y.cards)) return 1.0 - 2.0 * d.blackjack[i];
    const int best = y.bestTotal();
    return d.stand[best >= 17 ? best - 17 : StandBelow17][i];
  }
  // Standing, valued as the sums are kept: under peek the result when the
  // dealer has no blackjack.
  double standKept(std::size_t k, int e, int i) const {
    const DealerOutcome& d = *record(k, e);
    const double stand = standValue(d, comps[k], i);
    return peek ? stand + d.blackjack[i] : stand;
  }
  // Busting on a card that leaves these counts, valued the same way.
  double bustKept(const ShoeCounts& left, int i) const { return peek ? blackjackChance(left, i) - 1.0 : -1.0; }
  const DealerOutcome*& record(std::size_t k, int e) { return records[k * LaneCount + static_cast<std::size_t>(laneOf(e))]; }
  const DealerOutcome* record(std::size_t k, int e) const {
    return records[k * LaneCount + static_cast<std::size_t>(laneOf(e))];
  }
  double& value(int s, std::size_t k, int e, int i) {
    return values[((static_cast<std::size_t>(s) * comps.size() + k) * MaxValueLanes + static_cast<std::size_t>(e)) * ValueCount +
                  static_cast<std::size_t>(i)];
  }
  unsigned char& shortOf(int s, std::size_t k, int e, int i) {
    return shorts[((static_cast<std::size_t>(s) * comps.size() + k) * MaxValueLanes + static_cast<std::size_t>(e)) * ValueCount +
                  static_cast<std::size_t>(i)];
  }
  void fetchDealers();
  void decide(int s, int e);
  void valueHands(int s, int e);
  double roundValue(int s, int i, bool& complete);
  bool roundCanRunOut(int s, int i);

  SplitCalculator& calc;
  const RuleSet& rules;
  Rank pair;
  ShoeCounts afterPair;
  std::int32_t afterPairTotal = 0;
  int resplits = 0;
  int hands = 2;
  int valueLanes = 2;
  bool finalAce = false;
  bool peek = true;

  std::vector<Composition> comps;  // each after every composition with one card more
  std::unordered_map<std::uint64_t, std::int32_t> indexOf;
  std::vector<const DealerOutcome*> records;  // per composition and lane; null where the lane's shoe cannot be
  std::vector<std::array<char, ValueCount>> actions[StrategyCount];
  std::vector<double> values;         // per strategy, composition, value lane, entry
  std::vector<unsigned char> shorts;  // the same: some way of playing on needs a card the shoe lacks
};

void PairStrategies::enumerate() {
  // Every composition of drawn cards up to hard 21 that the largest lane's
  // shoe (S plus one pair card) can supply, tens outermost and each rank
  // counting down: each comes after every composition with one card more.
  HandCounts c{};
  auto level = [&](auto&& self, int k, int pointsLeft) -> void {
    const int limit = afterPair[rankIndex(k)] + (k == pair ? 1 : 0);
    for (int n = pointsLeft / k; n >= 0; --n) {
      if (n > limit) continue;
      c[rankIndex(k)] = static_cast<std::int16_t>(n);
      if (k > Ace) {
        self(self, k - 1, pointsLeft - k * n);
        continue;
      }
      Composition y;
      y.drawn = c;
      y.total = pair;
      y.cards = 1;
      for (int r = 1; r <= RankCount; ++r) {
        y.total += r * c[rankIndex(r)];
        y.cards += c[rankIndex(r)];
      }
      if (finalAce && y.cards > 2) continue;  // a split ace takes one card
      y.soft = y.total <= 11 && (pair == Ace || c[rankIndex(Ace)] > 0);
      indexOf.emplace(packCounts(c), static_cast<std::int32_t>(comps.size()));
      comps.push_back(y);
    }
    c[rankIndex(k)] = 0;
  };
  level(level, Ten, 21 - pair);
  for (Composition& y : comps) {
    for (int r = 1; r <= RankCount; ++r) {
      HandCounts more = y.drawn;
      ++more[rankIndex(r)];
      const auto found = indexOf.find(packCounts(more));
      y.next[rankIndex(r)] = y.total + r > 21 || found == indexOf.end() ? -1 : found->second;
    }
  }
}

void PairStrategies::fetchDealers() {
  records.assign(comps.size() * LaneCount, nullptr);
  std::vector<ShoeCounts> keys;
  keys.reserve(comps.size() * static_cast<std::size_t>(valueLanes + 1));
  const ShoeCounts& full = calc.shoe.fullCounts;
  auto keyOf = [&](const Composition& y, int e) {
    ShoeCounts key{};
    for (int r = 1; r <= RankCount; ++r) key[rankIndex(r)] = full[rankIndex(r)] - countIn(y, e, r);
    return key;
  };
  for (const Composition& y : comps)
    for (int e = -1; e < valueLanes; ++e)
      if (laneExists(y, e)) keys.push_back(keyOf(y, e));
  std::size_t missing = 0;
  for (const ShoeCounts& key : keys)
    if (calc.dealerCache.find(key) == nullptr) ++missing;
  if (calc.dealerCache.bytesUsed() + missing * DealerOutcomeCache::bytesPerRecord() > calc.dealerCacheBudget)
    calc.clearDealerOutcomes();
  calc.dealerCache.addMissing(keys, calc.shoe, rules.standsOnSoft17, calc.threads);
  for (std::size_t k = 0; k < comps.size(); ++k)
    for (int e = -1; e < valueLanes; ++e)
      if (laneExists(comps[k], e)) record(k, e) = calc.dealerCache.find(keyOf(comps[k], e));
}

// The strategy: at every composition and entry, the best of stand, double
// and hit for the hand alone on lane e's shoe, the split hand's rules
// deciding what it may do; ties keep stand before double before hit.
void PairStrategies::decide(int s, int e) {
  std::vector<ValueVector> best(comps.size());
  actions[s].assign(comps.size(), {});
  for (std::size_t k = 0; k < comps.size(); ++k) {
    const Composition& y = comps[k];
    actions[s][k].fill(Stand);
    if (y.cards == 1 || !laneExists(y, e)) continue;
    const DealerOutcome& d = *record(k, e);
    const bool mayDouble = !finalAce && doublingAllowed(rules, pair, y.total, y.soft, y.cards);
    for (int i = 0; i < ValueCount; ++i) {
      if (!entryDealable(y, e, i)) continue;
      const double stand = standValue(d, y, i);
      best[k][static_cast<std::size_t>(i)] = stand;
      if (y.total >= 21 || finalAce) continue;
      int total = totalIn(y, e) - (i > 0 ? 1 : 0);
      const double blackjack = d.blackjack[i];
      double doubled = 0.0;
      double hit = 0.0;
      for (int x = 1; x <= RankCount; ++x) {
        const int n = countIn(y, e, x) - (x == i ? 1 : 0);
        if (n <= 0) continue;
        const double p = static_cast<double>(n) / static_cast<double>(total);
        if (y.total + x > 21) {
          doubled += p * (peek ? -2.0 + blackjack : -2.0);
          hit += p * -1.0;
          continue;
        }
        const std::size_t j = static_cast<std::size_t>(y.next[rankIndex(x)]);
        const double nextStand = standValue(*record(j, e), comps[j], i);
        doubled += p * (peek ? 2.0 * nextStand + blackjack : 2.0 * nextStand);
        hit += p * best[j][static_cast<std::size_t>(i)];
      }
      char action = Stand;
      double x = stand;
      if (mayDouble && x < doubled) {
        action = DoubleDown;
        x = doubled;
      }
      if (x < hit) {
        action = Hit;
        x = hit;
      }
      actions[s][k][static_cast<std::size_t>(i)] = action;
      best[k][static_cast<std::size_t>(i)] = x;
    }
  }
}

// The hands' values on lane e's shoe when played by strategy s.
void PairStrategies::valueHands(int s, int e) {
  for (std::size_t k = 0; k < comps.size(); ++k) {
    const Composition& y = comps[k];
    if (y.cards == 1 || !laneExists(y, e)) continue;
    const DealerOutcome& d = *record(k, e);
    for (int i = 0; i < ValueCount; ++i) {
      if (!entryDealable(y, e, i)) continue;
      const char action = actions[s][k][static_cast<std::size_t>(i)];
      if (action == Stand) {
        value(s, k, e, i) = standKept(k, e, i);
        shortOf(s, k, e, i) = !d.complete;
        continue;
      }
      const int total = totalIn(y, e) - (i > 0 ? 1 : 0);
      ShoeCounts left = shoeAt(y, e);
      double sum = 0.0;
      bool lacks = total <= 0;
      for (int x = 1; x <= RankCount; ++x) {
        const int n = countIn(y, e, x) - (x == i ? 1 : 0);
        if (n <= 0) continue;
        const double p = static_cast<double>(n) / static_cast<double>(total);
        const double stake = action == DoubleDown ? 2.0 : 1.0;
        if (y.total + x > 21) {
          --left[rankIndex(x)];
          sum += p * (stake * bustKept(left, i));
          ++left[rankIndex(x)];
          continue;
        }
        const std::size_t j = static_cast<std::size_t>(y.next[rankIndex(x)]);
        if (action == DoubleDown) {
          sum += p * (2.0 * standKept(j, e, i));
          lacks = lacks || !record(j, e)->complete;
        } else {
          sum += p * value(s, j, e, i);
          lacks = lacks || shortOf(s, j, e, i) != 0;
        }
      }
      value(s, k, e, i) = sum;
      shortOf(s, k, e, i) = lacks;
    }
  }
}

// The round at entry i under strategy s: the second-card round's patterns,
// each hand's term from the single-hand values (see the top of the file).
double PairStrategies::roundValue(int s, int i, bool& complete) {
  ShoeCounts shoe = afterPair;
  if (i > 0) --shoe[rankIndex(i)];
  std::int32_t n = 0;
  for (std::int32_t c : shoe) n += c;
  const std::int32_t pairs = shoe[rankIndex(pair)];
  const std::int32_t others = n - pairs;

  // Face-up terms: a[e] the hand {P, c}, c a uniform non-pair card; b[e] the
  // hand {P, P}; both with e pair cards set aside.
  double a[MaxValueLanes][MaxValueLanes] = {};
  double b[MaxValueLanes][MaxValueLanes] = {};
  bool aShort[MaxValueLanes] = {};
  bool bShort[MaxValueLanes] = {};
  for (int e = 0; e < valueLanes; ++e) {
    if (pairs - e >= 0 && others > 0) {
      double sum = 0.0;
      for (int c = 1; c <= RankCount; ++c) {
        if (c == pair || shoe[rankIndex(c)] == 0) continue;
        HandCounts one{};
        one[rankIndex(c)] = 1;
        const std::size_t k = static_cast<std::size_t>(indexOf.at(packCounts(one)));
        sum += static_cast<double>(shoe[rankIndex(c)]) / static_cast<double>(others) * value(s, k, e, i);
        aShort[e] = aShort[e] || shortOf(s, k, e, i) != 0;
      }
      a[e][0] = sum;
    }
    if (pairs - 1 - e >= 0) {
      HandCounts one{};
      one[rankIndex(pair)] = 1;
      const std::size_t k = static_cast<std::size_t>(indexOf.at(packCounts(one)));
      b[e][0] = value(s, k, e, i);
      bShort[e] = shortOf(s, k, e, i) != 0;
    }
  }
  // Face-down non-pair cards: F(k, m+1) from F(k, m) and F(k+1, m). The
  // pair card's coefficient vanishes exactly where lane k+1 has no shoe.
  for (int m = 0; m + 1 < valueLanes; ++m) {
    for (int k = 0; k + m + 1 < valueLanes; ++k) {
      const double cardsA = n - 1 - k - m, othersA = others - 1 - m;
      if (othersA > 0 && pairs - k >= 0)
        a[k][m + 1] = (cardsA * a[k][m] - static_cast<double>(pairs - k) * a[k + 1][m]) / othersA;
      const double othersB = others - m;
      if (othersB > 0 && pairs - 1 - k >= 0)
        b[k][m + 1] = (cardsA * b[k][m] - static_cast<double>(pairs - 1 - k) * b[k + 1][m]) / othersB;
    }
  }

  // The second-card round: hands dealt so far, second cards dealt, pair and
  // other cards drawn, and the chance of getting here.
  double total = 0.0;
  auto walk = [&](auto&& self, int handsNow, int dealt, int p, int q, double chance) -> void {
    const std::int32_t left = n - p - q;
    if (left <= 0) {
      complete = false;  // a hand with no second card to take
      return;
    }
    if (pairs - p > 0) {
      const double draw = chance * (static_cast<double>(pairs - p) / left);
      if (handsNow < hands) {
        self(self, handsNow + 1, dealt, p + 1, q, draw);
      } else {
        total += draw * b[p][q];
        if (bShort[p] || (q > 0 && bShort[p + q])) complete = false;
        if (dealt + 1 < handsNow) self(self, handsNow, dealt + 1, p + 1, q, draw);
      }
    }
    if (others - q > 0) {
      const double draw = chance * (static_cast<double>(others - q) / left);
      total += draw * a[p][q];
      for (int e = p; e <= p + q; ++e) complete = complete && !aShort[e];
      if (dealt + 1 < handsNow) self(self, handsNow, dealt + 1, p, q + 1, draw);
    }
  };
  walk(walk, 2, 0, 0, 0, 1.0);
  return total;
}

}  // namespace

StrategyResplitResults evaluateStrategyResplits(SplitCalculator& calc, const Removals& removals, Rank pair,
                                                ResplitLimits limits) {
  StrategyResplitResults out;
  if (pair < 1 || pair > 10 || limits.hands < 2 || limits.hands > MaxHands || !removalsFit(calc.shoe, removals))
    return out;
  const ShoeCounts available = availableCounts(calc.shoe, removals);
  if (!canDealPair(pair, available)) return out;
  ShoeCounts afterPair = available;
  afterPair[rankIndex(pair)] -= 2;
  try {
    PairStrategies(calc, afterPair, pair, limits).run(out);
  } catch (const std::bad_alloc&) {
    calc.clearDealerOutcomes();
    out = StrategyResplitResults{};
    out.cdz.run = out.cdp1.run = SplitRun::OutOfMemory;
  }
  return out;
}

void PairStrategies::run(StrategyResplitResults& out) {
  peek = rules.peeks();
  enumerate();
  fetchDealers();
  decide(0, -1);
  decide(1, 0);
  values.assign(StrategyCount * comps.size() * MaxValueLanes * ValueCount, 0.0);
  shorts.assign(values.size(), 0);
  for (int s = 0; s < StrategyCount; ++s)
    for (int e = 0; e < valueLanes; ++e) valueHands(s, e);

  // The shoe at the split: its dealer record gives the blackjack chances.
  const DealerOutcome& atSplit = *record(static_cast<std::size_t>(indexOf.at(0)), 0);
  SplitResults* results[StrategyCount] = {&out.cdz, &out.cdp1};
  for (int s = 0; s < StrategyCount; ++s) {
    SplitResults& r = *results[s];
    r.blackjackOverall = atSplit.blackjack[0];
    r.blackjackVsAce = atSplit.blackjack[Ace];
    r.blackjackVsTen = atSplit.blackjack[Ten];
    ShoeCounts available = afterPair;
    available[rankIndex(pair)] += 2;
    bool complete = true;
    for (int i = 0; i < ValueCount; ++i) {
      r.dealable[static_cast<std::size_t>(i)] = i == 0 || canDealUpCard(i, pair, available);
      if (!r.dealable[static_cast<std::size_t>(i)]) continue;
      const double x = roundValue(s, i, complete);
      r.ev[static_cast<std::size_t>(i)] = peek ? x - 2.0 * atSplit.blackjack[i] : x;
      if (complete && roundCanRunOut(s, i)) complete = false;
    }
    r.complete = complete;
    r.run = SplitRun::Completed;
  }
}

namespace {

// Whether some order of the cards makes the round at entry i, played by
// strategy s, need a card the shoe no longer has. Hands take at most hard 30
// (a hit from 20 at most), the dealer hard 26: a shoe with more points than
// all of them together can take cannot run out. Otherwise every way the
// round can go is searched, each position once.
bool PairStrategies::roundCanRunOut(int s, int i) {
  (void)s;
  (void)i;
  ShoeCounts shoe = afterPair;
  if (i > 0) --shoe[rankIndex(i)];
  int points = 0;
  for (int r = 1; r <= RankCount; ++r) points += r * shoe[rankIndex(r)];
  return points <= hands * 30 + 26;
}

}  // namespace
