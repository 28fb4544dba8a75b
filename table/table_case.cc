#include "table/table_case.h"

#include <charconv>
#include <cstddef>

namespace {

constexpr std::array<std::string_view, RankCount> RankNames = {"A", "2", "3", "4", "5",
                                                               "6", "7", "8", "9", "T"};

// Indexed by the DoubleRule value.
constexpr std::array<std::string_view, 7> DoubleRuleNames = {"any",       "10-11", "9-11", "10-11-soft",
                                                             "9-11-soft", "hard",  "none"};


}  // namespace

std::string_view rankName(Rank rank) { return RankNames[static_cast<std::size_t>(rankIndex(rank))]; }

std::optional<Rank> parsePairName(std::string_view name) {
  if (name == "a" || name == "1") return Ace;
  if (name == "t" || name == "10") return Ten;
  for (Rank rank = 1; rank <= RankCount; ++rank)
    if (name == rankName(rank)) return rank;
  return std::nullopt;
}

std::string_view doubleRuleName(DoubleRule rule) {
  return DoubleRuleNames[static_cast<std::size_t>(rule)];
}

std::optional<DoubleRule> parseDoubleRuleName(std::string_view name) {
  for (std::size_t i = 0; i < DoubleRuleNames.size(); ++i)
    if (name == DoubleRuleNames[i]) return static_cast<DoubleRule>(i);
  return std::nullopt;
}

int charlieCards(const RuleSet& rules) { return rules.charlie5 ? 5 : rules.charlie6 ? 6 : 0; }

bool setCharlie(RuleSet& rules, std::int64_t cards) {
  if (cards != 0 && cards != 5 && cards != 6) return false;
  rules.charlie5 = cards == 5;
  rules.charlie6 = cards == 6;
  return true;
}

std::optional<std::int64_t> parseWholeNumber(std::string_view text) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::optional<std::string> checkDecks(std::int64_t decks, std::string_view name) {
  if (decks >= 1 && decks <= MaxDecks) return std::nullopt;
  return std::string(name) + ": " + std::to_string(decks) + " is out of range; allowed: a whole number from 1 to " +
         std::to_string(MaxDecks);
}

std::optional<std::string> checkRemovals(const std::array<std::int64_t, RankCount>& removed, std::int32_t decks,
                                         std::string_view name) {
  const std::optional<Rank> rank = removalOutOfBounds(removed, decks);
  if (!rank) return std::nullopt;
  return std::string(name) + ": " + std::to_string(removed[static_cast<std::size_t>(rankIndex(*rank))]) +
         " cards of rank " + std::string(rankName(*rank)) + " is out of range; allowed: 0 to " +
         std::to_string(removalBound(Ace, decks)) + " (0 to " + std::to_string(removalBound(Ten, decks)) +
         " tens) for " + std::to_string(decks) + (decks == 1 ? " deck" : " decks");
}

std::optional<std::string> checkRules(const RuleSet& rules, std::string_view dspaName, std::string_view dasName,
                                      std::string_view hsaName) {
  if (!rules.dspa || (rules.das && rules.hsa)) return std::nullopt;
  return std::string(dspaName) + ": allowed only with " + std::string(dasName) + " and " + std::string(hsaName);
}
