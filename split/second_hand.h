#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dealer/dealer_cache.h"
#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/player_hand_state.h"

// The second split hand, valued once for every situation it can meet.
//
// A second-hand state's values depend only on the shoe it is played against
// and on the hand's hard total, softness and card-count class (1, 2, 3 or
// more; up to 5+ or 6+ under a charlie rule), not on which cards make up the
// hand, nor on how the cards drawn so far divide between the two hands. The
// shoe is the shoe after the pair less X, the cards both hands have drawn;
// so states are kept by (X, hand class), and the thousands of second-hand
// trees that the first hand's endings call for share their states. Each
// value is computed from the same inputs by the same operations as a hand
// valued in its own tree, so the bits are the same.
//
// States are grouped by X and the groups by level, the number of cards in
// X: a successor is one level deeper, so each level can be valued from the
// one below it, its groups side by side.
class SecondHandMemo {
 public:
  // shoe: the live shoe less the removals and both pair cards.
  SecondHandMemo(const Shoe& shoe, const RuleSet& rules, Rank pair);

  // The second hand beside a first hand that drew these cards (at least
  // one); returns the number under which rootValue gives its EV.
  std::size_t addRoot(const HandCounts& firstHandDrawn);

  // Finds every state the roots reach. Call once, after the last addRoot.
  void build();

  // The dealer key (cards out of the full shoe) of every group's shoe.
  std::vector<ShoeCounts> dealerKeys() const;

  // Values every state, deepest level first, on up to `threads` threads.
  // Every key of dealerKeys must be in the cache.
  void evaluate(const DealerOutcomeCache& cache, int threads);

  // The EV of the second hand beside root k: its lone pair card's hit
  // value; 0 against an up card its shoe cannot deal.
  const ValueVector& rootValue(std::size_t k) const { return roots[k].value; }

  // False when some hand considered hitting with no card to draw, or some
  // dealer could not finish.
  bool complete() const { return allComplete; }

  std::size_t stateCount() const { return states; }
  std::size_t groupCount() const { return groups.size(); }

 private:
  // A hand class: hard total, softness and card-count class in one number
  // below 256.
  static int classCode(int total, bool soft, int cards);

  struct Group {
    std::uint64_t key = 0;            // X, six bits per rank
    std::int32_t level = 0;
    std::int32_t base = 0;            // first state of the group within its level
    std::uint64_t classes[4] = {};    // the hand classes present
    std::int32_t successor[RankCount];  // group of X plus one card of each rank, or -1
    const DealerOutcome* dealer = nullptr;
    Group() { for (std::int32_t& s : successor) s = -1; }
  };
  struct Root {
    std::int32_t group = 0;
    std::int32_t state = 0;  // within its level
    ValueVector value{};
  };

  std::int32_t groupFor(std::uint64_t key, int level);
  std::int32_t successorGroup(std::int32_t g, int rank);
  std::int32_t stateIndex(const Group& g, int code) const;
  ShoeCounts shoeOf(const Group& g) const;
  void evaluateGroup(const Group& g, const double* below, double* values, bool& complete) const;

  ShoeCounts afterPair{};  // the shoe the second hand starts from, less the first hand
  ShoeCounts takenOutAfterPair{};
  RuleSet rules;
  Rank pair;
  int maxClass;

  static constexpr int ClassCodes = 256;
  std::array<std::array<std::int16_t, RankCount>, ClassCodes> successorClass{};

  std::vector<Group> groups;
  std::vector<std::vector<std::int32_t>> levels;  // group numbers per level
  std::vector<std::int32_t> statesInLevel;
  std::vector<std::uint64_t> slotKeys;            // open addressing from key to group
  std::vector<std::int32_t> slotGroups;
  std::vector<Root> roots;
  std::size_t states = 0;
  bool allComplete = true;
};
