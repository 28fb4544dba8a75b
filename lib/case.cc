#include <cstddef>

#include "lib/engine_case.h"

namespace splitev {

static_assert(MaxDecks == ::MaxDecks);
static_assert(RankCount == ::RankCount);

namespace {

constexpr std::array<std::string_view, RankCount> RankNames = {"A", "2", "3", "4", "5", "6", "7", "8", "9", "T"};

// Indexed by the DoubleRule value, which lists the engine's rules in its order.
constexpr std::array<std::string_view, 7> DoubleRuleNames = {"any",       "10-11", "9-11", "10-11-soft",
                                                             "9-11-soft", "hard",  "none"};
static_assert(static_cast<int>(DoubleRule::NoDoubling) == static_cast<int>(::DoubleRule::NoDoubling));

bool any(const auto& flags) {
  for (const bool flag : flags)
    if (flag) return true;
  return false;
}

}  // namespace

std::string_view rankName(int rank) { return RankNames[static_cast<std::size_t>(rankIndex(rank))]; }

std::optional<int> parseRank(std::string_view name) {
  if (name == "a" || name == "1") return Ace;
  if (name == "t" || name == "10") return Ten;
  for (int rank = 1; rank <= RankCount; ++rank)
    if (name == rankName(rank)) return rank;
  return std::nullopt;
}

std::optional<int> parseEntry(std::string_view name) {
  if (name == "overall") return 0;
  return parseRank(name);
}

std::string_view doubleRuleName(DoubleRule rule) { return DoubleRuleNames.at(static_cast<std::size_t>(rule)); }

std::optional<DoubleRule> parseDoubleRule(std::string_view name) {
  for (std::size_t i = 0; i < DoubleRuleNames.size(); ++i)
    if (name == DoubleRuleNames[i]) return static_cast<DoubleRule>(i);
  return std::nullopt;
}

std::optional<std::string> checkDecks(std::int64_t decks, std::string_view name) {
  if (decks >= 1 && decks <= MaxDecks) return std::nullopt;
  return std::string(name) + ": " + std::to_string(decks) + " is out of range; allowed: a whole number from 1 to " +
         std::to_string(MaxDecks);
}

std::optional<std::string> checkRemovals(const std::array<std::int64_t, RankCount>& removed, std::int64_t decks,
                                         std::string_view name) {
  const auto shoeDecks = static_cast<std::int32_t>(decks);
  const std::optional<Rank> rank = removalOutOfBounds(removed, shoeDecks);
  if (!rank) return std::nullopt;
  return std::string(name) + ": " + std::to_string(removed[static_cast<std::size_t>(rankIndex(*rank))]) +
         " cards of rank " + std::string(rankName(*rank)) + " is out of range; allowed: 0 to " +
         std::to_string(removalBound(Ace, shoeDecks)) + " (0 to " + std::to_string(removalBound(Ten, shoeDecks)) +
         " tens) for " + std::to_string(decks) + (decks == 1 ? " deck" : " decks");
}

std::optional<std::string> checkHands(std::int64_t hands, std::string_view name) {
  if (hands >= 2 && hands <= 4) return std::nullopt;
  return std::string(name) + ": " + std::to_string(hands) + " is out of range; allowed: 2, 3 or 4";
}

std::optional<std::string> checkRules(const Rules& rules, std::string_view dspaName, std::string_view dasName,
                                      std::string_view hsaName) {
  if (!rules.dspa || (rules.das && rules.hsa)) return std::nullopt;
  return std::string(dspaName) + ": allowed only with " + std::string(dasName) + " and " + std::string(hsaName);
}

void check(const Case& c, const ValueNames& names) {
  const auto refuse = [](const std::optional<std::string>& refusal) {
    if (refusal) throw Error(*refusal);
  };
  refuse(checkDecks(c.decks, names.decks));
  refuse(checkRemovals(c.removed, c.decks, names.removed));
  const int charlie = c.rules.charlie;
  if (charlie != 0 && charlie != 5 && charlie != 6)
    throw Error(std::string(names.charlie) + ": " + std::to_string(charlie) + " is not allowed; allowed: 0, 5 or 6");
  refuse(checkHands(c.rules.hands, names.hands));
  refuse(checkRules(c.rules, names.dspa, names.das, names.hsa));
  // Enumerations given values outside their lists.
  if (c.rules.soft17 != Soft17::Stand && c.rules.soft17 != Soft17::Hit)
    throw Error("rules.soft17: not allowed; allowed: \"stand\" or \"hit\"");
  if (static_cast<unsigned>(c.rules.doubling) >= DoubleRuleNames.size())
    throw Error("rules.double: not allowed; allowed: " + std::string(DoubleRulesAllowed));
  if (!any(c.pairs))
    throw Error(std::string(names.pairs) + ": [] is not allowed; allowed: \"all\", or a non-empty list of " +
                std::string(RanksAllowed));
  if (!any(c.upCards))
    throw Error(std::string(names.upCards) + ": [] is not allowed; allowed: a non-empty list of " +
                std::string(EntriesAllowed));
}

EngineCase engineCase(const Case& c) {
  EngineCase e;
  e.decks = static_cast<std::int32_t>(c.decks);
  for (std::size_t i = 0; i < c.removed.size(); ++i) e.removed[i] = static_cast<std::int32_t>(c.removed[i]);
  RuleSet& rules = e.rules;
  rules.standsOnSoft17 = c.rules.soft17 == Soft17::Stand;
  rules.doubleRule = static_cast<::DoubleRule>(c.rules.doubling);
  rules.dealerBjRule = c.rules.peek ? DealerBjRule::FullPeek : DealerBjRule::NoPeek;
  rules.das = c.rules.das;
  rules.hsa = c.rules.hsa;
  rules.dspa = c.rules.dspa;
  rules.charlie5 = c.rules.charlie == 5;
  rules.charlie6 = c.rules.charlie == 6;
  rules.dan = c.rules.dan;
  e.resplit.hands = c.rules.hands;
  e.resplit.resplitAces = c.rules.resplitAces;
  e.pairs = c.pairs;
  e.upCards = c.upCards;
  return e;
}

}  // namespace splitev
