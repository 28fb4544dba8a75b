// splitev-table's command line parser on arbitrary arguments: the input is
// split at each NUL into the arguments after the program name (none when it
// is empty). It must
// return, never crash or throw; a case it accepts must be one the program
// can run, and a refusal is one non-empty line without a control character
// (the arguments it quotes are shown escaped).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fuzz/table_case_check.h"
#include "table/command_line.h"

namespace {

// Enough for every option and value at once, and then some.
constexpr std::size_t MaxArguments = 64;

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
    if (run->options.cacheBudgetMiB == 0) broken("a dealer cache budget above 0");
  } else if (const auto* text = std::get_if<ShowText>(&line)) {
    if (text->text.empty()) broken("help and version have text");
  } else {
    const std::string& reason = std::get<RefuseCommandLine>(line).reason;
    if (reason.empty()) broken("a refusal has a reason");
    if (std::any_of(reason.begin(), reason.end(), [](char c) { return (c >= 0 && c < 0x20) || c == 0x7f; }))
      broken("a refusal is one line without control characters");
  }
  return 0;
}
