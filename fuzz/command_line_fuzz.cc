// splitev-table's command line parser on arbitrary arguments: the input is
// split at each NUL into the arguments after the program name (none when it
// is empty). It must
// return, never crash or throw; a case it accepts must be one the program
// can run, and a refusal is one non-empty line that adds no line break of
// its own.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "table/command_line.h"

namespace {

// Enough for every option and value at once, and then some.
constexpr std::size_t MaxArguments = 64;

[[noreturn]] void broken(const char* invariant) {
  std::fprintf(stderr, "invariant broken: %s\n", invariant);
  std::abort();
}

void checkCase(const TableCase& c) {
  if (c.decks < 1 || c.decks > TableMaxDecks) broken("decks within 1..41297762");
  for (int rank = 1; rank <= RankCount; ++rank) {
    const std::int64_t removed = c.removed[static_cast<std::size_t>(rankIndex(rank))];
    const std::int64_t bound = std::int64_t{rank == Ten ? 16 : 4} * c.decks;
    if (removed < 0 || removed > bound) broken("removals within 0..the full shoe's count");
  }
  const RuleSet& rules = c.rules;
  if (rules.charlie5 && rules.charlie6) broken("at most one charlie rule");
  if (rules.dspa && !(rules.das && rules.hsa)) broken("dspa only with das and hsa");
  if (rules.dealerBjRule != DealerBjRule::FullPeek && rules.dealerBjRule != DealerBjRule::NoPeek)
    broken("the dealer blackjack rule is 0 or 2");
  bool anyPair = false;
  for (const bool pair : c.pairs) anyPair = anyPair || pair;
  if (!anyPair) broken("at least one pair to split");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> arguments;
  for (std::size_t start = 0; !input.empty() && start <= input.size() && arguments.size() < MaxArguments;) {
    const std::size_t end = std::min(input.find('\0', start), input.size());
    arguments.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }

  const CommandLine line = parseCommandLine(arguments);
  if (const auto* run = std::get_if<RunTable>(&line)) {
    checkCase(run->options.single);
    if (run->options.threads < 0) broken("threads not negative");
    if (run->options.cacheBudget == 0) broken("a dealer cache budget above 0");
  } else if (const auto* text = std::get_if<ShowText>(&line)) {
    if (text->text.empty()) broken("help and version have text");
  } else {
    const std::string& reason = std::get<RefuseCommandLine>(line).reason;
    if (reason.empty()) broken("a refusal has a reason");
    if (reason.find('\n') != std::string::npos && input.find('\n') == std::string_view::npos)
      broken("a refusal is one line");
  }
  return 0;
}
