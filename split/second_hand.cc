#include "split/second_hand.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <memory>
#include <stdexcept>

#include "base/parallel.h"
#include "base/vector_level.h"
#include "split/entry_vector.h"
#include "split/hand_values.h"

namespace {

constexpr int BitsPerRank = 6;
constexpr std::uint64_t RankMask = (std::uint64_t{1} << BitsPerRank) - 1;

std::uint64_t packed(const HandCounts& counts) {
  std::uint64_t key = 0;
  for (int r = 0; r < RankCount; ++r) {
    if (counts[static_cast<std::size_t>(r)] > static_cast<int>(RankMask))
      throw std::logic_error("second hand: more cards of one rank than a key holds");
    key |= static_cast<std::uint64_t>(counts[static_cast<std::size_t>(r)]) << (BitsPerRank * r);
  }
  return key;
}

int countIn(std::uint64_t key, int rank) {
  return static_cast<int>((key >> (BitsPerRank * rankIndex(rank))) & RankMask);
}

std::uint64_t hashKey(std::uint64_t key) {
  key ^= key >> 31;
  key *= 0x7fb5d329728ea185ULL;
  key ^= key >> 27;
  key *= 0x81dadef4bc2dd44dULL;
  return key ^ (key >> 33);
}

struct HandClass {
  int total;
  bool soft;
  int cards;
};

HandClass decode(int code) { return {code / 12 + 1, (code / 6) % 2 == 1, code % 6 + 1}; }

// Groups are handed to the threads in runs of this many.
constexpr std::size_t GroupsPerTask = 64;

}  // namespace

int SecondHandMemo::classCode(int total, bool soft, int cards) { return ((total - 1) * 2 + (soft ? 1 : 0)) * 6 + (cards - 1); }

SecondHandMemo::SecondHandMemo(const Shoe& shoe, const RuleSet& ruleSet, Rank pairRank)
    : afterPair(shoe.currentCounts), takenOutAfterPair(shoe.takenOut()), rules(ruleSet), pair(pairRank) {
  // Beyond the card counts that change a hand's values, all counts behave alike.
  maxClass = rules.charlie5 ? 5 : rules.charlie6 ? 6 : 3;
  slotKeys.assign(1024, 0);
  slotGroups.assign(1024, -1);
}

std::int32_t SecondHandMemo::groupFor(std::uint64_t key, int level) {
  std::size_t mask = slotKeys.size() - 1;
  std::size_t slot = hashKey(key) & mask;
  for (; slotGroups[slot] >= 0; slot = (slot + 1) & mask)
    if (slotKeys[slot] == key) return slotGroups[slot];

  const auto g = static_cast<std::int32_t>(groups.size());
  groups.emplace_back();
  groups.back().key = key;
  groups.back().level = level;
  if (static_cast<std::size_t>(level) >= levels.size()) levels.resize(static_cast<std::size_t>(level) + 1);
  levels[static_cast<std::size_t>(level)].push_back(g);
  slotKeys[slot] = key;
  slotGroups[slot] = g;

  // Keep the index at most half full.
  if (2 * groups.size() > slotKeys.size()) {
    std::vector<std::uint64_t> keys(2 * slotKeys.size(), 0);
    std::vector<std::int32_t> numbers(2 * slotKeys.size(), -1);
    mask = keys.size() - 1;
    for (std::size_t i = 0; i < slotKeys.size(); ++i) {
      if (slotGroups[i] < 0) continue;
      std::size_t s = hashKey(slotKeys[i]) & mask;
      while (numbers[s] >= 0) s = (s + 1) & mask;
      keys[s] = slotKeys[i];
      numbers[s] = slotGroups[i];
    }
    slotKeys.swap(keys);
    slotGroups.swap(numbers);
  }
  return g;
}

std::int32_t SecondHandMemo::successorGroup(std::int32_t g, int rank) {
  std::int32_t& link = groups[static_cast<std::size_t>(g)].successor[rankIndex(rank)];
  if (link >= 0) return link;
  const Group& from = groups[static_cast<std::size_t>(g)];
  const std::uint64_t key = from.key + (std::uint64_t{1} << (BitsPerRank * rankIndex(rank)));
  const std::int32_t made = groupFor(key, from.level + 1);  // may move the groups
  groups[static_cast<std::size_t>(g)].successor[rankIndex(rank)] = made;
  return made;
}

