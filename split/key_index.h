#pragma once

// An index from a packed 64-bit key (a multiset of drawn cards) to the
// number of its group, the groups numbered in the order they are added:
// open addressing, kept at most half full.

#include <cstddef>
#include <cstdint>
#include <vector>

class KeyIndex {
 public:
  KeyIndex() : keys_(1024, 0), groups_(1024, -1) {}

  // The group of key; when it has none yet, `next` becomes its group and
  // added is set.
  std::int32_t groupOf(std::uint64_t key, std::int32_t next, bool& added) {
    std::size_t slot = slotOf(key);
    for (; groups_[slot] >= 0; slot = (slot + 1) & mask())
      if (keys_[slot] == key) {
        added = false;
        return groups_[slot];
      }
    keys_[slot] = key;
    groups_[slot] = next;
    added = true;
    if (2 * ++count_ > keys_.size()) grow();
    return next;
  }

  std::size_t bytes() const { return keys_.size() * (sizeof(std::uint64_t) + sizeof(std::int32_t)); }

 private:
  static std::uint64_t hash(std::uint64_t key) {
    key ^= key >> 31;
    key *= 0x7fb5d329728ea185ULL;
    key ^= key >> 27;
    key *= 0x81dadef4bc2dd44dULL;
    return key ^ (key >> 33);
  }
  std::size_t mask() const { return keys_.size() - 1; }
  std::size_t slotOf(std::uint64_t key) const { return static_cast<std::size_t>(hash(key)) & mask(); }
  void grow() {
    std::vector<std::uint64_t> keys;
    std::vector<std::int32_t> groups(2 * groups_.size(), -1);
    keys.assign(2 * keys_.size(), 0);
    keys.swap(keys_);
    groups.swap(groups_);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (groups[i] < 0) continue;
      std::size_t s = slotOf(keys[i]);
      while (groups_[s] >= 0) s = (s + 1) & mask();
      keys_[s] = keys[i];
      groups_[s] = groups[i];
    }
  }

  std::vector<std::uint64_t> keys_;
  std::vector<std::int32_t> groups_;
  std::size_t count_ = 0;
};
