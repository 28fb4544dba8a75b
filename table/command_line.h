#pragma once

// The table program's command line. A command line is not a menu: a value
// out of range or malformed is refused with a one-line reason, never
// clamped.

#include <cstddef>
#include <string>
#include <variant>
#include <vector>

#include <splitev/case.h>
#include <splitev/format.h>

#include "table/progress_line.h"

enum class OutputFormat { Text, Csv, Json };

struct TableOptions {
  splitev::Case single;  // the case of a single run (unused with batch)
  OutputFormat format = OutputFormat::Text;
  splitev::Show show = splitev::Show::Split;  // the tables of the text format
  ProgressMode progress = ProgressMode::WhenTerminal;
  bool batch = false;  // cases come as JSON lines on standard input
  int threads = 0;     // 0: one per core
  // MiB the dealer cache may hold before it is cleared.
  std::size_t cacheBudgetMiB = 4096;
  // MiB split_perfect may hold; 0: half the machine's memory.
  std::size_t maxMemoryMiB = 0;
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
