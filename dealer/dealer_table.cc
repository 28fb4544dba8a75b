#include "dealer/dealer_table.h"

#include <errno.h>  // program_invocation_short_name

#include <cstdio>
#include <cstdlib>
#include <new>

std::int32_t capacityForKind(std::int32_t kind) {
  // Kinds 1..21: compositions of hard total at most 21 - kind.
  static constexpr std::int32_t byKind[] = {2430, 1900, 1477, 1137, 870, 658, 494, 366,
                                            269,  194,  139,  97,   67,  45,  30,  19,
                                            12,   7,    4,    2,    1,   600, 646, 24787};
  if (kind >= 1 && kind <= 24) return byKind[kind - 1];
  return 3083;  // hard total at most 21
}

DealerHandTable::DealerHandTable(std::int32_t tableKind)
    : capacity(capacityForKind(tableKind)), kind(tableKind), standsOnSoft17(tableKind == 22) {
  states = new DealerDrawState*[capacity]();
  try {
    enumerate();
  } catch (...) {
    release();
    throw;
  }
}

DealerHandTable::~DealerHandTable() { release(); }

void DealerHandTable::release() {
  if (head == nullptr && states == nullptr) return;
  while (head != nullptr) {
    DealerDrawState* taken = head;
    head = head->next;
    delete taken;
  }
  tail = nullptr;
  delete[] states;
  states = nullptr;
}

// Hands holding an ace that must still draw: not a soft standing total, and
// not a hard 12..16 that could only be reached through one.
bool DealerHandTable::passesFilter(const HandCounts& c) const {
  const int aces = c[rankIndex(Ace)];
  if (aces == 0) return true;
  int hard = 0;
  int highest = 0;
  for (int r = 1; r <= RankCount; ++r) {
    hard += r * c[rankIndex(r)];
    if (r >= 2 && c[rankIndex(r)] > 0) highest = r;
  }
  const int nonAce = hard - aces;
  // The lowest soft total that stands, as a hard total (ace counted 1).
  const int softStandFrom = standsOnSoft17 ? 7 : 8;
  // The smallest card that can jump from a drawing soft total to hard 12+.
  const int jumpCard = standsOnSoft17 ? 6 : 5;
  if (hard >= softStandFrom && hard <= 11) return false;
  if (nonAce < 11 && hard > 11 && highest < jumpCard) return false;
  return true;
}

// Every count vector of hard total at most 16, in descending composition
// order (tens outermost), filtered to the hands that must draw.
void DealerHandTable::enumerate() {
  HandCounts c{};
  auto visit = [&](auto&& self, int rank, int pointsLeft) -> void {
    if (rank == Ace) {
      for (int aces = pointsLeft; aces >= 0; --aces) {
        c[rankIndex(Ace)] = static_cast<std::int16_t>(aces);
        if (passesFilter(c)) {
          DealerDrawState state;
          state.composition = HandComposition(c);
          insert(state);
        }
      }
      c[rankIndex(Ace)] = 0;
      return;
    }
    const int start = rank == Ten ? 1 : pointsLeft / rank;
    for (int n = start; n >= 0; --n) {
      c[rankIndex(rank)] = static_cast<std::int16_t>(n);
      self(self, rank - 1, pointsLeft - rank * n);
    }
    c[rankIndex(rank)] = 0;
  };
  visit(visit, Ten, 16);
}

DealerDrawState& DealerHandTable::insert(const DealerDrawState& state) {
  auto* node = new DealerDrawState(state);
  node->next = nullptr;
  if (head == nullptr) {
    head = node;
  } else {
    tail->next = node;
  }
  tail = node;

  // Successors are greater, so they were stored before this state: a binary
  // search over the descending array finds each one that exists.
  for (int r = 1; r <= RankCount; ++r) {
    HandComposition after = node->composition;
    after.addCard(r);
    DealerDrawState* match = nullptr;
    int lo = 0;
    int hi = count;
    while (lo <= hi) {
      const int mid = (lo + hi) / 2;
      DealerDrawState* probe = states[mid];
      if (probe == nullptr) break;
      if (compositionEqual(after.counts, probe->composition.counts)) {
        match = probe;
        break;
      }
      if (compositionLess(after.counts, probe->composition.counts)) {
        lo = mid + 1;
      } else {
        hi = mid - 1;
      }
    }
    node->successor[rankIndex(r)] = match;
  }

  node->index = count;
  states[count] = node;
  ++count;
  return *node;
}

namespace {

// Both tables are built during static initialisation, stands-on-soft-17
// first, and destroyed after main returns in the opposite order. Without them
// nothing can be computed, so running out of memory while they are built
// ends the program with a message. That is done from the allocator's new
// handler rather than by catching bad_alloc: with memory that short, the
// runtime may not be able to allocate the exception itself. Every program
// that links the engine has these tables, so the message names the program
// that is running.
[[noreturn]] void tablesOutOfMemory() {
  std::fputs(program_invocation_short_name, stderr);
  std::fputs(": not enough memory to build the dealer hand tables\n", stderr);
  std::_Exit(EXIT_FAILURE);
}

// Installs the handler for as long as the tables are being built.
struct OutOfMemoryExit {
  std::new_handler previous = std::set_new_handler(tablesOutOfMemory);
};

struct GlobalDealerTables {
  OutOfMemoryExit guard;
  DealerHandTable s17{22};
  DealerHandTable h17{23};
  GlobalDealerTables() { std::set_new_handler(guard.previous); }
};

GlobalDealerTables globalTables;

}  // namespace

DealerHandTable& dealerTableS17 = globalTables.s17;
DealerHandTable& dealerTableH17 = globalTables.h17;
