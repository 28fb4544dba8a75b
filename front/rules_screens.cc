// The rules listing and the chain of single-key screens that edit the rules
// bearing on splitting.

#include <array>
#include <cstddef>
#include <ostream>

#include "front/screens.h"

namespace {

// Texts selected by a rule's numeric value; a value outside the table prints
// nothing.
template <std::size_t N>
void printByValue(std::ostream& out, const std::array<const char*, N>& texts, int value) {
  if (value >= 0 && static_cast<std::size_t>(value) < texts.size()) out << texts[value];
}

constexpr std::array<const char*, 7> DoubleRuleListing = {
    "\n\tDouble on any 2 cards",
    "\n\tDouble on hard 10 or 11 only",
    "\n\tDouble on hard 9, 10, or 11 only",
    "\n\tDouble on hard 10 or 11 or any soft hand",
    "\n\tDouble on hard 9, 10, or 11 or any soft hand",
    "\n\tDouble only on any hard hand",
    "\n\tNo doubliang at all is allowed",
};

constexpr std::array<const char*, 3> SurrenderVsAceListing = {
    "\n\tNo surrender versus up card of ace",
    "\n\tLate surrender versus up card of ace",
    "\n\tEarly surrender versus up card of ace",
};

constexpr std::array<const char*, 3> SurrenderVsTenListing = {
    "\n\tNo surrender versus up card of ten",
    "\n\tLate surrender versus up card of ten",
    "\n\tEarly surrender versus up card of ten",
};

// One screen of the editor. Option k is chosen with key '0' + k; its line
// reads "\t" + label, with an X before the tab when it is the current value.
struct EditorScreen {
  const char* title;
  int optionCount;
  std::array<const char*, 7> labels;
  bool (*isCurrent)(const RuleSet&, int option);
  void (*choose)(RuleSet&, int option);
  // Screens that apply only to some rule sets: when not shown, whenSkipped
  // puts the rule in the state it must then have.
  bool (*shown)(const RuleSet&) = nullptr;
  void (*whenSkipped)(RuleSet&) = nullptr;
};

const std::array<EditorScreen, 8> EditorChain = {{
    {"\nDealer soft standing number",
     2,
     {"0 Dealer stands on soft 17", "1 Dealer hits soft 17"},
     [](const RuleSet& r, int k) { return r.standsOnSoft17 == (k == 0); },
     [](RuleSet& r, int k) { r.standsOnSoft17 = k == 0; }},
    {"\nDoubling restrictions",
     7,
     {"0 double on any 2 cards", "1 double on hard totals of 10 or 11",
      "2 double on hard totals of 9, 10, or 11",
      "3 double on hard totals of 10 or 11 and any soft total",
      "4 double on hard totals of 9, 10, or 11 and any soft total",
      "5 double only any hard total only", "6 no doubling allowed at all"},
     [](const RuleSet& r, int k) { return static_cast<int>(r.doubleRule) == k; },
     [](RuleSet& r, int k) { r.doubleRule = static_cast<DoubleRule>(k); }},
    // Choice 1 stores NoPeek, whose value is 2.
    {"\nLoss to dealer blackjack",
     2,
     {"0 Player loses orginal bet only to dealer blackjack (full peek)",
      "1 Player loses all to dealer blackjack (no peek - ENHC)"},
     [](const RuleSet& r, int k) {
       return r.dealerBjRule == (k == 0 ? DealerBjRule::FullPeek : DealerBjRule::NoPeek);
     },
     [](RuleSet& r, int k) {
       r.dealerBjRule = k == 0 ? DealerBjRule::FullPeek : DealerBjRule::NoPeek;
     }},
    {"\nDoubling after splitting pairs 2-10",
     2,
     {"0 (DAS) Doubling after splitting pairs 2-10 is allowed",
      "1 (NDAS) Doubling after splitting pairs 2-10 is not allowed"},
     [](const RuleSet& r, int k) { return r.das == (k == 0); },
     [](RuleSet& r, int k) { r.das = k == 0; }},
    {"\nAllow hitting of split aces",
     2,
     {"0 (HSA) Hitting split aces is allowed",
      "1 (no HSA - 1 card to split ace) Hitting split aces is not allowed"},
     [](const RuleSet& r, int k) { return r.hsa == (k == 0); },
     [](RuleSet& r, int k) { r.hsa = k == 0; }},
    // Doubling split aces can only matter when both rules above allow it.
    {"\nAllow doubling after splitting aces",
     2,
     {"0 Doubling after splitting aces is allowed",
      "1 Doubling after splitting aces is not allowed"},
     [](const RuleSet& r, int k) { return r.dspa == (k == 0); },
     [](RuleSet& r, int k) { r.dspa = k == 0; },
     [](const RuleSet& r) { return r.das && r.hsa; },
     [](RuleSet& r) { r.dspa = false; }},
    // The two charlie rules exclude each other.
    {"\nAutomatic winners",
     3,
     {"0 (5 card charlie) Player hand of 5 cards wins automatically",
      "1 (6 card charlie) Player hand of 6 cards wins automatically",
      "2 No player hand is an automatic winner"},
     [](const RuleSet& r, int k) {
       return k == 0 ? r.charlie5 : k == 1 ? r.charlie6 : !r.charlie5 && !r.charlie6;
     },
     [](RuleSet& r, int k) {
       r.charlie5 = k == 0;
       r.charlie6 = k == 1;
     }},
    {"\nDoubling on any number of cards",
     2,
     {"0 (DAN) Doubling on any number of cards is allowed",
      "1 (no DAN) Doubling on more than 2 cards is not allowed"},
     [](const RuleSet& r, int k) { return r.dan == (k == 0); },
     [](RuleSet& r, int k) { r.dan = k == 0; }},
}};

void drawEditorScreen(Console& console, const RuleSet& rules, const EditorScreen& screen) {
  std::ostream& out = console.out();
  console.clearScreen();
  out << "Setting rules....." << screen.title;
  for (int k = 0; k < screen.optionCount; ++k) {
    out << (k == 0 ? "\n\n" : "\n") << (screen.isCurrent(rules, k) ? "X" : "") << '\t'
        << screen.labels[static_cast<std::size_t>(k)];
  }
  out << "\n\nPlease make a choice."
      << "\nPress enter to keep the choice that is marked.";
}

// Shows the screen until Enter; each choice key stores its value at once and
// redraws, so the mark follows. Keys the screen does not know do nothing.
void runEditorScreen(Console& console, RuleSet& rules, const EditorScreen& screen) {
  drawEditorScreen(console, rules, screen);
  for (;;) {
    const int key = console.readKey();
    if (key == EnterKey) return;
    const int option = key - '0';
    if (option >= 0 && option < screen.optionCount) {
      screen.choose(rules, option);
      drawEditorScreen(console, rules, screen);
    }
  }
}

}  // namespace

