#include "model/rules_summary.h"

#include <array>
#include <cstddef>

namespace {

// Indexed by the DoubleRule value.
constexpr std::array<const char*, 7> DoublingWording = {
    "Double any 2 cards",
    "Double restricted to hard 10 or 11",
    "Double restricted to hard 9, 10 or 11",
    "Double restricted to hard 10 or 11 or any soft total",
    "Double restricted to hard 9, 10 or 11 or any soft total",
    "Double restricted to hard totals only",
    "No doubling allowed",
};

}  // namespace

std::string rulesSummary(const RuleSet& rules) {
  std::string text = rules.peeks() ? "Single split EVs (full peek)" : "Single split EVs (no peek)";
  text += rules.standsOnSoft17 ? ", S17" : ", H17";
  text += rules.das ? ", DAS" : ", NDAS";
  text += rules.dan ? ", DAN" : ", no DAN";
  if (rules.hsa) {
    text += rules.das && rules.dspa ? ", HSA, DSpA" : ", HSA";
  } else {
    text += ", no HSA";
  }
  text += rules.charlie5 ? ", charlie 5" : rules.charlie6 ? ", charlie 6" : ", no auto win";
  return text;
}

std::string doublingSummary(const RuleSet& rules) {
  const int doubleRule = static_cast<int>(rules.doubleRule);
  if (!rules.das || doubleRule < 0 || doubleRule >= static_cast<int>(DoublingWording.size())) return "";
  return DoublingWording[static_cast<std::size_t>(doubleRule)];
}
