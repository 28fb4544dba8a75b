#pragma once

// One case of the table program: a shoe, its removals, the rules and the
// pairs to split; and the value names and checks that the command line and
// the batch lines share, so both accept and refuse exactly the same values.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"

// Which pairs to split, ace first (entry rank - 1).
using PairSet = std::array<bool, RankCount>;
inline constexpr PairSet AllPairs = {true, true, true, true, true, true, true, true, true, true};

struct TableCase {
  std::int32_t decks = 1;  // 1..MaxDecks
  Removals removed{};      // cards taken out of the full shoe, ace first
  RuleSet rules;
  PairSet pairs = AllPairs;
};

// The name a rank has in every output and input: "A", "2".."9", "T".
std::string_view rankName(Rank rank);

// A pair as the user may name it: a, A or 1 for aces, 2..9, t, T or 10 for tens.
std::optional<Rank> parsePairName(std::string_view name);
// What parsePairName accepts, for messages.
inline constexpr std::string_view PairNamesAllowed = "A (or a, 1), 2 to 9, T (or t, 10)";

// The doubling rules by name, in DoubleRule order: "any", "10-11", "9-11",
// "10-11-soft", "9-11-soft", "hard", "none".
std::string_view doubleRuleName(DoubleRule rule);
std::optional<DoubleRule> parseDoubleRuleName(std::string_view name);
inline constexpr std::string_view DoubleRulesAllowed = "any, 10-11, 9-11, 10-11-soft, 9-11-soft, hard or none";

// 0 without an automatic win, else 5 or 6.
int charlieCards(const RuleSet& rules);
// Sets the charlie rule from 0, 5 or 6; false for any other count.
bool setCharlie(RuleSet& rules, std::int64_t cards);

// A whole number in plain decimal (digits only, an optional leading minus),
// or nothing when the text is anything else or does not fit.
std::optional<std::int64_t> parseWholeNumber(std::string_view text);

// The checks that depend on more than one value. Each gives the reason a
// case is refused, naming the value by the given name, or nothing.
std::optional<std::string> checkDecks(std::int64_t decks, std::string_view name);
// Removals against the deck count (1..MaxDecks): 0..removalBound.
std::optional<std::string> checkRemovals(const std::array<std::int64_t, RankCount>& removed, std::int32_t decks,
                                         std::string_view name);
// Doubling split aces needs both doubling after splitting and hitting split aces.
std::optional<std::string> checkRules(const RuleSet& rules, std::string_view dspaName, std::string_view dasName,
                                      std::string_view hsaName);
