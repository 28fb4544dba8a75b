// The interactive program, driven through the scripted console by arbitrary
// keys and typed lines. The input's bytes up to the first NUL are the keys
// (a newline is Enter, byte 1 a key without a character), the bytes after it
// the typed lines. Nothing may crash or hang, and whenever a screen begins
// the state the main loop owns must be sound: removals within their bounds,
// the calculator's shoe full again, and at the main menu the rules' own
// invariants.
//
// Computations are kept small: before each split report the harness takes
// out more cards, so that the report computes on at most MaxCardsLeft cards
// (the removals typed by the input decide which ranks those are), and it
// lets at most MaxReports reports run per input.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "front/main_loop.h"
#include "model/rule_set.h"
#include "model/shoe.h"
#include "tests/scripted_console.h"

namespace {

constexpr std::int32_t MaxCardsLeft = 10;
constexpr int MaxReports = 4;

constexpr std::string_view MenuStart = "This program computes optimal expected values for a single\n";
constexpr std::string_view ChoicePrompt = "\n\n\tChoice:  ";

[[noreturn]] void broken(const char* invariant, const std::string& screen) {
  std::fprintf(stderr, "invariant broken: %s\n--- screen ---\n%s\n--------------\n", invariant,
               screen.c_str());
  std::abort();
}

// The scripted console, with the text of the current screen kept apart (the
// whole output of a long input would be copied at every check) and the
// checks made where a screen begins or a key is read.
class CheckingConsole : public ScriptedConsole {
 public:
  CheckingConsole(std::string keys, std::string lines, ProgramState& checked)
      : ScriptedConsole(std::move(keys), std::move(lines)), state(checked) {
    screen.precision(15);
  }

  int readKey() override {
    const std::string text = screen.str();
    const bool atMenu = text.starts_with(MenuStart) && text.ends_with(ChoicePrompt);
    checkState(text, atMenu);
    const int key = ScriptedConsole::readKey();
    if (!atMenu || key != '4') return key;
    if (reports == MaxReports) return '5';  // the menu again, no computation
    ++reports;
    leaveFewCards();
    return key;
  }

  void clearScreen() override {
    const std::string text = screen.str();
    checkScreen(text);
    screen.str("");
    ScriptedConsole::clearScreen();
  }

  // The checks of the screen shown last, when the keys have run out.
  void finish() const { checkScreen(screen.str()); }

  std::ostream& out() override { return screen; }
  void printText(const char* text) override { screen << text; }

 private:
  void checkScreen(const std::string& text) const {
    checkState(text, false);
    // Every result line shows a finite number or the blank; nan or inf would
    // be a value the engine got wrong.
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (!line.starts_with("SPL1")) continue;
      const std::size_t colon = line.find(": ");
      if (colon == std::string::npos) broken("a result line has a value", text);
      const std::string value = line.substr(colon + 2);
      if (value != "X X X X X" &&
          (value.empty() || value.find_first_not_of("0123456789.-+e") != std::string::npos))
        broken("every result is a finite number", text);
    }
  }

  void checkState(const std::string& text, bool atMenu) const {
    const SplitCalculator& calculator = state.calculator;
    if (state.decks < 1 || state.decks > MaxDecks) broken("decks within 1..MaxDecks", text);
    if (!(calculator.shoe == Shoe(state.decks))) broken("the shoe is full between computations", text);
    for (int rank = 1; rank <= RankCount; ++rank) {
      const std::int32_t removed = state.removals[rankIndex(rank)];
      if (removed < 0 || removed > calculator.shoe.fullCounts[rankIndex(rank)])
        broken("removals within 0..the full shoe's count", text);
    }
    // The editor's chain may pass through other combinations; at the menu it is done.
    if (!atMenu) return;
    const RuleSet& rules = calculator.rules;
    if (rules.charlie5 && rules.charlie6) broken("at most one charlie rule", text);
    if (rules.dspa && !(rules.das && rules.hsa)) broken("dspa only with das and hsa", text);
    if (rules.dealerBjRule != DealerBjRule::FullPeek && rules.dealerBjRule != DealerBjRule::NoPeek)
      broken("the dealer blackjack rule is 0 or 2", text);
  }

  // Takes out cards, the most from the ranks with the most left, until at
  // most MaxCardsLeft remain: each rank keeps min(left, level) cards for the
  // highest level that fits, and what is still free goes one card each to
  // the ranks cut down, tens first. The removals stay within their bounds.
  void leaveFewCards() {
    const Shoe& shoe = state.calculator.shoe;
    ShoeCounts left{};
    std::int64_t total = 0;
    for (int rank = 1; rank <= RankCount; ++rank) {
      left[rankIndex(rank)] = shoe.count(rank) - state.removals[rankIndex(rank)];
      total += left[rankIndex(rank)];
    }
    if (total <= MaxCardsLeft) return;
    const auto keptAt = [&](std::int32_t level) {
      std::int64_t kept = 0;
      for (const std::int32_t n : left) kept += std::min(n, level);
      return kept;
    };
    std::int32_t level = 0;
    while (keptAt(level + 1) <= MaxCardsLeft) ++level;  // level <= MaxCardsLeft
    std::int64_t free = MaxCardsLeft - keptAt(level);
    for (int rank = Ten; rank >= 1; --rank) {
      std::int32_t keep = std::min(left[rankIndex(rank)], level);
      if (left[rankIndex(rank)] > level && free > 0) {
        ++keep;
        --free;
      }
      state.removals[rankIndex(rank)] += left[rankIndex(rank)] - keep;
    }
  }

  ProgramState& state;
  std::ostringstream screen;
  int reports = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string keys(input.substr(0, split));
  const std::string lines(split == std::string_view::npos ? std::string_view() : input.substr(split + 1));

  ProgramState state;
  CheckingConsole console(keys, lines, state);
  console.out().precision(15);
  runMainLoop(console, state);
  console.finish();
  return 0;
}
