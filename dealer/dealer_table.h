#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "dealer/dealer_outcome.h"
#include "model/hand_composition.h"

// Every dealer hand that must still draw under one soft-17 rule, laid out
// as the program the dealer walk runs: the hands in strictly descending
// composition order, so every hand one card on comes before the hand it
// grows from, and for each hand the cards it may draw, each ending the
// hand on a final total or continuing at the row of the hand one card on,
// already finished. Enumerated once and read-only afterwards, so any number
// of walks may read it at once.
class DealerHandTable {
 public:
  // The row a drawn card's probability multiplies, in the walk's array of
  // rows: rows 0..4 are the final totals 17..21 (1 at that total, 0
  // elsewhere), row FinalTotalCount + i the finished row of hand i.
  using Row = std::int16_t;
  static constexpr Row finalTotalRow(int total) { return static_cast<Row>(total - 17); }
  static constexpr Row handRow(int hand) { return static_cast<Row>(FinalTotalCount + hand); }
  static constexpr bool endsHand(Row row) { return row < FinalTotalCount; }

  // One card a hand may draw: its probability times the row it leads to is
  // added to the hand's row.
  struct Step {
    std::int16_t draw;  // index into draws()
    Row row;
  };
  // A hand's steps in rank order, cut into runs of cards that all end the
  // hand or all continue it.
  struct Run {
    std::int32_t firstStep;
    std::int32_t stepCount;
    bool ends;
    std::int8_t firstTotal;  // a run that ends: the final-total row of its first card; the next ones follow
    // A run that ends: per final total, the draw of the card that ends
    // there, or zeroDraw() for a total no card of the run reaches.
    std::int16_t endDraw[FinalTotalCount];
  };
  struct Hand {
    std::int16_t hardTotal;
    std::int16_t cardCount;
    std::int32_t firstRun;
    std::int32_t runCount;
    std::int32_t firstHeld;  // into held(): the ranks the hand holds, with their counts
    std::int32_t heldCount;
    std::uint64_t heldPacked;  // the same counts, packed (packCount)
  };
  // Per-rank counts packed six bits a rank (rank index i at bit 6 i), at
  // most 31 each: a hand's held cards, or a shoe's counts capped at 31 (no
  // hand holds more of a rank). With them, one subtraction tells whether a
  // shoe holds every card of a hand: each field keeps its top bit, which
  // the shoe's count sets and no count reaches, exactly when the shoe has
  // at least the hand's count.
  static constexpr std::uint64_t packCount(int rank, std::int32_t count) {
    return static_cast<std::uint64_t>(count < 31 ? count : 31) << (6 * rankIndex(rank));
  }
  static constexpr std::uint64_t PackedTopBits = [] {
    std::uint64_t bits = 0;
    for (int r = 1; r <= RankCount; ++r) bits |= std::uint64_t{32} << (6 * rankIndex(r));
    return bits;
  }();
  static constexpr bool holds(std::uint64_t shoePacked, std::uint64_t heldPacked) {
    return (((shoePacked | PackedTopBits) - heldPacked) & PackedTopBits) == PackedTopBits;
  }
  // The probability of drawing `rank` when the hand holds `cards` cards,
  // `held` of that rank: (n(rank) - held) / (N - cards). One draw serves
  // every hand that shares the triple.
  struct Draw {
    std::int8_t rank;
    std::int8_t held;
    std::int8_t cards;
  };
  struct HeldCards {
    std::int8_t rank;
    std::int8_t count;
  };

  // No limit on the cards of a rank a hand holds.
  static constexpr int AnyCount = 99;

  // Enumerates the table of one soft-17 rule, leaving out the hands that
  // hold more than mostOfARank cards of a rank other than ten. A shoe with
  // no more of any such rank reaches none of them: a card that would lead
  // to one is drawn with probability +0, so its step stays (the walk's sums
  // take the same operations in the same order, bit for bit) but reads
  // zeroRow() instead of the hand. Throws std::bad_alloc when memory runs
  // out.
  explicit DealerHandTable(bool standsOnSoft17, int mostOfARank = AnyCount);

  bool standsOnSoft17() const { return standsOnSoft17_; }
  std::span<const Hand> hands() const { return hands_; }
  std::span<const Run> runs() const { return runs_; }
  std::span<const Step> steps() const { return steps_; }
  std::span<const Draw> draws() const { return draws_; }
  std::span<const HeldCards> held() const { return held_; }
  // The draw index that names probability zero, one past the last draw.
  std::int16_t zeroDraw() const { return static_cast<std::int16_t>(draws_.size()); }
  // The most cards a hand of the table holds.
  int mostCards() const { return mostCards_; }
  // The most cards of a rank other than ten a hand of the table holds.
  int mostOfARank() const { return mostOfARank_; }
  // The row of zeros after the hands' rows, read by the steps to the hands left out.
  Row zeroRow() const { return handRow(static_cast<int>(hands_.size())); }

  // The counts of hand i, from its held cards.
  HandCounts countsOf(std::size_t hand) const;

 private:
  // A step's row while the table is built: a hand left out.
  static constexpr Row LeftOut = -1;
  bool withinLimit(const HandCounts& counts) const {
    for (int r = 1; r < Ten; ++r)
      if (counts[rankIndex(r)] > mostOfARank_) return false;
    return true;
  }
  void addHand(const HandComposition& hand, const std::vector<HandCounts>& earlier, std::vector<std::int16_t>& drawMemo);

  bool standsOnSoft17_;
  std::vector<Hand> hands_;
  std::vector<Run> runs_;
  std::vector<Step> steps_;
  std::vector<Draw> draws_;
  std::vector<HeldCards> held_;
  int mostCards_ = 0;
  int mostOfARank_ = AnyCount;
};

// The table of a soft-17 rule, enumerated on the first call. Throws
// std::bad_alloc when it cannot be built; a later call tries again.
const DealerHandTable& dealerTable(bool standsOnSoft17);
// The smallest table that serves shoes with at most mostOfARank cards of
// every rank other than ten: a single deck's (four of a rank, about three
// quarters of the hands) or the whole one.
const DealerHandTable& dealerTable(bool standsOnSoft17, int mostOfARank);

// Builds the tables now (both rules, whole and single-deck). A program calls this
// first thing, on its one thread, so that tables that do not fit stop it at
// start-up rather than failing its first computation. False when memory
// ran out; the program then says so and ends.
[[nodiscard]] bool buildDealerTables() noexcept;