std::size_t SecondHandMemo::addRoot(const HandCounts& firstHandDrawn) {
  int level = 0;
  for (std::int16_t c : firstHandDrawn) level += c;
  const std::int32_t g = groupFor(packed(firstHandDrawn), level);
  const int code = classCode(pair, pair == Ace, 1);
  groups[static_cast<std::size_t>(g)].classes[code / 64] |= std::uint64_t{1} << (code % 64);
  roots.push_back({g, code, {}});  // state holds the class code until build
  return roots.size() - 1;
}

std::int32_t SecondHandMemo::stateIndex(const Group& g, int code) const {
  int below = 0;
  for (int w = 0; w < code / 64; ++w) below += std::popcount(g.classes[w]);
  const std::uint64_t lower = (std::uint64_t{1} << (code % 64)) - 1;
  below += std::popcount(g.classes[code / 64] & lower);
  return g.base + below;
}

ShoeCounts SecondHandMemo::shoeOf(const Group& g) const {
  ShoeCounts n = afterPair;
  for (int r = 1; r <= RankCount; ++r) n[rankIndex(r)] -= countIn(g.key, r);
  return n;
}

void SecondHandMemo::build() {
  // The class each class reaches with one card of each rank; -1 where the
  // hand stands or busts.
  const bool finalAce = pair == Ace && !rules.hsa;
  for (int code = 0; code < ClassCodes; ++code) {
    successorClass[static_cast<std::size_t>(code)].fill(-1);
    const HandClass hand = decode(code);
    if ((finalAce && hand.cards >= 2) || hand.total >= 21) continue;  // stands
    for (int r = 1; r <= RankCount; ++r) {
      if (hand.total + r > 21) continue;
      successorClass[static_cast<std::size_t>(code)][rankIndex(r)] = static_cast<std::int16_t>(
          classCode(hand.total + r, (hand.soft || r == Ace) && hand.total + r <= 11, std::min(hand.cards + 1, maxClass)));
    }
  }
  statesInLevel.assign(levels.size(), 0);
  for (std::size_t level = 0; level < levels.size(); ++level) {
    // Every state of this level is known: number them group by group.
    std::int32_t count = 0;
    for (std::int32_t g : levels[level]) {
      Group& group = groups[static_cast<std::size_t>(g)];
      group.base = count;
      for (std::uint64_t w : group.classes) count += std::popcount(w);
    }
    if (statesInLevel.size() <= level) statesInLevel.resize(level + 1, 0);
    statesInLevel[level] = count;
    states += static_cast<std::size_t>(count);

    // Their successors, one level down: per rank, the classes the group's
    // hands reach with one card of it.
    for (std::size_t k = 0; k < levels[level].size(); ++k) {
      const std::int32_t g = levels[level][k];
      const Group& group = groups[static_cast<std::size_t>(g)];
      const std::uint64_t key = group.key;
      std::uint64_t reached[RankCount][4] = {};
      for (int w = 0; w < 4; ++w) {
        for (std::uint64_t bits = group.classes[w]; bits != 0; bits &= bits - 1) {
          const std::int16_t* next = successorClass[w * 64 + std::countr_zero(bits)].data();
          for (int r = 0; r < RankCount; ++r)
            if (next[r] >= 0) reached[r][next[r] / 64] |= std::uint64_t{1} << (next[r] % 64);
        }
      }
      for (int r = 1; r <= RankCount; ++r) {
        const std::uint64_t* bits = reached[rankIndex(r)];
        if ((bits[0] | bits[1] | bits[2] | bits[3]) == 0 || afterPair[rankIndex(r)] - countIn(key, r) <= 0) continue;
        Group& child = groups[static_cast<std::size_t>(successorGroup(g, r))];  // may move the groups
        for (int w = 0; w < 4; ++w) child.classes[w] |= bits[w];
      }
    }
  }
  statesInLevel.resize(levels.size());
  for (Root& root : roots) root.state = stateIndex(groups[static_cast<std::size_t>(root.group)], root.state);
}

std::vector<ShoeCounts> SecondHandMemo::dealerKeys() const {
  std::vector<ShoeCounts> keys;
  keys.reserve(groups.size());
  for (const Group& g : groups) {
    ShoeCounts key = takenOutAfterPair;
    for (int r = 1; r <= RankCount; ++r) key[rankIndex(r)] += countIn(g.key, r);
    keys.push_back(key);
  }
  return keys;
}

