#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "dealer/dealer_outcome.h"
#include "model/shoe.h"

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
  // Room for `wanted` keys, so that recording a key cannot fail after its record is written.
  void reserveKeys(std::size_t wanted);
  DealerOutcome& recordAt(std::size_t i) { return chunks[i / ChunkRecords][i % ChunkRecords]; }
  const DealerOutcome& recordAt(std::size_t i) const { return chunks[i / ChunkRecords][i % ChunkRecords]; }

  std::vector<ShoeCounts> keys;                         // record i's key
  std::vector<std::unique_ptr<DealerOutcome[]>> chunks;  // record i at chunk i / ChunkRecords
  std::vector<std::uint32_t> index;                     // open addressing: record numbers or EmptySlot
  std::int64_t computed = 0;
};

// The key hash of a count vector.
std::uint64_t hashCounts(const ShoeCounts& counts);
