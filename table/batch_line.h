#pragma once

// One line of a batch: a JSON object whose keys are all optional and named
// as in the JSON output:
//   {"decks":N, "removed":[10 counts, ace first],
//    "rules":{"soft17":"stand"|"hit", "double":"any"|..., "peek":bool, "das":bool,
//             "hsa":bool, "dspa":bool, "charlie":0|5|6, "dan":bool,
//             "hands":2|3|4, "resplit_aces":bool},
//    "pairs":["A","2",...,"T"] or "all"}
// Values are checked as on the command line.

#include <string>
#include <string_view>
#include <variant>

#include "table/table_case.h"

// The case, or a one-line reason the line is refused. Pure.
std::variant<TableCase, std::string> parseBatchLine(std::string_view line);
