#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "dealer/dealer_table.h"
#include "model/rank.h"
#include "model/shoe.h"

// Positions of a dealer outcome vector.
enum OutcomePosition : int {
  Final17 = 0,  // final totals 17..21 at 0..4; the 21 excludes blackjack
  Final21 = 4,
  FinalTotalCount = 5,
  DealerBlackjack = 5,
  DealerBust = 6,
  OutcomeCount = 7,
};

// Positions of a stand vector: player totals 17..21 at 0..4, 16 or less at 5.
constexpr int StandBelow17 = 5;
constexpr int StandCount = 6;

// Entries of a per-up-card vector: 0 before the up card is known, u against up card u.
constexpr int EntryCount = RankCount + 1;

// The dealer's final-result probabilities for one shoe, per up card and
// before the up card is known, with the value of standing on each total.
// Nothing is conditioned on the dealer lacking blackjack. This is the whole
// picture; the cache keeps only what the split engine reads of it.
struct DealerProbabilities {
  double byUpCard[RankCount][OutcomeCount];  // row u - 1: given up card u
  double overall[OutcomeCount];              // up card not yet known
  double standEvByUpCard[RankCount][StandCount];
  double standEvOverall[StandCount];
  // False when some dealer hand that must draw found no card left.
  bool complete = true;

  // Every outcome vector "bust for sure", every stand value 0.
  DealerProbabilities();
};

// What a cached record keeps of a shoe's dealer probabilities: the value of
// standing on each total and the dealer-blackjack probability, each as an
// entry vector (0 overall, u against up card u), so a hand's values read
// one contiguous row per total.
struct DealerOutcome {
  double stand[StandCount][EntryCount];
  double blackjack[EntryCount];  // zero for up cards 2..9
  bool complete;                 // every dealer hand that had to draw found a card

  // Unset: the cache allocates records without touching them, so their
  // pages are first written, in parallel, by the walks that fill them.
  DealerOutcome() = default;
  explicit DealerOutcome(const DealerProbabilities& p);
};

// Fills positions 0..4 of every dealable byUpCard row and of overall by one
// pass over the table against the live shoe.
void computeOutcomeProbabilities(const DealerHandTable& table, const Shoe& shoe, DealerProbabilities& outcome);

// Fills both stand vectors from complete outcome vectors.
void deriveStandValues(DealerProbabilities& outcome);

// The complete probabilities for the live shoe (blackjack, the table walk,
// bust and stand values), without any cache.
DealerProbabilities dealerProbabilities(const Shoe& shoe, bool standsOnSoft17);

// The same for up to WalkLanes shoes at once, given by their current counts:
// every lane runs the same table in the same order, so each result has the
// same bits as dealerProbabilities gives for that shoe alone.
constexpr int WalkLanes = 8;
void dealerProbabilitiesBatch(const ShoeCounts* shoes, int count, bool standsOnSoft17, DealerProbabilities* out);

// Memo of dealer outcomes keyed by the cards taken out of the full shoe, in
// a flat hash table. Records are added on first lookup, never changed and
// only deleted all at once; their addresses stay valid until then.
class DealerOutcomeCache {
 public:
  DealerOutcomeCache() = default;
  DealerOutcomeCache(const DealerOutcomeCache&) = delete;
  DealerOutcomeCache& operator=(const DealerOutcomeCache&) = delete;

  // The record for the shoe, computed on first use. Precondition: takenOut
  // is the live shoe's full minus current counts. If memory runs out the
  // cache is left exactly as it was.
  const DealerOutcome& dealerOutcomeFor(const ShoeCounts& takenOut, const Shoe& shoe, bool standsOnSoft17);

  // The record for a key, or null when none is cached.
  const DealerOutcome* find(const ShoeCounts& takenOut) const;

  // Computes and adds the records of the given keys that are not cached yet
  // (keys may repeat), walking several shoes at once on up to `threads`
  // threads. full is the full shoe the keys are taken out of. Either every
  // record is added or, if memory runs out, none is.
  void addMissing(const std::vector<ShoeCounts>& keys, const Shoe& full, bool standsOnSoft17, int threads);

  // Deletes every record; the cache is then as after construction.
  void clearDealerOutcomes();

  std::int64_t recordCount() const { return static_cast<std::int64_t>(keys.size()); }
  // Records computed since construction (a hit computes nothing).
  std::int64_t computedCount() const { return computed; }
  // Bytes the records and their index take.
  std::size_t bytesUsed() const;

  // Bytes of one cached record with its key and index slot.
  static std::size_t bytesPerRecord();

 private:
  static constexpr std::size_t ChunkRecords = 4096;
  static constexpr std::uint32_t EmptySlot = 0xffffffffu;

  std::size_t slotFor(const ShoeCounts& key, std::uint64_t hash) const;
  void growIndex(std::size_t wanted);
  DealerOutcome& recordAt(std::size_t i) { return chunks[i / ChunkRecords][i % ChunkRecords]; }
  const DealerOutcome& recordAt(std::size_t i) const { return chunks[i / ChunkRecords][i % ChunkRecords]; }

  std::vector<ShoeCounts> keys;                         // record i's key
  std::vector<std::unique_ptr<DealerOutcome[]>> chunks;  // record i at chunk i / ChunkRecords
  std::vector<std::uint32_t> index;                     // open addressing: record numbers or EmptySlot
  std::int64_t computed = 0;
};

// The key hash of a count vector.
std::uint64_t hashCounts(const ShoeCounts& counts);
