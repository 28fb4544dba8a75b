#pragma once

#include "model/rank.h"

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

// Fills both stand vectors from complete outcome vectors.
void deriveStandValues(DealerProbabilities& outcome);
