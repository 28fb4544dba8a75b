#include "dealer/dealer_outcome.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

#include "base/parallel.h"
#include "base/vector_level.h"

DealerProbabilities::DealerProbabilities() {
  auto bustForSure = [](double* vector) {
    std::fill(vector, vector + OutcomeCount, 0.0);
    vector[DealerBust] = 1.0;
  };
  for (auto& row : byUpCard) bustForSure(row);
  bustForSure(overall);
  for (auto& row : standEvByUpCard) std::fill(row, row + StandCount, 0.0);
  std::fill(standEvOverall, standEvOverall + StandCount, 0.0);
}

DealerOutcome::DealerOutcome(const DealerProbabilities& p) : complete(p.complete) {
  for (int position = 0; position < StandCount; ++position) {
    stand[position][0] = p.standEvOverall[position];
    for (int u = 1; u <= RankCount; ++u) stand[position][u] = p.standEvByUpCard[rankIndex(u)][position];
  }
  blackjack[0] = p.overall[DealerBlackjack];
  for (int u = 1; u <= RankCount; ++u) blackjack[u] = p.byUpCard[rankIndex(u)][DealerBlackjack];
}

namespace {

// The table turned into a flat program for the walk. For each state, in
// list order: the cards it may draw, each either ending on a final total
// or continuing at a successor, and the draw probability it uses, named by
// (rank, cards of that rank held, cards held); one probability serves every
// state that shares the triple, as a memo over the pass would.
struct WalkPlan {
  // The card's probability times a row of final-total probabilities is
  // added to the state's row. A card that ends the hand on a final total
  // uses the row that is 1 at that total and 0 elsewhere: the zero terms
  // add nothing, so the sums are those of adding the probability alone.
  struct Step {
    std::int16_t draw;    // index into draws
    std::int16_t source;  // 0..4: the final total the card ends on; else 5 + successor state index
  };
  // A state's steps in rank order, cut into runs of cards that all end the
  // hand or all continue it.
  struct Run {
    std::int32_t firstStep;
    std::int32_t stepCount;
    bool ends;
    std::int8_t firstTotal;  // a run that ends: the final total of its first card; the next ones follow
    // A run that ends: per final total, the draw of the card that ends
    // there, or the plan's zero draw (one past the last) for a total no
    // card of the run reaches.
    std::int16_t endDraw[FinalTotalCount];
  };
  struct State {
    std::int16_t hardTotal;
    std::int16_t cardCount;
    std::int32_t firstRun;
    std::int32_t runCount;
    std::int32_t firstHeld;  // into held: the ranks the hand holds, with their counts
    std::int32_t heldCount;
  };
  struct Draw {
    std::int8_t rank;
    std::int8_t held;
    std::int8_t cards;
  };
  std::vector<State> states;
  std::vector<Run> runs;
  std::vector<Step> steps;
  std::vector<Draw> draws;
  std::vector<std::array<std::int8_t, 2>> held;  // (rank, count)
  int mostCards = 0;                             // the most cards a state holds
};

WalkPlan buildPlan(const DealerHandTable& table) {
  WalkPlan plan;
  const int softStand = table.standsOnSoft17 ? 17 : 18;
  // (rank, held, cards) -> draw index
  std::vector<std::int16_t> drawIndex(static_cast<std::size_t>(RankCount * 12 * 13), -1);
  for (const DealerDrawState* s = table.head; s != nullptr; s = s->next) {
    const HandComposition& hand = s->composition;
    WalkPlan::State state{hand.hardTotal, hand.cardCount, static_cast<std::int32_t>(plan.runs.size()), 0,
                          static_cast<std::int32_t>(plan.held.size()), 0};
    for (int r = 1; r <= RankCount; ++r) {
      if (hand.counts[rankIndex(r)] == 0) continue;
      plan.held.push_back({static_cast<std::int8_t>(r), static_cast<std::int8_t>(hand.counts[rankIndex(r)])});
      ++state.heldCount;
    }
    const int h = hand.hardTotal;
    const int highestRank = std::min(10, 21 - h);  // higher cards bust
    for (int r = 1; r <= highestRank; ++r) {
      const int c = hand.counts[rankIndex(r)];
      const std::size_t key = static_cast<std::size_t>((rankIndex(r) * 12 + c) * 13 + hand.cardCount);
      if (drawIndex[key] < 0) {
        drawIndex[key] = static_cast<std::int16_t>(plan.draws.size());
        plan.draws.push_back({static_cast<std::int8_t>(r), static_cast<std::int8_t>(c),
                              static_cast<std::int8_t>(hand.cardCount)});
      }
      WalkPlan::Step step{drawIndex[key], 0};
      const int t = h + r;
      auto continues = [&] { return static_cast<std::int16_t>(FinalTotalCount + s->successor[rankIndex(r)]->index); };
      if (t <= 11 && (hand.soft || r == Ace)) {
        step.source = t + 10 >= softStand ? static_cast<std::int16_t>(t + 10 - 17) : continues();
      } else if (t >= 17) {
        step.source = static_cast<std::int16_t>(t - 17);
      } else {
        step.source = continues();
      }
      const bool ends = step.source < FinalTotalCount;
      if (state.runCount == 0 || plan.runs.back().ends != ends) {
        plan.runs.push_back({static_cast<std::int32_t>(plan.steps.size()), 0, ends, static_cast<std::int8_t>(step.source), {}});
        ++state.runCount;
      }
      WalkPlan::Run& run = plan.runs.back();
      // Consecutive cards that end the hand end it on consecutive totals.
      if (ends && step.source != run.firstTotal + run.stepCount)
        throw std::logic_error("dealer walk: final totals of a run are not consecutive");
      ++run.stepCount;
      plan.steps.push_back(step);
    }
    plan.states.push_back(state);
    plan.mostCards = std::max(plan.mostCards, static_cast<int>(hand.cardCount));
  }
  const auto zeroDraw = static_cast<std::int16_t>(plan.draws.size());
  for (WalkPlan::Run& run : plan.runs) {
    for (int j = 0; j < FinalTotalCount; ++j) {
      const int k = j - run.firstTotal;
      const bool inRun = run.ends && k >= 0 && k < run.stepCount;
      run.endDraw[j] = inRun ? plan.steps[static_cast<std::size_t>(run.firstStep + k)].draw : zeroDraw;
    }
  }
  return plan;
}

const WalkPlan& planFor(const DealerHandTable& table) {
  static const WalkPlan s17 = buildPlan(dealerTableS17);
  static const WalkPlan h17 = buildPlan(dealerTableH17);
  return &table == &dealerTableS17 ? s17 : h17;
}

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
  std::vector<DrawLanes> draw;  // one per draw of the plan
  std::vector<RowLanes> rows;   // the final totals' rows, then one per state
};