SPLITEV_VECTOR_CLONES
void SecondHandMemo::evaluateGroup(const Group& g, const double* below, double* values, bool& complete) const {
  const bool finalAce = pair == Ace && !rules.hsa;
  const bool peek = rules.peeks();
  const DealerOutcome& dealer = *g.dealer;
  if (!dealer.complete) complete = false;
  // The successors' records and values are scattered over memory: ask for
  // them now, while the draw chances are worked out.
  for (std::int32_t next : g.successor) {
    if (next < 0) continue;
    const Group& successor = groups[static_cast<std::size_t>(next)];
    const char* record = reinterpret_cast<const char*>(successor.dealer);
    for (std::size_t line = 0; line < sizeof(DealerOutcome); line += 64) __builtin_prefetch(record + line);
    const char* value = reinterpret_cast<const char*>(below + static_cast<std::size_t>(successor.base) * EntryCount);
    for (std::size_t line = 0; line < 4 * 64; line += 64) __builtin_prefetch(value + line);
  }

  // Draw chances of this group's shoe: entry 0 before the up card is known,
  // entry u once one card u is out; zero where no such card is left.
  const ShoeCounts n = shoeOf(g);
  std::int32_t total = 0;
  for (std::int32_t c : n) total += c;
  bool dealable[EntryCount];
  dealable[0] = true;
  for (int u = 1; u <= RankCount; ++u) dealable[u] = n[rankIndex(u)] > 0;
  double cardsLeft[EntryCount];
  for (int i = 0; i < EntryCount; ++i) cardsLeft[i] = static_cast<double>(total - (i == 0 ? 0 : 1));
  const EntryVector cards = EntryVector::load(cardsLeft);
  double chance[RankCount][EntryCount];
  for (int c = 1; c <= RankCount; ++c) {
    double left[EntryCount];
    for (int i = 0; i < EntryCount; ++i) left[i] = static_cast<double>(n[rankIndex(c)] - (i == c ? 1 : 0));
    (EntryVector::load(left) / cards).store(chance[rankIndex(c)]);
    for (int i = 0; i < EntryCount; ++i)
      if (!dealable[i] || left[i] <= 0.0) chance[rankIndex(c)][i] = 0.0;
  }

  // The stand values of a hand against a dealer record: a row of the record,
  // or, for a charlie, 1 less twice the blackjack chance (into scratch).
  auto standOf = [&](const DealerOutcome& d, const HandClass& hand, double* scratch) -> const double* {
    if ((rules.charlie5 && hand.cards >= 5) || (rules.charlie6 && hand.cards >= 6)) {
      for (int i = 0; i < EntryCount; ++i) scratch[i] = 1.0 - 2.0 * d.blackjack[i];
      return scratch;
    }
    const int best = hand.soft ? hand.total + 10 : hand.total;
    return d.stand[best >= 17 ? best - 17 : StandBelow17];
  };

  const EntryVector blackjack = EntryVector::load(dealer.blackjack);
  const EntryVector minusOne = EntryVector::all(-1.0);
  const EntryVector minusTwo = EntryVector::all(-2.0);
  const EntryVector two = EntryVector::all(2.0);
  int local = 0;
  for (int w = 0; w < 4; ++w) {
    for (std::uint64_t bits = g.classes[w]; bits != 0; bits &= bits - 1, ++local) {
      const HandClass hand = decode(w * 64 + std::countr_zero(bits));
      double* out = values + static_cast<std::size_t>(g.base + local) * EntryCount;
      double charlie[EntryCount];
      const double* stand = standOf(dealer, hand, charlie);
      if ((finalAce && hand.cards >= 2) || hand.total >= 21) {
        for (int i = 0; i < EntryCount; ++i) out[i] = dealable[i] ? stand[i] : 0.0;
        continue;
      }
      if (total <= 1) complete = false;  // a hit with no card to draw in some entry

      const bool mayDouble = doublingAllowed(rules, pair, hand.total, hand.soft, hand.cards);
      EntryVector hitSum = EntryVector::all(0.0);
      EntryVector doubleSum = EntryVector::all(0.0);
      for (int c = 1; c <= RankCount; ++c) {
        if (n[rankIndex(c)] == 0) continue;
        const EntryVector p = EntryVector::load(chance[rankIndex(c)]);
        if (hand.total + c > 21) {
          hitSum = hitSum + p * minusOne;
          if (mayDouble) doubleSum = doubleSum + p * (peek ? minusTwo + blackjack : minusTwo);
          continue;
        }
        const Group& next = groups[static_cast<std::size_t>(g.successor[rankIndex(c)])];
        const HandClass after{hand.total + c, (hand.soft || c == Ace) && hand.total + c <= 11,
                              std::min(hand.cards + 1, maxClass)};
        const double* v =
            below + static_cast<std::size_t>(stateIndex(next, classCode(after.total, after.soft, after.cards))) *
                        EntryCount;
        hitSum = hitSum + p * EntryVector::load(v);
        if (mayDouble) {
          double nextCharlie[EntryCount];
          const EntryVector nextStand = EntryVector::load(standOf(*next.dealer, after, nextCharlie));
          doubleSum = doubleSum + p * (peek ? two * nextStand + blackjack : two * nextStand);
        }
      }
      double hit[EntryCount];
      double doubled[EntryCount];
      hitSum.store(hit);
      doubleSum.store(doubled);
      // The lone pair card's value is its hit value; any other hand takes the
      // best of its actions, stand before double before hit at equal value.
      for (int i = 0; i < EntryCount; ++i) {
        double x = hit[i];
        if (hand.cards > 1) {
          x = stand[i];
          if (mayDouble && x < doubled[i]) x = doubled[i];
          if (x < hit[i]) x = hit[i];
        }
        out[i] = dealable[i] ? x : 0.0;
      }
    }
  }
}

