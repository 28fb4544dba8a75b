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
// Every hand's own play and value follow the hand rules (split/hand_rules.h),
// which charge each hand its bet to a dealer blackjack. Under full peek the
// round loses one bet to it however many hands there are: a hand's term is
// taken as its result when the dealer has no blackjack (its value plus the
// blackjack chance of its shoe, what the charge comes to by exchangeability),
// and the round's sum X is stored as X - 2d, as a split's values are (d the
// shoe's blackjack chance), so the views apply unchanged. Under no peek each
// hand carries its own loss.
#include "split/resplit_strategy.h"

#include <array>
#include <cstdint>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/parallel.h"
#include "split/hand_rules.h"
#include "split/split_calculator.h"
#include "split/split_views.h"

namespace {

constexpr int StrategyCount = 2;  // 0: CDZ-, 1: CDP1
constexpr int MaxHands = 4;
// Lanes of values: e pair cards set aside, e = 0 .. 2b + 1 with b <= 2.
constexpr int MaxValueLanes = 2 * (MaxHands - 2) + 2;
// Lanes of dealer records: one more, e = -1, for the CDZ- decisions.
constexpr int LaneCount = MaxValueLanes + 1;
// Positions the search for a way to run out of cards may visit before it
// gives up and says the round may run out.
constexpr std::size_t MaxRunOutPositions = std::size_t{1} << 21;

// A split hand: the split card plus the cards drawn to it.
struct Composition {
  HandCounts drawn{};
  int total = 0;  // hard total, split card included
  bool soft = false;
  int cards = 0;  // split card included
  std::array<std::int32_t, RankCount> next{};  // drawn plus one card of rank r; -1 when that busts or cannot be
  int bestTotal() const { return soft ? total + 10 : total; }
};

std::uint64_t packCounts(const HandCounts& c) {
  std::uint64_t key = 0;
  for (int r = 0; r < RankCount; ++r) key |= static_cast<std::uint64_t>(c[static_cast<std::size_t>(r)]) << (6 * r);
  return key;
}

// One pair's computation.
class PairStrategies {
 public:
  PairStrategies(SplitCalculator& calc, const ShoeCounts& afterPair, Rank pair, const ResplitRules& limits)
      : calc(calc), rules(calc.rules), play(calc.rules, pair), pair(pair), afterPair(afterPair) {
    resplits = pair == Ace && !limits.resplitAces ? 0 : limits.hands - 2;
    hands = 2 + resplits;
    valueLanes = 2 * resplits + 2;
    peek = play.peeks();
    for (std::int32_t c : afterPair) afterPairTotal += c;
  }

  void run(StrategyResplitResults& out);

 private:
  // Lane l holds e = l - 1 pair cards set aside: e = -1 (one pair card
  // back) decides CDZ-, e = 0 decides CDP1; e = 0 .. valueLanes - 1 value.
  static std::size_t laneOf(int e) { return static_cast<std::size_t>(e + 1); }

  void enumerate();
  int countIn(const Composition& y, int e, int r) const {
    return afterPair[rankIndex(r)] - y.drawn[rankIndex(r)] - (r == pair ? e : 0);
  }
  int totalIn(const Composition& y, int e) const { return afterPairTotal - (y.cards - 1) - e; }
  // Lane e's shoe at y (before the up card) exists: no count below zero.
  bool laneExists(const Composition& y, int e) const { return countIn(y, e, pair) >= 0; }
  bool entryDealable(const Composition& y, int e, int i) const { return i == 0 || countIn(y, e, i) > 0; }
  static HandShape shapeOf(const Composition& y) { return {y.total, y.soft, y.cards}; }
  // The eleven stand values of composition k on lane e's shoe.
  const double* standRow(std::size_t k, int e, double (&scratch)[EntryCount]) const {
    return play.standValues(record(k, e), shapeOf(comps[k]), scratch);
  }
  const DealerOutcome*& record(std::size_t k, int e) { return records[k * LaneCount + laneOf(e)]; }
  const DealerOutcome* record(std::size_t k, int e) const { return records[k * LaneCount + laneOf(e)]; }
  std::size_t valueAt(int s, std::size_t k, int e) const {
    return ((static_cast<std::size_t>(s) * comps.size() + k) * MaxValueLanes + static_cast<std::size_t>(e)) * ValueCount;
  }
  ShoeCounts keyOf(const Composition& y, int e) const {
    ShoeCounts key{};
    for (int r = 1; r <= RankCount; ++r) key[rankIndex(r)] = calc.shoe.fullCounts[rankIndex(r)] - countIn(y, e, r);
    return key;
  }
  void fetchDealers(int firstLane, int endLane, const std::vector<char>* only);
  void decide(int s, int e);
  void markReachable();
  void valueLane(int e);
  double roundValue(int s, int i);
  bool roundCanRunOut(int s, int i) const;

