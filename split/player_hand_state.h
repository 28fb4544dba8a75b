#pragma once

#include <array>
#include <cstdint>

#include "dealer/dealer_outcome.h"
#include "model/hand_composition.h"
#include "model/rank.h"
#include "split/hand_rules.h"

// Value vectors: entry 0 before the up card is known, entry u against up
// card u (1 = ace .. 10 = ten-valued).
constexpr int ValueCount = 11;
using ValueVector = std::array<double, ValueCount>;

// One post-split hand: the split card plus the cards drawn to it, with
// everything the split engine works out for it. The same record serves the
// pair kept as one hand (splitHand false): both pair cards are then in the
// counts, and the split's rules for doubling and for aces do not apply.
struct PlayerHandState {
  std::int16_t pairRank = 0;        // rank of the split card; 0 in an empty state
  bool splitHand = true;            // false: the pair not split, one two-card hand
  HandCounts counts{};              // split card included (both pair cards when not split)
  std::int16_t hardTotal = 0;
  std::int16_t cardCount = 0;       // 1 = the split card alone
  bool soft = false;
  const DealerOutcome* dealer = nullptr;                // borrowed from the dealer cache
  std::array<PlayerHandState*, RankCount> next{};       // this hand plus one card of rank r
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
  std::int32_t balance = 0;         // tree balance: right height minus left height
  PlayerHandState* left = nullptr;  // owned by the tree
  PlayerHandState* right = nullptr; // owned by the tree

  // The empty state.
  PlayerHandState() { standEv.fill(-1.0); }
  // The split card of rank pair plus the drawn cards.
  PlayerHandState(const HandCounts& drawn, int pair);
  // Both cards of a pair of rank pair, not split, plus the drawn cards.
  static PlayerHandState unsplitPair(const HandCounts& drawn, int pair);

  void addCard(int rank) {
    ++counts[rankIndex(rank)];
    hardTotal = static_cast<std::int16_t>(hardTotal + rank);
    ++cardCount;
    soft = isSoft();
  }
  bool isSoft() const { return hardTotal <= 11 && counts[rankIndex(Ace)] > 0; }
  int bestTotal() const { return soft ? hardTotal + 10 : hardTotal; }

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

// States compare by their counts alone.
inline bool compositionLess(const PlayerHandState& a, const PlayerHandState& b) {
  return compositionLess(a.counts, b.counts);
}
inline bool compositionEqual(const PlayerHandState& a, const PlayerHandState& b) {
  return compositionEqual(a.counts, b.counts);
}
inline bool compositionGreater(const PlayerHandState& a, const PlayerHandState& b) {
  return compositionGreater(a.counts, b.counts);
}

// Height-balanced search tree of hand states ordered by their counts. Owns
// its nodes; each node is a whole copy of the state inserted.
class PlayerHandTree {
 public:
  PlayerHandTree() = default;
  ~PlayerHandTree() { destroy(); }
  PlayerHandTree(const PlayerHandTree&) = delete;
  PlayerHandTree& operator=(const PlayerHandTree&) = delete;

  PlayerHandState* find(const PlayerHandState& key) const { return find(key.counts); }
  // The same search by counts alone.
  PlayerHandState* find(const HandCounts& counts) const;
  // Inserts a copy of key (whose left and right are null). Sets grew when
  // the tree became higher and found when an equal node already existed
  // (which is then returned unchanged).
  PlayerHandState* insert(const PlayerHandState& key, bool& grew, bool& found);
  // Frees every node; the tree is empty afterwards.
  void destroy();

  PlayerHandState* root = nullptr;
};