void SecondHandMemo::evaluate(const DealerOutcomeCache& cache, int threads) {
  const std::vector<ShoeCounts> keys = dealerKeys();
  for (std::size_t g = 0; g < groups.size(); ++g) {
    groups[g].dealer = cache.find(keys[g]);
    if (groups[g].dealer == nullptr) throw std::logic_error("second hand: a dealer outcome is missing");
  }
  std::vector<std::vector<std::int32_t>> rootsAt(levels.size());
  for (std::size_t k = 0; k < roots.size(); ++k)
    rootsAt[static_cast<std::size_t>(groups[static_cast<std::size_t>(roots[k].group)].level)].push_back(
        static_cast<std::int32_t>(k));

  // Two buffers, each as large as the largest level, serve every level in
  // turn: the values of the level below and those being worked out. Every
  // state of a level writes all its entries, so they need no clearing.
  std::size_t largest = 0;
  for (std::int32_t count : statesInLevel) largest = std::max(largest, static_cast<std::size_t>(count));
  auto below = std::make_unique_for_overwrite<double[]>(largest * EntryCount);
  auto values = std::make_unique_for_overwrite<double[]>(largest * EntryCount);
  std::atomic<bool> incomplete{false};
  for (std::size_t level = levels.size(); level-- > 0;) {
    const std::vector<std::int32_t>& at = levels[level];
    const std::size_t tasks = (at.size() + GroupsPerTask - 1) / GroupsPerTask;
    parallelFor(threads, tasks, [&](std::size_t t) {
      bool complete = true;
      const std::size_t end = std::min(at.size(), (t + 1) * GroupsPerTask);
      for (std::size_t k = t * GroupsPerTask; k < end; ++k) {
        if (k + 1 < end) {
          // The next group's own record, read first thing.
          const char* record = reinterpret_cast<const char*>(groups[static_cast<std::size_t>(at[k + 1])].dealer);
          for (std::size_t line = 0; line < sizeof(DealerOutcome); line += 64) __builtin_prefetch(record + line);
        }
        evaluateGroup(groups[static_cast<std::size_t>(at[k])], below.get(), values.get(), complete);
      }
      if (!complete) incomplete.store(true, std::memory_order_relaxed);
    });
    for (std::int32_t k : rootsAt[level]) {
      Root& root = roots[static_cast<std::size_t>(k)];
      std::copy_n(values.get() + static_cast<std::size_t>(root.state) * EntryCount, EntryCount, root.value.begin());
    }
    below.swap(values);
  }
  allComplete = !incomplete.load();
}
