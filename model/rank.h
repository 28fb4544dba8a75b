#pragma once

#include <array>
#include <cstdint>

// A card rank: 1 is the ace, 2..9 the pip cards, 10 any ten-valued card.
using Rank = std::int16_t;

constexpr int RankCount = 10;
constexpr Rank Ace = 1;
constexpr Rank Ten = 10;

// Every per-rank array is indexed by rank - 1, ace first.
constexpr int rankIndex(int rank) { return rank - 1; }

// Cards held per rank by a hand (16-bit counts).
using HandCounts = std::array<std::int16_t, RankCount>;
// Cards per rank of a shoe, or taken out of it (32-bit counts).
using ShoeCounts = std::array<std::int32_t, RankCount>;
// Cards the user removed from the full shoe, per rank.
using Removals = ShoeCounts;
