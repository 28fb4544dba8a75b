#pragma once

// The table program's command line. A command line is not a menu: a value
// out of range or malformed is refused with a one-line reason, never
// clamped.

#include <cstddef>
#include <string>
#include <variant>
#include <vector>

#include "table/table_case.h"
#include "table/table_format.h"

enum class OutputFormat { Text, Csv, Json };

// Half the machine's memory, in bytes (1 GiB when it cannot be told).
std::size_t defaultMemoryBudget();

// Whether to keep a progress line on standard error.
enum class ProgressMode {
  WhenTerminal,  // only when standard error is a terminal
  Always,
  Never,
};

struct TableOptions {
  TableCase single;  // the case of a single run (unused with batch)
  OutputFormat format = OutputFormat::Text;
  TextShow show = TextShow::Split;  // the tables of the text format
  ProgressMode progress = ProgressMode::WhenTerminal;
  bool batch = false;  // cases come as JSON lines on standard input
  int threads = 0;     // 0: one per core
  // Bytes the dealer cache may hold before it is cleared.
  std::size_t cacheBudget = std::size_t{4} << 30;
  // Bytes split_perfect may hold (default half the machine's memory).
  std::size_t memoryBudget = defaultMemoryBudget();
};

// What a command line asks for.
struct RunTable {
  TableOptions options;
};
struct ShowText {  // --help or --version: the text for standard output
  std::string text;
};
struct RefuseCommandLine {  // one line, without the program name or a line end
  std::string reason;
};
using CommandLine = std::variant<RunTable, ShowText, RefuseCommandLine>;

// Reads the arguments after the program name. Pure: prints nothing.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);
