#pragma once

// One case of the table program: a shoe, its removals, the rules and the
// pairs to split; and the value names and checks that the command line and
// the batch lines share, so both accept and refuse exactly the same values.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/rank.h"
#include "model/rule_set.h"
#include "split/perfect_split.h"

// The most decks a shoe may hold: 52 x 41297762 cards still fit a signed
// 32-bit total.
constexpr std::int32_t TableMaxDecks = 41297762;

// Which pairs to split, ace first (entry rank - 1).
using PairSet = std::array<bool, RankCount>;
inline constexpr PairSet AllPairs = {true, true, true, true, true, true, true, true, true, true};

// Which entries of split_perfect to compute: entry 0 overall, entry u
// against up card u.
using EntrySet = std::array<bool, 11>;
inline constexpr EntrySet AllEntries = {true, true, true, true, true, true, true, true, true, true, true};

struct TableCase {
  std::int32_t decks = 1;  // 1..TableMaxDecks
  Removals removed{};      // cards taken out of the full shoe, ace first
  RuleSet rules;
  PairSet pairs = AllPairs;
  ResplitRules resplit;         // hands 2..4 and resplitting aces, for split_perfect
  EntrySet upCards = AllEntries;  // the entries of split_perfect computed
};

// The name a rank has in every output and input: "A", "2".."9", "T".
std::string_view rankName(Rank rank);

// A pair as the user may name it: a, A or 1 for aces, 2..9, t, T or 10 for tens.
std::optional<Rank> parsePairName(std::string_view name);
// What parsePairName accepts, for messages.
inline constexpr std::string_view PairNamesAllowed = "A (or a, 1), 2 to 9, T (or t, 10)";

// Entries by name, as the up cards and "overall" are named in every output:
// "overall", "A" (or a, 1), "2".."9", "T" (or t, 10).
std::optional<int> parseEntryName(std::string_view name);
inline constexpr std::string_view EntryNamesAllowed = "overall, A (or a, 1), 2 to 9, T (or t, 10)";

// The number of hands checked: 2, 3 or 4.
std::optional<std::string> checkHands(std::int64_t hands, std::string_view name);

// The doubling rules by name, in DoubleRule order: "any", "10-11", "9-11",
// "10-11-soft", "9-11-soft", "hard", "none".
std::string_view doubleRuleName(DoubleRule rule);
std::optional<DoubleRule> parseDoubleRuleName(std::string_view name);
inline constexpr std::string_view DoubleRulesAllowed = "any, 10-11, 9-11, 10-11-soft, 9-11-soft, hard or none";

// 0 without an automatic win, else 5 or 6.
int charlieCards(const RuleSet& rules);
// Sets the charlie rule from 0, 5 or 6; false for any other count.
bool setCharlie(RuleSet& rules, std::int64_t cards);

// How much of a refused value a message shows, in characters.
inline constexpr std::size_t MaxShownValue = 40;

// Text from the user as a one-line message may quote it: a line break, an
// escape code or any other control character and an invalid UTF-8 byte
// appear as visible escapes (\n, \u001b, \xff; a quote or backslash
// escaped too), and the text is cut after at most `limit` characters,
// ending in "...". Pure.
std::string shownText(std::string_view text, std::size_t limit = MaxShownValue);

// A whole number in plain decimal (digits only, an optional leading minus),
// or nothing when the text is anything else or does not fit.
std::optional<std::int64_t> parseWholeNumber(std::string_view text);

// The checks that depend on more than one value. Each gives the reason a
// case is refused, naming the value by the given name, or nothing.
std::optional<std::string> checkDecks(std::int64_t decks, std::string_view name);
// Removals against the deck count: 0..4 x decks, 0..16 x decks for tens.
std::optional<std::string> checkRemovals(const std::array<std::int64_t, RankCount>& removed, std::int32_t decks,
                                         std::string_view name);
// Doubling split aces needs both doubling after splitting and hitting split aces.
std::optional<std::string> checkRules(const RuleSet& rules, std::string_view dspaName, std::string_view dasName,
                                      std::string_view hsaName);
