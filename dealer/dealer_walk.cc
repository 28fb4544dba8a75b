#include "dealer/dealer_walk.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "base/vector_level.h"
#include "dealer/dealer_table.h"

namespace {

constexpr int W = WalkLanes;

// One value per lane. GCC and clang lower these to whatever vector width
// the target has; every lane gets the same IEEE operation.
using Lanes = double __attribute__((vector_size(W * sizeof(double))));
using IntLanes = std::int32_t __attribute__((vector_size(W * sizeof(std::int32_t))));
using MaskLanes = std::int64_t __attribute__((vector_size(W * sizeof(std::int64_t))));

// Vector attributes do not survive as template arguments, so the scratch
// holds them inside aligned records of its own.
struct alignas(64) DrawLanes {
  Lanes q;
};
struct alignas(64) RowLanes {
  Lanes p[FinalTotalCount];
};

// Per-thread scratch of the walk, kept between batches.
struct WalkScratch {
  std::vector<DrawLanes> draw;  // one per draw of the table, then the zero draw
  std::vector<RowLanes> rows;   // indexed by DealerHandTable::Row
  std::vector<std::uint8_t> skip;  // per row: passed over by this walk
};

// The walk that dominates the dealer engine's cost: one pass over the
// table, one shoe per lane. Every lane performs the same additions and
// multiplications in the same order as a walk of its shoe alone would; a
// lane without the card adds a product with a zero probability, which
// leaves its sums unchanged. The sums run on vectors of the machine's
// register width: one version per vector level, chosen when the program
// starts (see base/vector_level.h); the bits are the same at every width.
using Double2 = double __attribute__((vector_size(2 * sizeof(double))));
using Int2 = std::int32_t __attribute__((vector_size(2 * sizeof(std::int32_t))));
using Mask2 = std::int64_t __attribute__((vector_size(2 * sizeof(std::int64_t))));
using Double4 = double __attribute__((vector_size(4 * sizeof(double))));
using Int4 = std::int32_t __attribute__((vector_size(4 * sizeof(std::int32_t))));
using Mask4 = std::int64_t __attribute__((vector_size(4 * sizeof(std::int64_t))));

#if SPLITEV_LEVEL_DISPATCH
#define SPLITEV_WALK_NAME walkV4
#define SPLITEV_WALK_TARGET SPLITEV_TARGET_V4
#define SPLITEV_WALK_PART Lanes
#define SPLITEV_WALK_INT_PART IntLanes
#define SPLITEV_WALK_MASK_PART MaskLanes
#include "dealer/dealer_walk.inc"

#define SPLITEV_WALK_NAME walkV3
#define SPLITEV_WALK_TARGET SPLITEV_TARGET_V3
#define SPLITEV_WALK_PART Double4
#define SPLITEV_WALK_INT_PART Int4
#define SPLITEV_WALK_MASK_PART Mask4
#include "dealer/dealer_walk.inc"
#endif

#define SPLITEV_WALK_NAME walkV1
#define SPLITEV_WALK_TARGET
#define SPLITEV_WALK_PART Double2
#define SPLITEV_WALK_INT_PART Int2
#define SPLITEV_WALK_MASK_PART Mask2
#include "dealer/dealer_walk.inc"

void walkLanes(const DealerHandTable& table, const IntLanes (&n)[RankCount], const IntLanes& total, WalkScratch& scratch,
               DealerProbabilities* out, int lanes) {
#if SPLITEV_LEVEL_DISPATCH
  if (vectorLevel() == 4) return walkV4(table, n, total, scratch, out, lanes);
  if (vectorLevel() == 3) return walkV3(table, n, total, scratch, out, lanes);
#endif
  walkV1(table, n, total, scratch, out, lanes);
}

// Walks the table of the rule for up to WalkLanes shoes given by their
// counts: the smallest table that holds every hand the shoes can reach.
void walkShoes(bool standsOnSoft17, const ShoeCounts* shoes, int count, DealerProbabilities* out) {
  thread_local WalkScratch scratch;
  IntLanes n[RankCount] = {};
  IntLanes total = {};
  int mostOfARank = 0;
  for (int l = 0; l < count; ++l) {
    for (int r = 0; r < RankCount; ++r) {
      n[r][l] = shoes[l][static_cast<std::size_t>(r)];
      total[l] += shoes[l][static_cast<std::size_t>(r)];
      if (r != rankIndex(Ten)) mostOfARank = std::max(mostOfARank, shoes[l][static_cast<std::size_t>(r)]);
    }
  }
  const DealerHandTable& table = dealerTable(standsOnSoft17, mostOfARank);
  // Unused lanes walk an empty shoe and are not copied out.
  walkLanes(table, n, total, scratch, out, count);
}

double bustFrom(const double* p) { return 1.0 - p[0] - p[1] - p[2] - p[3] - p[4]; }

// Blackjack probabilities of a shoe: the hole card completes an ace or a ten up card.
void setBlackjack(DealerProbabilities& p, const ShoeCounts& counts) {
  std::int32_t n = 0;
  for (std::int32_t c : counts) n += c;
  const std::int32_t aces = counts[rankIndex(Ace)];
  const std::int32_t tens = counts[rankIndex(Ten)];
  double* aceRow = p.byUpCard[rankIndex(Ace)];
  double* tenRow = p.byUpCard[rankIndex(Ten)];
  if (n > 1) {
    if (aces != 0) aceRow[DealerBlackjack] = static_cast<double>(tens) / (n - 1);
    if (tens != 0) tenRow[DealerBlackjack] = static_cast<double>(aces) / (n - 1);
  }
  if (n > 0) {
    const double pTen = static_cast<double>(tens) / n;
    const double pAce = static_cast<double>(aces) / n;
    p.overall[DealerBlackjack] = pTen * tenRow[DealerBlackjack] + pAce * aceRow[DealerBlackjack];
  }
}

// After the walk: bust is whatever no final total took; the walk counted
// blackjack as a 21, so it comes out of the 21 afterwards.
void finish(DealerProbabilities& p) {
  double* aceRow = p.byUpCard[rankIndex(Ace)];
  double* tenRow = p.byUpCard[rankIndex(Ten)];
  p.overall[DealerBust] = bustFrom(p.overall);
  for (auto& row : p.byUpCard) row[DealerBust] = bustFrom(row);
  p.overall[Final21] -= p.overall[DealerBlackjack];
  aceRow[Final21] -= aceRow[DealerBlackjack];
  tenRow[Final21] -= tenRow[DealerBlackjack];
  deriveStandValues(p);
}

}  // namespace

void dealerProbabilitiesBatch(const ShoeCounts* shoes, int count, bool standsOnSoft17, DealerProbabilities* out) {
  for (int l = 0; l < count; ++l) {
    out[l] = DealerProbabilities();
    setBlackjack(out[l], shoes[l]);
  }
  walkShoes(standsOnSoft17, shoes, count, out);
  for (int l = 0; l < count; ++l) finish(out[l]);
}

DealerProbabilities dealerProbabilities(const Shoe& shoe, bool standsOnSoft17) {
  DealerProbabilities p;
  dealerProbabilitiesBatch(&shoe.currentCounts, 1, standsOnSoft17, &p);
  return p;
}