  SplitCalculator& calc;
  const RuleSet& rules;
  const HandRules play;  // the rules of every hand grown from one pair card
  Rank pair;
  ShoeCounts afterPair;  // S: the shoe less the removals and both pair cards
  std::int32_t afterPairTotal = 0;
  int resplits = 0;
  int hands = 2;
  int valueLanes = 2;
  bool peek = true;

  std::vector<Composition> comps;  // each after every composition with one card more
  std::unordered_map<std::uint64_t, std::int32_t> indexOf;
  std::vector<const DealerOutcome*> records;  // per composition and lane; null where not needed or no shoe
  std::vector<std::array<char, ValueCount>> actions[StrategyCount];
  std::vector<char> reachable;  // some strategy at some entry plays the hand to this composition
  std::vector<double> values;   // per strategy, composition, value lane and entry
};

void PairStrategies::enumerate() {
  // Every composition of drawn cards up to hard 21 that the largest lane's
  // shoe (S and one pair card) can supply, tens outermost and each rank
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
      if (!play.mayHold(y.cards)) continue;  // a split ace that takes one card
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

// The dealer records of lanes firstLane .. endLane - 1 (as e), at every
// composition or at those `only` marks.
void PairStrategies::fetchDealers(int firstLane, int endLane, const std::vector<char>* only) {
  std::vector<ShoeCounts> keys;
  for (std::size_t k = 0; k < comps.size(); ++k) {
    if (only != nullptr && (*only)[k] == 0) continue;
    for (int e = firstLane; e < endLane; ++e)
      if (laneExists(comps[k], e)) keys.push_back(keyOf(comps[k], e));
  }
  calc.dealerCache.addMissing(keys, calc.shoe, rules.standsOnSoft17, calc.threads);
  for (std::size_t k = 0; k < comps.size(); ++k) {
    if (only != nullptr && (*only)[k] == 0) continue;
    for (int e = firstLane; e < endLane; ++e)
      if (laneExists(comps[k], e)) record(k, e) = calc.dealerCache.find(keyOf(comps[k], e));
  }
}

// Strategy s: at every composition and entry, the best of stand, double
// and hit for the hand alone on lane e's shoe, by the split hand's rules.
void PairStrategies::decide(int s, int e) {
  std::vector<ValueVector> best(comps.size());
  actions[s].assign(comps.size(), {});
  for (std::size_t k = 0; k < comps.size(); ++k) {
    const Composition& y = comps[k];
    const HandShape h = shapeOf(y);
    actions[s][k].fill(Stand);
    if (play.mustDraw(h) || !laneExists(y, e)) continue;
    const DealerOutcome& d = *record(k, e);
    double scratch[EntryCount];
    const double* stand = play.standValues(&d, h, scratch);
    const bool decides = !play.mustStand(h);
    const bool mayDouble = decides && play.mayDouble(h);
    int counts[RankCount];
    for (int x = 1; x <= RankCount; ++x) counts[rankIndex(x)] = countIn(y, e, x);
    const int cards = totalIn(y, e);
    for (int i = 0; i < ValueCount; ++i) {
      if (!entryDealable(y, e, i)) continue;
      best[k][static_cast<std::size_t>(i)] = stand[i];
      if (!decides) continue;
      const double total = static_cast<double>(cards - (i > 0 ? 1 : 0));
      const double blackjack = d.blackjack[i];
      double doubled = 0.0;
      double hit = 0.0;
      for (int x = 1; x <= RankCount; ++x) {
        const int n = counts[rankIndex(x)] - (x == i ? 1 : 0);
        if (n <= 0) continue;
        const double p = static_cast<double>(n) / total;
        if (y.total + x > 21) {
          doubled += p * play.doubledBust(blackjack);
          hit += p * LostBet;
          continue;
        }
        const std::size_t j = static_cast<std::size_t>(y.next[rankIndex(x)]);
        double nextScratch[EntryCount];
        doubled += p * play.doubledStand(standRow(j, e, nextScratch)[i], blackjack);
        hit += p * best[j][static_cast<std::size_t>(i)];
      }
      const ActionChoice choice = chooseAction(stand[i], doubled, hit, mayDouble);
      actions[s][k][static_cast<std::size_t>(i)] = choice.action;
      best[k][static_cast<std::size_t>(i)] = choice.value;
    }
  }
}

// The compositions some strategy plays a hand to at some entry: every
// two-card hand, and the cards after a hit or a double.
void PairStrategies::markReachable() {
  reachable.assign(comps.size(), 0);
  for (std::size_t k = comps.size(); k-- > 0;) {
    const Composition& y = comps[k];
    if (y.cards == 2) reachable[k] = 1;
    if (reachable[k] == 0) continue;
    bool draws = false;
    for (int s = 0; s < StrategyCount; ++s)
      for (char action : actions[s][k]) draws = draws || action != Stand;
    if (!draws) continue;
    for (std::int32_t j : y.next)
      if (j >= 0) reachable[static_cast<std::size_t>(j)] = 1;
  }
}

// Both strategies' hand values on lane e's shoes, at every reachable
// composition and entry.
void PairStrategies::valueLane(int e) {
  for (std::size_t k = 0; k < comps.size(); ++k) {
    const Composition& y = comps[k];
    if (y.cards == 1 || reachable[k] == 0 || !laneExists(y, e)) continue;
    const DealerOutcome& d = *record(k, e);
    double scratch[EntryCount];
    const double* stand = play.standValues(&d, shapeOf(y), scratch);
    int counts[RankCount];
    for (int x = 1; x <= RankCount; ++x) counts[rankIndex(x)] = countIn(y, e, x);
    const int cards = totalIn(y, e);
    for (int i = 0; i < ValueCount; ++i) {
      if (!entryDealable(y, e, i)) continue;
      char action[StrategyCount];
      bool draws = false;
      for (int s = 0; s < StrategyCount; ++s) {
        action[s] = actions[s][k][static_cast<std::size_t>(i)];
        draws = draws || action[s] != Stand;
      }
      double sum[StrategyCount] = {};
      const double total = static_cast<double>(cards - (i > 0 ? 1 : 0));
      const double blackjack = d.blackjack[i];
      for (int x = 1; draws && x <= RankCount; ++x) {
        const int n = counts[rankIndex(x)] - (x == i ? 1 : 0);
        if (n <= 0) continue;
        const double p = static_cast<double>(n) / total;
        const bool busts = y.total + x > 21;
        const std::size_t j = busts ? 0 : static_cast<std::size_t>(y.next[rankIndex(x)]);
        double nextScratch[EntryCount];
        for (int s = 0; s < StrategyCount; ++s) {
          if (action[s] == Hit) sum[s] += p * (busts ? LostBet : values[valueAt(s, j, e) + static_cast<std::size_t>(i)]);
          if (action[s] == DoubleDown)
            sum[s] += p * (busts ? play.doubledBust(blackjack) : play.doubledStand(standRow(j, e, nextScratch)[i], blackjack));
        }
      }
      for (int s = 0; s < StrategyCount; ++s)
        values[valueAt(s, k, e) + static_cast<std::size_t>(i)] = action[s] == Stand ? stand[i] : sum[s];
    }
  }
}

// The round at entry i under strategy s: the second-card round's patterns,
// each hand's term from the single-hand values (see the top of the file).
double PairStrategies::roundValue(int s, int i) {
  ShoeCounts shoe = afterPair;
  if (i > 0) --shoe[rankIndex(i)];
  std::int32_t n = 0;
  for (std::int32_t c : shoe) n += c;
  const std::int32_t pairs = shoe[rankIndex(pair)];
  const std::int32_t others = n - pairs;
  // The hand {P, c} on lane e's shoe, as the round keeps it: under peek
  // its result when the dealer has no blackjack.
  auto valueOf = [&](int c, int e) {
    HandCounts one{};
    one[rankIndex(c)] = 1;
    const std::size_t k = static_cast<std::size_t>(indexOf.at(packCounts(one)));
    const double value = values[valueAt(s, k, e) + static_cast<std::size_t>(i)];
    return peek ? value + record(k, e)->blackjack[i] : value;
  };

  // a[k][m]: the hand {P, c}, c a uniform non-pair card, with k pair cards
  // and m other non-pair cards set aside; b[k][m]: the hand {P, P} with k
  // more pair cards and m non-pair cards set aside. Lanes give m = 0.
  // (One spare row and column: the recursion reads one lane past its last.)
  double a[MaxValueLanes + 1][MaxValueLanes + 1] = {};
  double b[MaxValueLanes + 1][MaxValueLanes + 1] = {};
  for (int e = 0; e < valueLanes; ++e) {
    if (pairs - e >= 0 && others > 0) {
      double sum = 0.0;
      for (int c = 1; c <= RankCount; ++c)
        if (c != pair && shoe[rankIndex(c)] > 0)
          sum += static_cast<double>(shoe[rankIndex(c)]) / static_cast<double>(others) * valueOf(c, e);
      a[e][0] = sum;
    }
    if (pairs - 1 - e >= 0) b[e][0] = valueOf(pair, e);
  }
  // Face-down non-pair cards: F(k, m+1) from F(k, m) and F(k+1, m). The
  // pair card's coefficient is zero exactly where lane k+1 has no shoe.
  for (int m = 0; m + 1 < valueLanes; ++m) {
    for (int k = 0; k + m + 1 < valueLanes; ++k) {
      const double cards = static_cast<double>(n - 1 - k - m);
      const std::int32_t othersA = others - 1 - m;
      if (othersA > 0 && pairs - k >= 0)
        a[k][m + 1] = (cards * a[k][m] - static_cast<double>(pairs - k) * a[k + 1][m]) / othersA;
      const std::int32_t othersB = others - m;
      if (othersB > 0 && pairs - 1 - k >= 0)
        b[k][m + 1] = (cards * b[k][m] - static_cast<double>(pairs - 1 - k) * b[k + 1][m]) / othersB;
    }
  }

  // The second-card round: hands so far, second cards dealt, pair and other
  // cards drawn, and the chance of getting here.
  double total = 0.0;
  auto walk = [&](auto&& self, int handsNow, int dealt, int p, int q, double chance) -> void {
    const std::int32_t left = n - p - q;
    if (left <= 0) return;  // the round runs out here; roundCanRunOut says so
    if (pairs - p > 0) {
      const double draw = chance * (static_cast<double>(pairs - p) / left);
      if (handsNow < hands) {
        self(self, handsNow + 1, dealt, p + 1, q, draw);
      } else {
        total += draw * b[p][q];
        if (dealt + 1 < handsNow) self(self, handsNow, dealt + 1, p + 1, q, draw);
      }
    }
    if (others - q > 0) {
      const double draw = chance * (static_cast<double>(others - q) / left);
      total += draw * a[p][q];
      if (dealt + 1 < handsNow) self(self, handsNow, dealt + 1, p, q + 1, draw);
    }
  };
  walk(walk, 2, 0, 0, 0, 1.0);
  return total;
}

// Whether some order of the cards makes the round at entry i, played by
// strategy s, need a card the shoe no longer has. The hole card is always
// dealt (the up card too, overall); the dealer draws on only while some hand
// is neither busted nor a charlie. A hand takes at most hard 30 (a hit from
// 20 at most) and the dealer hard 26, so a shoe with more points than all
// of them together can take never runs out; otherwise every way the round
// can go is searched, each position once (past MaxRunOutPositions the
// answer is yes).
bool PairStrategies::roundCanRunOut(int s, int i) const {
  ShoeCounts shoe = afterPair;
  if (i > 0) --shoe[rankIndex(i)];
  int points = 0;
  for (int r = 1; r <= RankCount; ++r) points += r * shoe[rankIndex(r)];
  if (points > hands * 30 + 26) return false;

  std::unordered_set<std::string> seen;
  bool runsOut = false;
  // A position: the shoe, the hand's drawn cards (or a lone pair card), the
  // hands waiting and so far, and whether some finished hand is live.
  auto fresh = [&](const ShoeCounts& left, const HandCounts& drawn, bool lone, int waiting, int handsNow, bool live) {
    std::string key;
    for (std::int32_t c : left) key.append(reinterpret_cast<const char*>(&c), sizeof c);
    for (std::int16_t c : drawn) key.push_back(static_cast<char>(c));
    key.push_back(static_cast<char>(lone + 2 * live));
    key.push_back(static_cast<char>(waiting));
    key.push_back(static_cast<char>(handsNow));
    if (seen.size() >= MaxRunOutPositions) runsOut = true;
    return !runsOut && seen.insert(std::move(key)).second;
  };
  // The dealer: hard total, an ace held, cards held (the up card among them).
  auto dealer = [&](auto&& self, ShoeCounts& left, int hard, bool ace, int cards, bool live) -> void {
    const int best = ace && hard <= 11 ? hard + 10 : hard;
    const bool softSeventeen = ace && hard == 7;
    if (cards >= 2 && (!live || best > 17 || (best == 17 && (rules.standsOnSoft17 || !softSeventeen)))) return;
    bool any = false;
    for (int r = 1; r <= RankCount && !runsOut; ++r) {
      if (left[rankIndex(r)] == 0) continue;
      any = true;
      --left[rankIndex(r)];
      self(self, left, hard + r, ace || r == Ace, cards + 1, live);
      ++left[rankIndex(r)];
    }
    if (!any) runsOut = true;
  };
  auto deal = [&](auto&& self, ShoeCounts& left, HandCounts& drawn, bool lone, int waiting, int handsNow,
                  bool live) -> void {
    if (runsOut || !fresh(left, drawn, lone, waiting, handsNow, live)) return;
    // The hand ends on these cards: the next hand or the dealer.
    auto ends = [&](const HandCounts& cards) {
      int total = pair;
      int count = 1;
      for (int r = 1; r <= RankCount; ++r) {
        total += r * cards[rankIndex(r)];
        count += cards[rankIndex(r)];
      }
      const bool stillLive = live || (total <= 21 && !play.isCharlie(count));
      HandCounts none{};
      if (waiting > 0) return self(self, left, none, true, waiting - 1, handsNow, stillLive);
      if (i == 0) return dealer(dealer, left, 0, false, 0, stillLive);
      dealer(dealer, left, i, i == Ace, 1, stillLive);
    };
    char action = Hit;  // a lone pair card draws
    if (!lone) action = actions[s][static_cast<std::size_t>(indexOf.at(packCounts(drawn)))][static_cast<std::size_t>(i)];
    if (action == Stand) return ends(drawn);
    bool any = false;
    for (int r = 1; r <= RankCount && !runsOut; ++r) {
      if (left[rankIndex(r)] == 0) continue;
      any = true;
      --left[rankIndex(r)];
      ++drawn[rankIndex(r)];
      if (lone && r == pair && handsNow < hands) {
        --drawn[rankIndex(r)];
        self(self, left, drawn, true, waiting + 1, handsNow + 1, live);
        ++drawn[rankIndex(r)];
      } else if (action == DoubleDown || (lone && play.finalSplitAce()) || indexOf.count(packCounts(drawn)) == 0) {
        ends(drawn);  // doubled, a split ace with its card, or busted
      } else {
        self(self, left, drawn, false, waiting, handsNow, live);
      }
      --drawn[rankIndex(r)];
      ++left[rankIndex(r)];
    }
    if (!any) runsOut = true;
  };
  HandCounts none{};
  deal(deal, shoe, none, true, 1, 2, false);  // the second pair card waits
  return runsOut;
}

}  // namespace

StrategyResplitResults evaluateStrategyResplits(SplitCalculator& calc, const Removals& removals, Rank pair,
                                                const ResplitRules& limits) {
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
    // The cache may hold much of what the failed run filled: give the next
    // computation its memory back. Results never depend on what is cached.
    calc.clearDealerOutcomes();
    out = StrategyResplitResults{};
    out.cdz.run = SplitRun::OutOfMemory;
    out.cdp1.run = SplitRun::OutOfMemory;
  }
  return out;
}

