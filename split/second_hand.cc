#include "split/second_hand.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <memory>
#include <stdexcept>

#include "base/parallel.h"
#include "base/vector_level.h"
#include "split/entry_vector.h"

namespace {

// A group key: X, the cards both hands have drawn, BitsPerRank bits per
// rank, the ace lowest.
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

// Groups are handed to the threads in runs of this many.
constexpr std::size_t GroupsPerTask = 64;

// Prefetching: cache lines of 64 bytes; of a successor group's values the
// first four lines (its first states, which most hands reach) are asked for.
constexpr std::size_t CacheLine = 64;
constexpr std::size_t SuccessorValueLines = 4;

void prefetchRecord(const DealerOutcome* record) {
  const char* bytes = reinterpret_cast<const char*>(record);
  for (std::size_t line = 0; line < sizeof(DealerOutcome); line += CacheLine) __builtin_prefetch(bytes + line);
}

}  // namespace

int SecondHandMemo::classCode(const HandShape& h) {
  return ((h.total - 1) * 2 + (h.soft ? 1 : 0)) * CardClasses + (h.cards - 1);
}

HandShape SecondHandMemo::classShape(int code) {
  return {code / (2 * CardClasses) + 1, (code / CardClasses) % 2 == 1, code % CardClasses + 1};
}

SecondHandMemo::SecondHandMemo(const Shoe& shoe, const RuleSet& rules, Rank pair)
    : afterPair(shoe.currentCounts), takenOutAfterPair(shoe.takenOut()), play(rules, pair) {
  // Beyond the card counts that change a hand's values, all counts behave alike.
  cardLimit = play.alikeFromCards();
}

std::int32_t SecondHandMemo::groupFor(std::uint64_t key, int level) {
  bool added = false;
  const std::int32_t g = index.groupOf(key, static_cast<std::int32_t>(groups.size()), added);
  if (!added) return g;
  groups.emplace_back();
  groups.back().key = key;
  groups.back().level = level;
  if (static_cast<std::size_t>(level) >= levels.size()) levels.resize(static_cast<std::size_t>(level) + 1);
  levels[static_cast<std::size_t>(level)].push_back(g);
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
  const int code = classCode(play.splitCard());
  groups[static_cast<std::size_t>(g)].classes[code / ClassWordBits] |= std::uint64_t{1} << (code % ClassWordBits);
  roots.push_back({g, code, -1, {}});
  return roots.size() - 1;
}

std::int32_t SecondHandMemo::stateIndex(const Group& g, int code) const {
  int below = 0;
  for (int w = 0; w < code / ClassWordBits; ++w) below += std::popcount(g.classes[w]);
  const std::uint64_t lower = (std::uint64_t{1} << (code % ClassWordBits)) - 1;
  below += std::popcount(g.classes[code / ClassWordBits] & lower);
  return g.base + below;
}

ShoeCounts SecondHandMemo::shoeOf(const Group& g) const {
  ShoeCounts n = afterPair;
  for (int r = 1; r <= RankCount; ++r) n[rankIndex(r)] -= countIn(g.key, r);
  return n;
}

void SecondHandMemo::build() {
  for (int code = 0; code < ClassCodes; ++code) {
    successorClass[static_cast<std::size_t>(code)].fill(-1);
    const HandShape hand = classShape(code);
    if (play.mustStand(hand)) continue;
    for (int r = 1; r <= RankCount; ++r) {
      if (hand.total + r > 21) continue;
      successorClass[static_cast<std::size_t>(code)][rankIndex(r)] =
          static_cast<std::int16_t>(classCode(afterCard(hand, r, cardLimit)));
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
      ClassSet reached[RankCount] = {};
      for (int w = 0; w < ClassWords; ++w) {
        for (std::uint64_t bits = group.classes[w]; bits != 0; bits &= bits - 1) {
          const std::int16_t* next = successorClass[static_cast<std::size_t>(w * ClassWordBits + std::countr_zero(bits))].data();
          for (int r = 0; r < RankCount; ++r)
            if (next[r] >= 0) reached[r][next[r] / ClassWordBits] |= std::uint64_t{1} << (next[r] % ClassWordBits);
        }
      }
      for (int r = 1; r <= RankCount; ++r) {
        const std::uint64_t* bits = reached[rankIndex(r)];
        std::uint64_t any = 0;
        for (int w = 0; w < ClassWords; ++w) any |= bits[w];
        if (any == 0 || afterPair[rankIndex(r)] - countIn(key, r) <= 0) continue;
        Group& child = groups[static_cast<std::size_t>(successorGroup(g, r))];  // may move the groups
        for (int w = 0; w < ClassWords; ++w) child.classes[w] |= bits[w];
      }
    }
  }
  statesInLevel.resize(levels.size());
  for (Root& root : roots) root.state = stateIndex(groups[static_cast<std::size_t>(root.group)], root.classCode);
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

// One version of evaluateGroup per vector level. EntryVector's parts are
// four wide at every level: what changes is the instructions they compile to.
#if SPLITEV_LEVEL_DISPATCH
#define SPLITEV_GROUP_NAME evaluateGroupV4
#define SPLITEV_GROUP_TARGET SPLITEV_TARGET_V4
#include "split/second_hand_group.inc"

#define SPLITEV_GROUP_NAME evaluateGroupV3
#define SPLITEV_GROUP_TARGET SPLITEV_TARGET_V3
#include "split/second_hand_group.inc"
#endif

#define SPLITEV_GROUP_NAME evaluateGroupV1
#define SPLITEV_GROUP_TARGET
#include "split/second_hand_group.inc"

void SecondHandMemo::evaluateGroup(const Group& g, const double* below, double* values, bool& complete) const {
#if SPLITEV_LEVEL_DISPATCH
  if (vectorLevel() == 4) return evaluateGroupV4(g, below, values, complete);
  if (vectorLevel() == 3) return evaluateGroupV3(g, below, values, complete);
#endif
  evaluateGroupV1(g, below, values, complete);
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
          prefetchRecord(groups[static_cast<std::size_t>(at[k + 1])].dealer);
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
