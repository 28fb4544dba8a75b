#pragma once

// What many tests share: counts, rules and shoes built from short literals,
// and readable text for the values parameterised tests run on, so that a
// failing case says which it is (GoogleTest would print their bytes
// otherwise).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>

#include "model/rank.h"
#include "model/rule_set.h"
#include "model/shoe.h"

// Counts from (rank, number) pairs, so that cases read as card names:
// hand({{Ace, 1}, {6, 2}}) is an ace and two sixes.
inline HandCounts hand(std::initializer_list<std::pair<int, int>> cards) {
  HandCounts c{};
  for (const auto& [rank, n] : cards) c[rankIndex(rank)] = static_cast<std::int16_t>(n);
  return c;
}
inline ShoeCounts removed(std::initializer_list<std::pair<int, int>> cards) {
  ShoeCounts c{};
  for (const auto& [rank, n] : cards) c[rankIndex(rank)] = n;
  return c;
}

// A full shoe of this many decks less these cards.
inline Shoe shoeWithout(std::int32_t decks, const ShoeCounts& taken) {
  Shoe shoe(decks);
  shoe.removeCards(taken);
  return shoe;
}

// Base rules, or the default ones, changed by edit.
inline RuleSet rulesWith(RuleSet base, void (*edit)(RuleSet&)) {
  edit(base);
  return base;
}
inline RuleSet rulesWith(void (*edit)(RuleSet&)) { return rulesWith(RuleSet{}, edit); }

// Every rule that bears on splitting, in one call: soft 17, the doubling
// rule (by its number), peek, DAS, HSA, DSpA, charlie 5, charlie 6, DAN.
inline RuleSet rulesOf(bool s17, int dbl, bool peek, bool das, bool hsa, bool dspa, bool c5, bool c6, bool dan) {
  RuleSet r;
  r.standsOnSoft17 = s17;
  r.doubleRule = static_cast<DoubleRule>(dbl);
  r.dealerBjRule = peek ? DealerBjRule::FullPeek : DealerBjRule::NoPeek;
  r.das = das;
  r.hsa = hsa;
  r.dspa = dspa;
  r.charlie5 = c5;
  r.charlie6 = c6;
  r.dan = dan;
  return r;
}

// A double's exact bits as a hexfloat ("%a"), as the golden files hold them.
inline std::string hexfloat(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%a", v);
  return buffer;
}

// The four rules most cases differ in; the rest as by default.
inline RuleSet makeRules(bool s17, DoubleRule dr, bool das, bool peek) {
  RuleSet r;
  r.standsOnSoft17 = s17;
  r.doubleRule = dr;
  r.das = das;
  r.dealerBjRule = peek ? DealerBjRule::FullPeek : DealerBjRule::NoPeek;
  return r;
}

// The key order on count vectors, written apart from the engine's:
// lexicographic from the ten count down to the ace count, signed.
template <typename Counts>
bool referenceLess(const Counts& a, const Counts& b) {
  return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
}

// A result entry by name: 0 overall, u against up card u.
inline std::string entryName(int i) { return i == 0 ? "overall" : "up card " + std::to_string(i); }

// A difference for a test property: three significant digits.
inline std::string shortNumber(double x) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3g", x);
  return buf;
}

// The rules that bear on splitting, in letters, digits and underscores (it
// is also a test name): "S17_NDAS_Peek", "H17_DAS_DAN_HSA_DSpA_Charlie5_Double3_NoPeek".
// A doubling rule other than any two cards shows as its number.
inline std::string rulesName(const RuleSet& rules) {
  std::string name = rules.standsOnSoft17 ? "S17" : "H17";
  name += rules.das ? "_DAS" : "_NDAS";
  if (rules.dan) name += "_DAN";
  if (rules.hsa) name += "_HSA";
  if (rules.dspa) name += "_DSpA";
  if (rules.charlie5) name += "_Charlie5";
  if (rules.charlie6) name += "_Charlie6";
  if (rules.doubleRule != DoubleRule::AnyTwoCards)
    name += "_Double" + std::to_string(static_cast<int>(rules.doubleRule));
  name += rules.peeks() ? "_Peek" : "_NoPeek";
  return name;
}

// Cards per rank as rank x count, ace first, ranks without cards left out:
// "{2x4 3x3 Tx16}", or "{}".
template <typename Counts>
std::string countsText(const Counts& counts) {
  std::string text = "{";
  for (int rank = 1; rank <= RankCount; ++rank) {
    const auto n = counts[static_cast<std::size_t>(rankIndex(rank))];
    if (n == 0) continue;
    if (text.size() > 1) text += ' ';
    text += rank == Ace ? "A" : rank == Ten ? "T" : std::to_string(rank);
    text += 'x';
    text += std::to_string(n);
  }
  return text + "}";
}

inline void PrintTo(const RuleSet& rules, std::ostream* os) { *os << rulesName(rules); }
