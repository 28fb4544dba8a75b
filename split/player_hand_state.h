#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dealer/dealer_outcome.h"
#include "model/hand_composition.h"
#include "model/rank.h"
#include "split/hand_rules.h"

// Value vectors: entry 0 before the up card is known, entry u against up
// card u (1 = ace .. 10 = ten-valued).
constexpr int ValueCount = 11;
using ValueVector = std::array<double, ValueCount>;

// A state's place in its PlayerHandStates; NoState for none.
using StateIndex = std::int32_t;
constexpr StateIndex NoState = -1;

// One post-split hand: the split card plus the cards drawn to it, with
// everything the split engine works out for it. The same record serves the
// pair kept as one hand (splitHand false): both pair cards are then in the
// hand, and the split's rules for doubling and for aces do not apply.
struct PlayerHandState {
  std::int16_t pairRank = 0;        // rank of the split card; 0 in an empty state
  bool splitHand = true;            // false: the pair not split, one two-card hand
  HandComposition hand;             // split card included (both pair cards when not split);
                                    // no bust check: a first hand is followed to hard 31
  const DealerOutcome* dealer = nullptr;  // borrowed from the dealer cache
  // This hand plus one card of rank r, at r - 1, in the same PlayerHandStates.
  std::array<StateIndex, RankCount> next;
  ValueVector standEv;              // all -1.0 until valued
  ValueVector doubleEv{};
  ValueVector hitEv{};
  // The four second-hand quantities: their overall entries together, then
  // the ten up-card entries of each in turn. Reached through the accessors.
  double otherOverall[4] = {0.0, 0.0, 0.0, 0.0};
  double otherByUpCard[4][RankCount] = {};
  ValueVector splitEv{};            // both hands together (lone pair card only)
  // Both hands together when every decision of this first hand from here
  // on maximises the sum of both hands (the second hand still plays for
  // itself). At the lone pair card: the split played that way.
  ValueVector jointEv{};
  char best = 0;                    // chosen action, up card unknown
  std::array<char, RankCount> bestVs{};  // chosen action against up card u at u - 1

  // The empty state.
  PlayerHandState() {
    next.fill(NoState);
    standEv.fill(-1.0);
  }
  // The split card of rank pair plus the drawn cards.
  PlayerHandState(const HandCounts& drawn, int pair);
  // Both cards of a pair of rank pair, not split, plus the drawn cards.
  static PlayerHandState unsplitPair(const HandCounts& drawn, int pair);

  HandShape shape() const { return shapeOf(hand); }

  // EV of the second split hand, played optimally, when the first hand ends here.
  double& otherEv(int i) { return other(0, i); }
  // The second hand's EV if the first hand stands, doubles or hits now.
  double& otherIfStand(int i) { return other(1, i); }
  double& otherIfDouble(int i) { return other(2, i); }
  double& otherIfHit(int i) { return other(3, i); }
  double otherEv(int i) const { return other(0, i); }
  double otherIfStand(int i) const { return other(1, i); }
  double otherIfDouble(int i) const { return other(2, i); }
  double otherIfHit(int i) const { return other(3, i); }

  // The chosen action at entry i (0 overall, u against up card u).
  char actionAt(int i) const { return i == 0 ? best : bestVs[rankIndex(i)]; }

 private:
  double& other(int quantity, int i) {
    return i == 0 ? otherOverall[quantity] : otherByUpCard[quantity][rankIndex(i)];
  }
  double other(int quantity, int i) const {
    return i == 0 ? otherOverall[quantity] : otherByUpCard[quantity][rankIndex(i)];
  }
};

// The states of one hand's compositions in one flat vector, added in
// descending composition order (the order the split driver values them
// in: each after every composition with one card more), so that a
// successor is found by binary search and linked by its index.
class PlayerHandStates {
 public:
  void reserve(std::size_t n) {
    states.reserve(n);
    keys.reserve(n);
  }
  // Appends a copy of s, whose composition must order before every one
  // added so far; returns its index.
  StateIndex add(const PlayerHandState& s);
  // The state with these counts, or NoState.
  StateIndex find(const HandCounts& counts) const;

  const PlayerHandState& operator[](StateIndex i) const { return states[static_cast<std::size_t>(i)]; }
  PlayerHandState& operator[](StateIndex i) { return states[static_cast<std::size_t>(i)]; }
  std::size_t size() const { return states.size(); }

 private:
  std::vector<PlayerHandState> states;
  std::vector<HandCounts> keys;  // the states' counts, for the search
};
