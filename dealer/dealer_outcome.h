#pragma once

#include <cstddef>
#include <cstdint>

#include "dealer/dealer_table.h"
#include "model/rank.h"
#include "model/shoe.h"

// Positions of a dealer outcome vector.
enum OutcomePosition : int {
  Final17 = 0,  // final totals 17..21 at 0..4; the 21 excludes blackjack
  Final21 = 4,
  DealerBlackjack = 5,
  DealerBust = 6,
  OutcomeCount = 7,
};

// Positions of a stand vector: player totals 17..21 at 0..4, 16 or less at 5.
constexpr int StandBelow17 = 5;
constexpr int StandCount = 6;

// The dealer's final-result probabilities for one shoe, per up card and
// before the up card is known, with the value of standing on each total.
// Nothing is conditioned on the dealer lacking blackjack.
struct DealerOutcome {
  ShoeCounts takenOut{};                                 // the key: full minus current counts
  double byUpCard[RankCount][OutcomeCount];              // row u - 1: given up card u
  double overall[OutcomeCount];                          // up card not yet known
  double standEvByUpCard[RankCount][StandCount];
  double standEvOverall[StandCount];

  // A key record: every outcome vector set to "bust for sure".
  explicit DealerOutcome(const ShoeCounts& cardsTakenOut);
};

// Memo of dealer outcomes keyed by takenOut, in a height-balanced search
// tree. Records are added on first lookup, never changed and only deleted
// all at once.
class DealerOutcomeCache {
 public:
  DealerOutcomeCache() = default;
  ~DealerOutcomeCache() { clearDealerOutcomes(); }
  DealerOutcomeCache(const DealerOutcomeCache&) = delete;
  DealerOutcomeCache& operator=(const DealerOutcomeCache&) = delete;

  // The record for the key, computed from the live shoe on first use.
  // Precondition: key.takenOut is the live shoe's full minus current counts.
  // If memory runs out the cache is left exactly as it was.
  const DealerOutcome& dealerOutcomeFor(const DealerOutcome& key, const Shoe& shoe,
                                        bool standsOnSoft17);

  // Deletes every record; the cache is then as after construction.
  void clearDealerOutcomes();

  std::int64_t recordCount() const { return records; }
  // Records computed since construction (a hit computes nothing).
  std::int64_t computedCount() const { return computed; }

  // Bytes of one cached record with its tree links (before allocator overhead).
  static std::size_t bytesPerRecord();

  struct Node;

 private:
  Node* root = nullptr;
  std::int64_t records = 0;
  std::int64_t computed = 0;
};

// Fills positions 0..4 of every dealable byUpCard row and of overall by one
// pass over the table against the live shoe.
void computeOutcomeProbabilities(DealerHandTable& table, const Shoe& shoe, DealerOutcome& outcome);

// Fills both stand vectors from complete outcome vectors.
void deriveStandValues(DealerOutcome& outcome);

// Builds a complete record for the live shoe without touching any cache:
// blackjack probabilities, the table walk, bust and stand values.
void fillDealerOutcome(DealerOutcome& outcome, const Shoe& shoe, bool standsOnSoft17);
