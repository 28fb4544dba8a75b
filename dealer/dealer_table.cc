#include "dealer/dealer_table.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>

namespace {

// The most cards of one rank (0..11) and in all (0..12) that a hand that
// must draw holds: the build-time memo of draws is indexed by
// (rank index, held, cards) over these ranges.
constexpr int HeldValues = 12;
constexpr int CardValues = 13;
static_assert(CardValues <= 31, "a hand's count of a rank fits its packed field");
constexpr std::size_t drawKey(int rank, int held, int cards) {
  return static_cast<std::size_t>((rankIndex(rank) * HeldValues + held) * CardValues + cards);
}

// Hands holding an ace that must still draw: not a soft standing total, and
// not a hard 12..16 that could only be reached through one.
bool mustDrawWithAces(const HandCounts& c, bool standsOnSoft17) {
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

// Calls visit for every count vector of hard total at most 16, in
// descending composition order (tens outermost).
template <typename Visit>
void forEachUpTo16(Visit&& visit) {
  HandCounts c{};
  auto descend = [&](auto&& self, int rank, int pointsLeft) -> void {
    if (rank == Ace) {
      for (int aces = pointsLeft; aces >= 0; --aces) {
        c[rankIndex(Ace)] = static_cast<std::int16_t>(aces);
        visit(c);
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
  descend(descend, Ten, 16);
}

// The index of counts among the descending earlier hands, or -1.
int findHand(const std::vector<HandCounts>& earlier, const HandCounts& counts) {
  const auto at = std::lower_bound(earlier.begin(), earlier.end(), counts, compositionGreater);
  if (at == earlier.end() || !compositionEqual(*at, counts)) return -1;
  return static_cast<int>(at - earlier.begin());
}

}  // namespace

DealerHandTable::DealerHandTable(bool standsOnSoft17, int mostOfARank)
    : standsOnSoft17_(standsOnSoft17), mostOfARank_(mostOfARank) {
  std::vector<HandCounts> earlier;  // the counts of the hands added so far
  std::vector<std::int16_t> drawMemo(drawKey(Ten + 1, 0, 0), -1);
  forEachUpTo16([&](const HandCounts& counts) {
    if (!mustDrawWithAces(counts, standsOnSoft17) || !withinLimit(counts)) return;
    addHand(HandComposition(counts), earlier, drawMemo);
    earlier.push_back(counts);
  });
  // The steps to hands left out read the row after the last hand's.
  for (Step& step : steps_)
    if (step.row == LeftOut) step.row = zeroRow();
  const std::int16_t zero = zeroDraw();
  for (Run& run : runs_) {
    for (int j = 0; j < FinalTotalCount; ++j) {
      const int k = j - run.firstTotal;
      const bool inRun = run.ends && k >= 0 && k < run.stepCount;
      run.endDraw[j] = inRun ? steps_[static_cast<std::size_t>(run.firstStep + k)].draw : zero;
    }
  }
}

// Appends the hand with its cards to draw. Every hand one card on that must
// still draw is greater, so it is among the earlier hands.
void DealerHandTable::addHand(const HandComposition& hand, const std::vector<HandCounts>& earlier,
                              std::vector<std::int16_t>& drawMemo) {
  Hand entry{hand.hardTotal, hand.cardCount, static_cast<std::int32_t>(runs_.size()), 0,
             static_cast<std::int32_t>(held_.size()), 0, 0};
  for (int r = 1; r <= RankCount; ++r) {
    if (hand.counts[rankIndex(r)] == 0) continue;
    held_.push_back({static_cast<std::int8_t>(r), static_cast<std::int8_t>(hand.counts[rankIndex(r)])});
    ++entry.heldCount;
    entry.heldPacked |= packCount(r, hand.counts[rankIndex(r)]);
  }
  if (hand.cardCount >= CardValues) throw std::logic_error("dealer table: a drawing hand holds too many cards");
  const int softStand = standsOnSoft17_ ? 17 : 18;
  const int h = hand.hardTotal;
  const int highestRank = std::min(10, 21 - h);  // higher cards bust
  for (int r = 1; r <= highestRank; ++r) {
    const int c = hand.counts[rankIndex(r)];
    if (c >= HeldValues) throw std::logic_error("dealer table: a drawing hand holds too many cards of a rank");
    std::int16_t& draw = drawMemo[drawKey(r, c, hand.cardCount)];
    if (draw < 0) {
      draw = static_cast<std::int16_t>(draws_.size());
      draws_.push_back({static_cast<std::int8_t>(r), static_cast<std::int8_t>(c), static_cast<std::int8_t>(hand.cardCount)});
    }
    // The card ends the hand on a soft or hard standing total, or the hand
    // one card on must draw again.
    const int t = h + r;
    const bool soft = t <= 11 && (hand.soft || r == Ace);
    const int standing = soft && t + 10 >= softStand ? t + 10 : !soft && t >= 17 ? t : 0;
    Step step{draw, 0};
    if (standing != 0) {
      step.row = finalTotalRow(standing);
    } else {
      HandCounts after = hand.counts;
      ++after[rankIndex(r)];
      if (withinLimit(after)) {
        const int next = findHand(earlier, after);
        if (next < 0) throw std::logic_error("dealer table: a hand one card on is missing");
        step.row = handRow(next);
      } else {
        step.row = LeftOut;
      }
    }
    const bool ends = standing != 0;
    if (entry.runCount == 0 || runs_.back().ends != ends) {
      runs_.push_back({static_cast<std::int32_t>(steps_.size()), 0, ends, static_cast<std::int8_t>(step.row), {}});
      ++entry.runCount;
    }
    Run& run = runs_.back();
    // Consecutive cards that end the hand end it on consecutive totals.
    if (ends && step.row != run.firstTotal + run.stepCount)
      throw std::logic_error("dealer table: final totals of a run are not consecutive");
    ++run.stepCount;
    steps_.push_back(step);
  }
  hands_.push_back(entry);
  mostCards_ = std::max(mostCards_, static_cast<int>(hand.cardCount));
}

HandCounts DealerHandTable::countsOf(std::size_t hand) const {
  HandCounts counts{};
  const Hand& h = hands_[hand];
  for (std::int32_t i = 0; i < h.heldCount; ++i) {
    const HeldCards& cards = held_[static_cast<std::size_t>(h.firstHeld + i)];
    counts[rankIndex(cards.rank)] = cards.count;
  }
  return counts;
}

const DealerHandTable& dealerTable(bool standsOnSoft17) {
  if (standsOnSoft17) {
    static const DealerHandTable s17(true);
    return s17;
  }
  static const DealerHandTable h17(false);
  return h17;
}

const DealerHandTable& dealerTable(bool standsOnSoft17, int mostOfARank) {
  constexpr int SingleDeck = 4;
  if (mostOfARank > SingleDeck) return dealerTable(standsOnSoft17);
  if (standsOnSoft17) {
    static const DealerHandTable s17(true, SingleDeck);
    return s17;
  }
  static const DealerHandTable h17(false, SingleDeck);
  return h17;
}

namespace {

// Memory kept back while the tables are built, for the exception that
// reports running out: with memory that short the runtime may have no room
// for the exception itself, and would end the program instead.
constexpr std::size_t ExceptionReserveBytes = 16 * 1024;
struct FreeMemory {
  void operator()(void* block) const { std::free(block); }
};
std::unique_ptr<void, FreeMemory> exceptionReserve;

// Frees the reserve, so the allocation of the exception finds room, and
// reports the failure.
void releaseReserveAndFail() {
  exceptionReserve.reset();
  throw std::bad_alloc();
}

}  // namespace

bool buildDealerTables() noexcept {
  exceptionReserve.reset(std::malloc(ExceptionReserveBytes));
  if (exceptionReserve == nullptr) return false;
  const std::new_handler previous = std::set_new_handler(releaseReserveAndFail);
  bool built = true;
  try {
    dealerTable(true);
    dealerTable(false);
    dealerTable(true, 0);
    dealerTable(false, 0);
  } catch (const std::bad_alloc&) {
    built = false;
  }
  std::set_new_handler(previous);
  exceptionReserve.reset();
  return built;
}
