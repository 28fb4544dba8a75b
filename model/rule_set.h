#pragma once

#include <cstdint>

// Which hands may be doubled (the doubling test of the split engine decides
// exactly which hands qualify under each value).
enum class DoubleRule : std::int32_t {
  AnyTwoCards = 0,
  Hard10or11 = 1,
  Hard9to11 = 2,
  Hard10or11AndSoft = 3,
  Hard9to11AndSoft = 4,
  HardOnly = 5,
  NoDoubling = 6,
};

// What the player loses to a dealer blackjack. The value 1 is never stored;
// every reader but the rules editor tests zero against non-zero.
enum class DealerBjRule : std::int32_t {
  FullPeek = 0,  // only the initial bet is lost
  NoPeek = 2,    // all split and doubled bets are lost (ENHC)
};

enum class SurrenderRule : std::int32_t {
  NoSurrender = 0,
  LateSurrender = 1,
  EarlySurrender = 2,
};

// The table rules a split is evaluated under. Plain value record; the rules
// editor is its only writer after start-up. The payout, surrender rules and
// split limits are listed but read by no computation.
struct RuleSet {
  double bjOdds = 1.5;                   // payout of a player blackjack (listing only)
  bool standsOnSoft17 = true;            // S17 when true, H17 when false
  DoubleRule doubleRule = DoubleRule::AnyTwoCards;
  DealerBjRule dealerBjRule = DealerBjRule::FullPeek;
  SurrenderRule surrenderVsAce = SurrenderRule::NoSurrender;  // listing only
  SurrenderRule surrenderVsTen = SurrenderRule::NoSurrender;  // listing only
  bool surrenderVs2to9 = false;          // listing only
  std::int16_t maxSplits = 1;            // listing only: one split is always computed
  std::int16_t maxSplitsAces = 1;        // listing only
  bool das = false;                      // doubling after splitting
  bool hsa = false;                      // hitting split aces; else one card each
  bool dspa = false;                     // doubling split aces; only with das and hsa
  bool charlie5 = false;                 // 5 or more cards win automatically
  bool charlie6 = false;                 // 6 or more cards win automatically
  bool dan = false;                      // doubling on any number of cards

  bool operator==(const RuleSet&) const = default;

  // Any non-zero blackjack rule counts as no peek.
  bool peeks() const { return dealerBjRule == DealerBjRule::FullPeek; }
};