void listRules(Console& console, const RuleSet& rules) {
  std::ostream& out = console.out();
  console.clearScreen();
  out << "Current Rules\n\n"
      << "\tbjOdds:  " << rules.bjOdds;
  out << (rules.standsOnSoft17 ? "\n\tDealer stands on soft 17" : "\n\tDealer hits soft 17");
  printByValue(out, DoubleRuleListing, static_cast<int>(rules.doubleRule));
  out << (rules.peeks() ? "\n\tLose only original bet to dealer blackjack (full peek)"
                        : "\n\tLose all splits and doubles to dealer blackjack (no peek)");
  printByValue(out, SurrenderVsAceListing, static_cast<int>(rules.surrenderVsAce));
  printByValue(out, SurrenderVsTenListing, static_cast<int>(rules.surrenderVsTen));
  out << (rules.surrenderVs2to9 ? "\n\tSurrender allowed versus up cards 2 through 9"
                                : "\n\tNo surrender allowed versus up cards 2 through 9");
  out << "\n\tMaximum splits allowed for pairs 2 through 10:  " << rules.maxSplits;
  out << "\n\tMaximum splits allowed for a pair of aces:  " << rules.maxSplitsAces;
  out << (rules.das ? "\n\tDoubling after splitting is allowed"
                    : "\n\tNo doubling after splitting is allowed");
  out << (rules.hsa ? "\n\tHitting split aces is allowed"
                    : "\n\tHitting split aces is not allowed");
  out << (rules.dspa ? "\n\tDoubling after splitting aces is allowed"
                     : "\n\tDoubling after splitting aces is not allowed");
  out << (rules.charlie5   ? "\n\tFive card player hand is an automatic winner"
          : rules.charlie6 ? "\n\tSix card player hand is an automatic winner"
                           : "\n\tNo player hand is an automatic winner");
  out << (rules.dan ? "\n\tPlayer may double on any number of cards"
                    : "\n\tPlayer may not double on more than 2 cards");
  out << "\n\nPress any key to continue";
  console.readKey();
}

void editRules(Console& console, RuleSet& rules, bool& rulesChanged) {
  const bool standsOnSoft17AtEntry = rules.standsOnSoft17;
  for (const EditorScreen& screen : EditorChain) {
    if (screen.shown != nullptr && !screen.shown(rules)) {
      screen.whenSkipped(rules);
      continue;
    }
    runEditorScreen(console, rules, screen);
  }
  // Only the soft-17 rule invalidates cached dealer outcomes; switching it
  // away and back again changes nothing.
  if (rules.standsOnSoft17 != standsOnSoft17AtEntry) rulesChanged = true;
  listRules(console, rules);
}
