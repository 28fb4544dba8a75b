#pragma once

// splitev-table's three output formats, as pure functions of the results:
// the program prints exactly these. Each throws Error when the results'
// case is one check() refuses (results evaluate did not give).

#include <string>

#include "splitev/results.h"

namespace splitev {

// The tables of the text format: the split, the decision, or both.
enum class Show { Split, Decision, All };

// A header line with the shoe and the rules, then per view the split table
// (a row per pair; columns SPL1 overall, 2..9, T, A) and/or the decision
// table (per pair a row for each quantity, then the best play); values with
// 15 significant digits, incomplete rows marked "*" and explained below.
std::string toText(const Results& results, Show show = Show::Split);

// RFC 4180 with CRLF line ends: a header, then a row per pair, quantity
// and view, and a row of best plays; 17 significant digits.
std::string toCsv(const Results& results);

// One JSON object on one line, ended by a newline: the line
// splitev-table --format json prints (17 significant digits, so every
// number reads back to the same double).
std::string toJson(const Results& results);

}  // namespace splitev
