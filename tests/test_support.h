#pragma once

// Readable text for the values parameterised tests run on, so that a failing
// case says which it is (GoogleTest would print their bytes otherwise).

#include <cstddef>
#include <ostream>
#include <string>

#include "model/rank.h"
#include "model/rule_set.h"

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
