#include "dealer/dealer_cache.h"

#include <algorithm>

#include "base/parallel.h"
#include "dealer/dealer_walk.h"

std::uint64_t hashCounts(const ShoeCounts& counts) {
  std::uint64_t h = 0x9e3779b97f4a7c15ULL;
  for (std::int32_t c : counts) {
    h ^= static_cast<std::uint32_t>(c);
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 29;
  }
  return h ^ (h >> 32);
}

std::size_t DealerOutcomeCache::slotFor(const ShoeCounts& key, std::uint64_t hash) const {
  const std::size_t mask = index.size() - 1;
  for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const std::uint32_t i = index[slot];
    if (i == EmptySlot || keys[i] == key) return slot;
  }
}

void DealerOutcomeCache::growIndex(std::size_t wanted) {
  // At most half full.
  std::size_t size = index.empty() ? 1024 : index.size();
  while (size < 2 * wanted) size *= 2;
  if (size == index.size()) return;
  std::vector<std::uint32_t> fresh(size, EmptySlot);
  const std::size_t mask = size - 1;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    std::size_t slot = hashCounts(keys[i]) & mask;
    while (fresh[slot] != EmptySlot) slot = (slot + 1) & mask;
    fresh[slot] = static_cast<std::uint32_t>(i);
  }
  index.swap(fresh);
}

void DealerOutcomeCache::reserveKeys(std::size_t wanted) {
  // Doubling, so that adding records one or a few at a time copies the
  // keys a bounded number of times rather than at every addition.
  if (wanted > keys.capacity()) keys.reserve(std::max(wanted, 2 * keys.capacity()));
}

const DealerOutcome* DealerOutcomeCache::find(const ShoeCounts& takenOut) const {
  if (index.empty()) return nullptr;
  const std::uint32_t i = index[slotFor(takenOut, hashCounts(takenOut))];
  return i == EmptySlot ? nullptr : &recordAt(i);
}

const DealerOutcome& DealerOutcomeCache::dealerOutcomeFor(const ShoeCounts& takenOut, const Shoe& shoe,
                                                          bool standsOnSoft17) {
  if (const DealerOutcome* found = find(takenOut)) return *found;
  // A miss: everything that can fail is done before the record is linked
  // in, so running out of memory part way leaves the cache as it was.
  const std::size_t i = keys.size();
  growIndex(i + 1);
  reserveKeys(i + 1);
  if (i / ChunkRecords >= chunks.size()) chunks.push_back(std::make_unique_for_overwrite<DealerOutcome[]>(ChunkRecords));
  recordAt(i) = DealerOutcome(dealerProbabilities(shoe, standsOnSoft17));
  keys.push_back(takenOut);
  index[slotFor(takenOut, hashCounts(takenOut))] = static_cast<std::uint32_t>(i);
  ++computed;
  return recordAt(i);
}

void DealerOutcomeCache::addMissing(const std::vector<ShoeCounts>& wanted, const Shoe& full, bool standsOnSoft17,
                                    int threads) {
  // The keys not cached yet, each once, in the order first met.
  std::vector<ShoeCounts> fresh;
  {
    std::size_t size = 1024;
    while (size < 2 * wanted.size()) size *= 2;
    std::vector<std::uint32_t> seen(size, EmptySlot);
    for (const ShoeCounts& key : wanted) {
      const std::uint64_t hash = hashCounts(key);
      if (!index.empty() && index[slotFor(key, hash)] != EmptySlot) continue;
      std::size_t slot = hash & (size - 1);
      while (seen[slot] != EmptySlot && fresh[seen[slot]] != key) slot = (slot + 1) & (size - 1);
      if (seen[slot] != EmptySlot) continue;
      seen[slot] = static_cast<std::uint32_t>(fresh.size());
      fresh.push_back(key);
    }
  }
  if (fresh.empty()) return;

  const std::size_t first = keys.size();
  const std::size_t last = first + fresh.size();
  growIndex(last);
  reserveKeys(last);
  while (chunks.size() * ChunkRecords < last) chunks.push_back(std::make_unique_for_overwrite<DealerOutcome[]>(ChunkRecords));

  // Each record depends on its own shoe alone, so how the batches are shared
  // among the threads changes no bit.
  const std::size_t batches = (fresh.size() + WalkLanes - 1) / WalkLanes;
  parallelFor(threads, batches, [&](std::size_t b) {
    ShoeCounts shoes[WalkLanes] = {};
    DealerProbabilities probabilities[WalkLanes];
    const std::size_t begin = b * WalkLanes;
    const int count = static_cast<int>(std::min<std::size_t>(WalkLanes, fresh.size() - begin));
    for (int l = 0; l < count; ++l) {
      for (int r = 0; r < RankCount; ++r)
        shoes[l][static_cast<std::size_t>(r)] = full.fullCounts[static_cast<std::size_t>(r)] -
                                                 fresh[begin + static_cast<std::size_t>(l)][static_cast<std::size_t>(r)];
    }
    dealerProbabilitiesBatch(shoes, count, standsOnSoft17, probabilities);
    for (int l = 0; l < count; ++l) recordAt(first + begin + static_cast<std::size_t>(l)) = DealerOutcome(probabilities[l]);
  });

  for (std::size_t k = 0; k < fresh.size(); ++k) {
    keys.push_back(fresh[k]);
    index[slotFor(fresh[k], hashCounts(fresh[k]))] = static_cast<std::uint32_t>(first + k);
  }
  computed += static_cast<std::int64_t>(fresh.size());
}

std::size_t DealerOutcomeCache::bytesPerRecord() {
  // The record, its key and two index slots (the index is kept at most half full).
  return sizeof(DealerOutcome) + sizeof(ShoeCounts) + 2 * sizeof(std::uint32_t);
}

std::size_t DealerOutcomeCache::bytesUsed() const {
  return chunks.size() * ChunkRecords * sizeof(DealerOutcome) + keys.capacity() * sizeof(ShoeCounts) +
         index.size() * sizeof(std::uint32_t);
}

void DealerOutcomeCache::clearDealerOutcomes() {
  std::vector<ShoeCounts>().swap(keys);
  std::vector<std::unique_ptr<DealerOutcome[]>>().swap(chunks);
  std::vector<std::uint32_t>().swap(index);
}