// The walk that dominates the dealer engine's cost: one pass over the
// plan, one shoe per lane. Every lane performs the same additions and
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

void walkLanes(const WalkPlan& plan, const IntLanes (&n)[RankCount], const IntLanes& total, WalkScratch& scratch,
               DealerProbabilities* out, int lanes) {
#if SPLITEV_LEVEL_DISPATCH
  if (vectorLevel() == 4) return walkV4(plan, n, total, scratch, out, lanes);
  if (vectorLevel() == 3) return walkV3(plan, n, total, scratch, out, lanes);
#endif
  walkV1(plan, n, total, scratch, out, lanes);
}

void walkShoes(const DealerHandTable& table, const ShoeCounts* shoes, int count, DealerProbabilities* out) {
  thread_local WalkScratch scratch;
  IntLanes n[RankCount] = {};
  IntLanes total = {};
  for (int l = 0; l < count; ++l) {
    for (int r = 0; r < RankCount; ++r) {
      n[r][l] = shoes[l][static_cast<std::size_t>(r)];
      total[l] += shoes[l][static_cast<std::size_t>(r)];
    }
  }
  // Unused lanes walk an empty shoe and are not copied out.
  walkLanes(planFor(table), n, total, scratch, out, count);
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

void computeOutcomeProbabilities(const DealerHandTable& table, const Shoe& shoe, DealerProbabilities& outcome) {
  const WalkPlan plan = &table == &dealerTableS17 || &table == &dealerTableH17 ? WalkPlan{} : buildPlan(table);
  if (plan.states.empty()) {
    walkShoes(table, &shoe.currentCounts, 1, &outcome);
    return;
  }
  // A table other than the two global ones: walk its own plan.
  WalkScratch scratch;
  IntLanes n[RankCount] = {};
  IntLanes total = {};
  for (int r = 0; r < RankCount; ++r) n[r][0] = shoe.currentCounts[static_cast<std::size_t>(r)];
  total[0] = shoe.currentTotal;
  walkLanes(plan, n, total, scratch, &outcome, 1);
}

void deriveStandValues(DealerProbabilities& outcome) {
  // The terms are added in the order written: that order fixes the printed digits.
  {
    const double* p = outcome.overall;
    const double p17 = p[0], p18 = p[1], p19 = p[2], p20 = p[3], p21 = p[4];
    const double delta = p[DealerBust] - p[DealerBlackjack];
    double* ev = outcome.standEvOverall;
    ev[0] = delta - p18 - p19 - p20 - p21;
    ev[1] = delta + p17 - p19 - p20 - p21;
    ev[2] = p18 + p17 + delta - p20 - p21;
    ev[3] = p19 + p18 + p17 + delta - p21;
    ev[4] = p20 + p19 + p18 + p17 + delta;
    ev[5] = delta - p17 - p18 - p19 - p20 - p21;
  }
  for (int u = 0; u < RankCount; ++u) {
    const double* p = outcome.byUpCard[u];
    const double p17 = p[0], p18 = p[1], p19 = p[2], p20 = p[3], p21 = p[4];
    const double bj = p[DealerBlackjack], bust = p[DealerBust];
    double* ev = outcome.standEvByUpCard[u];
    ev[0] = bust - p18 - p19 - p20 - p21 - bj;
    ev[1] = p17 + bust - p19 - p20 - p21 - bj;
    ev[2] = p17 + bust + p18 - p20 - p21 - bj;
    ev[3] = p17 + bust + p19 + p18 - p21 - bj;
    ev[4] = p17 + bust + p20 + p19 + p18 - bj;
    ev[5] = 2.0 * bust - 1.0;
  }
}

void dealerProbabilitiesBatch(const ShoeCounts* shoes, int count, bool standsOnSoft17, DealerProbabilities* out) {
  for (int l = 0; l < count; ++l) {
    out[l] = DealerProbabilities();
    setBlackjack(out[l], shoes[l]);
  }
  walkShoes(standsOnSoft17 ? dealerTableS17 : dealerTableH17, shoes, count, out);
  for (int l = 0; l < count; ++l) finish(out[l]);
}

DealerProbabilities dealerProbabilities(const Shoe& shoe, bool standsOnSoft17) {
  DealerProbabilities p;
  dealerProbabilitiesBatch(&shoe.currentCounts, 1, standsOnSoft17, &p);
  return p;
}

// ---- the cache ----

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
  keys.reserve(i + 1);
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
  keys.reserve(last);
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