namespace {

void PairStrategies::run(StrategyResplitResults& out) {
  enumerate();
  records.assign(comps.size() * LaneCount, nullptr);
  // Room for every record this pair may add, or a clear cache first: the
  // records fetched below must all stay until the end.
  const std::size_t most = comps.size() * static_cast<std::size_t>(valueLanes + 1);
  if (calc.dealerCache.bytesUsed() + most * DealerOutcomeCache::bytesPerRecord() > calc.dealerCacheBudget)
    calc.clearDealerOutcomes();

  // Step 1: the decisions, from lanes -1 (CDZ-) and 0 (CDP1) at every
  // composition.
  fetchDealers(-1, 1, nullptr);
  parallelFor(calc.threads, StrategyCount, [&](std::size_t s) { decide(static_cast<int>(s), s == 0 ? -1 : 0); });
  markReachable();

  // Step 2: both strategies' hand values in every lane, where hands go.
  fetchDealers(1, valueLanes, &reachable);
  values.assign(StrategyCount * comps.size() * MaxValueLanes * ValueCount, 0.0);
  parallelFor(calc.threads, static_cast<std::size_t>(valueLanes), [&](std::size_t e) { valueLane(static_cast<int>(e)); });

  // Step 3: the rounds. The shoe at the split gives the blackjack chances.
  const DealerOutcome& atSplit = *record(static_cast<std::size_t>(indexOf.at(0)), 0);
  ShoeCounts available = afterPair;
  available[rankIndex(pair)] += 2;
  SplitResults* results[StrategyCount] = {&out.cdz, &out.cdp1};
  for (int s = 0; s < StrategyCount; ++s) {
    SplitResults& r = *results[s];
    r.blackjackOverall = atSplit.blackjack[0];
    r.blackjackVsAce = atSplit.blackjack[Ace];
    r.blackjackVsTen = atSplit.blackjack[Ten];
    for (int i = 0; i < ValueCount; ++i) {
      const std::size_t at = static_cast<std::size_t>(i);
      r.dealable[at] = i == 0 || canDealUpCard(i, pair, available);
      if (!r.dealable[at]) continue;
      const double x = roundValue(s, i);
      r.ev[at] = peek ? x - 2.0 * atSplit.blackjack[i] : x;
      if (r.complete && roundCanRunOut(s, i)) r.complete = false;
    }
    r.run = SplitRun::Completed;
  }
}

}  // namespace
