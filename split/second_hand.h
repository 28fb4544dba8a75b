#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dealer/dealer_cache.h"
#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/hand_rules.h"
#include "split/key_index.h"
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
  // A hand class in one number below ClassCodes:
  //   code = ((total - 1) * 2 + soft) * CardClasses + (cards - 1)
  // with the hard total 1..21, soft 0 or 1, and the card count 1..6, where
  // the last count a rule set tells apart (HandRules::alikeFromCards)
  // stands for every larger one. 21 x 2 x 6 = 252 codes.
  static constexpr int CardClasses = 6;
  static constexpr int ClassCodes = 256;
  static int classCode(const HandShape& h);
  static HandShape classShape(int code);

  // A set of hand classes: bit code % 64 of word code / 64.
  static constexpr int ClassWordBits = 64;
  static constexpr int ClassWords = ClassCodes / ClassWordBits;
  using ClassSet = std::uint64_t[ClassWords];

  struct Group {
    std::uint64_t key = 0;            // X, six bits per rank, the ace lowest
    std::int32_t level = 0;           // cards in X
    std::int32_t base = 0;            // first state of the group within its level
    ClassSet classes = {};            // the hand classes present; the group's
                                      // states are numbered in code order
    std::int32_t successor[RankCount];  // group of X plus one card of each rank, or -1
    const DealerOutcome* dealer = nullptr;
    Group() { for (std::int32_t& s : successor) s = -1; }
  };
  struct Root {
    std::int32_t group = 0;
    std::int32_t classCode = 0;  // the lone pair card's class
    std::int32_t state = -1;     // within its level, once built
    ValueVector value{};
  };

  std::int32_t groupFor(std::uint64_t key, int level);
  std::int32_t successorGroup(std::int32_t g, int rank);
  std::int32_t stateIndex(const Group& g, int code) const;
  ShoeCounts shoeOf(const Group& g) const;
  // Values one group's states from the level below: one version per
  // vector level (split/second_hand_group.inc), evaluateGroup picks the
  // one vectorLevel() names.
  void evaluateGroup(const Group& g, const double* below, double* values, bool& complete) const;
  void evaluateGroupV4(const Group& g, const double* below, double* values, bool& complete) const;
  void evaluateGroupV3(const Group& g, const double* below, double* values, bool& complete) const;
  void evaluateGroupV1(const Group& g, const double* below, double* values, bool& complete) const;

  ShoeCounts afterPair{};  // the shoe the second hand starts from, less the first hand
  ShoeCounts takenOutAfterPair{};
  HandRules play;          // split hands of the pair
  int cardLimit;           // the card count that stands for all larger ones

  // The class each class reaches with one card of each rank; -1 where the
  // hand stands or busts.
  std::array<std::array<std::int16_t, RankCount>, ClassCodes> successorClass{};

  std::vector<Group> groups;
  std::vector<std::vector<std::int32_t>> levels;  // group numbers per level
  std::vector<std::int32_t> statesInLevel;
  KeyIndex index;                                 // from key to group
  std::vector<Root> roots;
  std::size_t states = 0;
  bool allComplete = true;
};
