#pragma once

// A public case in the engine's terms, and the checks that word a refused
// value's message. Private to the library.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "split/perfect_split.h"
#include "splitev/case.h"

namespace splitev {

// Which pairs to split, ace first; which entries of split_perfect to
// compute, entry 0 overall.
using PairSet = std::array<bool, RankCount>;
using EntrySet = std::array<bool, EntryCount>;
inline constexpr EntrySet AllEntries = {true, true, true, true, true, true, true, true, true, true, true};

struct EngineCase {
  std::int32_t decks = 1;
  Removals removed{};
  RuleSet rules;
  ResplitRules resplit;
  PairSet pairs{};
  EntrySet upCards = AllEntries;
};

// The engine's form of a case that check() accepts.
EngineCase engineCase(const Case& c);

// The refusals check() words, each naming the value by the given name, or
// nothing when the value is fine.
std::optional<std::string> checkDecks(std::int64_t decks, std::string_view name);
std::optional<std::string> checkRemovals(const std::array<std::int64_t, RankCount>& removed, std::int64_t decks,
                                         std::string_view name);
std::optional<std::string> checkHands(std::int64_t hands, std::string_view name);
std::optional<std::string> checkRules(const Rules& rules, std::string_view dspaName, std::string_view dasName,
                                      std::string_view hsaName);

}  // namespace splitev
