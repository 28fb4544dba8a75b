#pragma once

#include <array>
#include <cstdint>

#include "model/hand_composition.h"

// One dealer hand that must still draw, linked to the hands one card on.
struct DealerDrawState {
  HandComposition composition;
  std::int16_t index = 0;               // position in the table's states array
  DealerDrawState* next = nullptr;      // next state in insertion order
  // State after one more card of each rank, ace first; null when that hand
  // stands, busts or is otherwise not in the table.
  std::array<DealerDrawState*, RankCount> successor{};
};

// The number of states a table of the given kind holds. Kinds 1..21 count the
// compositions of hard total at most 21 - kind; 22 and 23 are the dealer
// tables (stands / hits soft 17); 24 counts hard totals up to 31.
std::int32_t capacityForKind(std::int32_t kind);

// Every dealer hand that must still draw under one soft-17 rule, in strictly
// descending composition order, so every successor of a state comes before
// it. Built once at start-up and read-only afterwards, so any number of
// walks may read it at once.
class DealerHandTable {
 public:
  explicit DealerHandTable(std::int32_t kind);
  ~DealerHandTable();
  DealerHandTable(const DealerHandTable&) = delete;
  DealerHandTable& operator=(const DealerHandTable&) = delete;

  DealerDrawState* head = nullptr;    // first state in insertion order
  DealerDrawState* tail = nullptr;    // last state inserted
  DealerDrawState** states = nullptr; // capacity slots, in insertion order
  std::int16_t count = 0;
  std::int32_t capacity = 0;
  std::int32_t kind = 0;
  bool standsOnSoft17 = false;        // kind == 22

  // Appends a copy of the state, links its successors among the states
  // already stored and returns the stored node.
  DealerDrawState& insert(const DealerDrawState& state);

 private:
  void enumerate();
  void release();
  bool passesFilter(const HandCounts& counts) const;
};

// The two global tables, built before main runs (stands on soft 17 first)
// and freed after it ends in the opposite order.
extern DealerHandTable& dealerTableS17;
extern DealerHandTable& dealerTableH17;
