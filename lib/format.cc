// splitev-table's three formats of the public results.

#include "splitev/format.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#include "lib/engine_case.h"
#include "model/rules_summary.h"
#include "model/shoe.h"
#include "split/split_views.h"

namespace splitev {

namespace {

// Value entries in output order: overall, 2..9, ten, ace.
constexpr std::array<int, EntryCount> EntryOrder = {0, 2, 3, 4, 5, 6, 7, 8, 9, Ten, Ace};
constexpr std::array<std::string_view, ViewCount> ViewNames = {"unconditional", "conditioned"};
// The report's own words for each view.
constexpr std::array<std::string_view, ViewCount> ViewTitles = {"Unconditional EV",
                                                                "EV conditioned on no dealer BJ"};
constexpr std::string_view NotDealt = "X X X X X";
constexpr std::string_view IncompleteMark = "*";
constexpr std::string_view SplitName = "split";
constexpr std::string_view BestName = "best";

// The name of an entry in headers and JSON keys.
std::string_view entryName(int entry, std::string_view overallName) {
  return entry == 0 ? overallName : rankName(entry);
}

// %.{digits}g, as printf and an ostream of that precision write it.
std::string digitsOf(double value, int digits) {
  std::array<char, 64> text{};
  const auto [end, error] =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, digits);
  return error == std::errc() ? std::string(text.data(), end) : std::string();
}

// 17 significant digits: reads back to the same double.
std::string exactDigits(double value) { return digitsOf(value, 17); }

std::string_view viewName(int view) { return ViewNames[static_cast<std::size_t>(view)]; }
View viewAt(int view) { return static_cast<View>(view); }

// Whether a table that show prints has a row marked incomplete.
bool anyIncompleteShown(const Results& report, Show show) {
  for (const PairResult& pair : report.pairs)
    for (const QuantityResult& quantity : pair.quantities)
      if (!quantity.complete && (show != Show::Split || quantity.name == SplitName)) return true;
  return false;
}

// ", resplit to 3 hands, no RSA": how far split_perfect resplits.
std::string resplitSummary(const ResplitRules& resplit) {
  return ", resplit to " + std::to_string(resplit.hands) + " hands, " + (resplit.resplitAces ? "RSA" : "no RSA");
}

// The shoe the removals leave, and the rules, on one line.
std::string headerLine(const Case& input) {
  const EngineCase table = engineCase(input);
  const ShoeCounts left = availableCounts(Shoe(table.decks), table.removed);
  std::string text = std::to_string(table.decks) + (table.decks == 1 ? " deck" : " decks") + ", shoe comp (A-T): {";
  for (std::size_t i = 0; i < left.size(); ++i) text += (i > 0 ? ", " : "") + std::to_string(left[i]);
  text += "}; " + rulesSummary(table.rules);
  const std::string doubling = doublingSummary(table.rules);
  if (!doubling.empty()) text += ", " + doubling;
  return text + resplitSummary(table.resplit) + "\n";
}

// The text cells of one table: a header row, then the rows. A row with
// fewer cells than the header ends in a reason (a pair without values, a
// play not allowed), which runs on past its column.
using TextRows = std::vector<std::vector<std::string>>;

// A value cell as the report prints it; non-negative values get a blank
// where the sign goes, so the decimal points line up.
std::string textCell(const std::optional<double>& value, bool computed = true) {
  if (!computed) return " -";
  const std::string digits = value ? digitsOf(*value, 15) : std::string(NotDealt);
  return digits.front() == '-' ? digits : std::string(" ").append(digits);
}

// Left-aligned columns two blanks apart.
std::string renderTable(const TextRows& rows) {
  std::vector<std::size_t> widths(rows.front().size());
  for (const auto& row : rows) {
    const std::size_t sized = row.size() < widths.size() ? row.size() - 1 : row.size();
    for (std::size_t i = 0; i < sized; ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  std::string text;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
    }
    text += line + "\n";
  }
  return text;
}

// A best play as its cell: a blank where the sign of a value goes.
std::string playCell(const std::optional<Play>& play) {
  return std::string(" ").append(play ? playName(*play) : NotDealt);
}

std::string marked(std::string_view text, bool complete) {
  return std::string(text).append(complete ? "" : IncompleteMark);
}

// The header row: the leading cells, then SPL1, 2..9, T, A.
std::vector<std::string> headerRow(std::vector<std::string> leading) {
  for (int entry : EntryOrder) leading.push_back(std::string(" ").append(entryName(entry, "SPL1")));
  return leading;
}

// The split table of one view, with the report's title: a row per pair.
std::string splitTable(const Results& report, int view) {
  TextRows rows = {headerRow({"pair"})};
  for (const PairResult& pair : report.pairs) {
    const std::string& label = pair.pair;
    if (pair.error) {
      rows.push_back({label, *pair.error});
      continue;
    }
    for (const QuantityResult& values : pair.quantities) {
      if (values.name != SplitName) continue;
      std::vector<std::string> row = {marked(label, values.complete)};
      for (int entry : EntryOrder) row.push_back(textCell(values.at(viewAt(view), entry)));
      rows.push_back(row);
    }
  }
  return std::string(ViewTitles[static_cast<std::size_t>(view)]) + "\n" + renderTable(rows);
}

// The decision table of one view: per pair a row for each quantity and,
// in the unconditional view, the best play.
std::string decisionTable(const Results& report, int view) {
  TextRows rows = {headerRow({"pair", "play"})};
  for (const PairResult& pair : report.pairs) {
    std::string label = pair.pair;
    if (pair.error) {
      rows.push_back({label, *pair.error});
      continue;
    }
    for (const QuantityResult& values : pair.quantities) {
      std::vector<std::string> row = {label, marked(values.name, values.complete)};
      if (!values.allowed) row.push_back("not allowed");
      for (int entry : EntryOrder) {
        if (values.allowed)
          row.push_back(textCell(values.at(viewAt(view), entry), values.computed[static_cast<std::size_t>(entry)]));
      }
      rows.push_back(row);
      label.clear();
    }
    if (pair.best && viewAt(view) == View::Unconditional) {
      std::vector<std::string> row = {label, marked(BestName, pair.best->complete)};
      for (int entry : EntryOrder) row.push_back(playCell(pair.best->plays[static_cast<std::size_t>(entry)]));
      rows.push_back(row);
    }
  }
  return "Decision: " + std::string(ViewTitles[static_cast<std::size_t>(view)]) + "\n" + renderTable(rows);
}

// A JSON number that reads back exactly; null when not shown.
std::string jsonValue(const std::optional<double>& value) {
  if (!value || !std::isfinite(*value)) return "null";
  return exactDigits(*value);
}

std::string jsonString(std::string_view text) {
  return nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// JSON literals, also used in the CSV.
std::string boolText(bool value) { return value ? "true" : "false"; }

std::string jsonRules(const Rules& rules) {
  return "{\"soft17\":" + jsonString(rules.soft17 == Soft17::Stand ? "stand" : "hit") +
         ",\"double\":" + jsonString(doubleRuleName(rules.doubling)) + ",\"peek\":" + boolText(rules.peek) +
         ",\"das\":" + boolText(rules.das) + ",\"hsa\":" + boolText(rules.hsa) + ",\"dspa\":" + boolText(rules.dspa) +
         ",\"charlie\":" + std::to_string(rules.charlie) + ",\"dan\":" + boolText(rules.dan) +
         ",\"hands\":" + std::to_string(rules.hands) + ",\"resplit_aces\":" + boolText(rules.resplitAces) + "}";
}

std::string jsonQuantity(const QuantityResult& values) {
  std::string text = jsonString(values.name) + ":{\"complete\":" + boolText(values.complete);
  for (int view = 0; view < ViewCount; ++view) {
    text += ",";
    text += jsonString(viewName(view));
    text += ":{";
    bool first = true;
    for (std::size_t i = 0; i < EntryOrder.size(); ++i) {
      if (!values.computed[static_cast<std::size_t>(EntryOrder[i])]) continue;
      if (!first) text += ",";
      first = false;
      text += jsonString(entryName(EntryOrder[i], "overall"));
      text += ":";
      text += jsonValue(values.at(viewAt(view), EntryOrder[i]));
    }
    text += "}";
  }
  return text + "}";
}

// The best plays, in the unconditional view only: both views rank the plays
// alike. complete as for the CSV's best row: false when any compared value is.
std::string jsonBest(const BestPlays& best) {
  std::string text =
      jsonString(BestName) + ":{\"complete\":" + boolText(best.complete) + "," + jsonString(viewName(0)) + ":{";
  for (std::size_t i = 0; i < EntryOrder.size(); ++i) {
    const std::optional<Play>& play = best.plays[static_cast<std::size_t>(EntryOrder[i])];
    if (i > 0) text += ",";
    text += jsonString(entryName(EntryOrder[i], "overall"));
    text += ":";
    text += play ? jsonString(playName(*play)) : "null";
  }
  return text + "}}";
}

}  // namespace

std::string_view playName(Play play) {
  switch (play) {
    case Play::Stand:
      return "stand";
    case Play::Hit:
      return "hit";
    case Play::Double:
      return "double";
    case Play::Split:
      return "split";
  }
  return "";
}

std::string toText(const Results& report, Show show) {
  check(report.input);
  std::string text = headerLine(report.input);
  for (int view = 0; view < ViewCount && show != Show::Decision; ++view) {
    text += "\n";
    text += splitTable(report, view);
  }
  for (int view = 0; view < ViewCount && show != Show::Split; ++view) {
    text += "\n";
    text += decisionTable(report, view);
  }
  if (anyIncompleteShown(report, show)) {
    text += "\n";
    text += IncompleteMark;
    text += " the shoe ran out of cards in some branch: these values are what the model gives, not what a real "
            "round would\n";
  }
  return text;
}

std::string toCsv(const Results& report) {
  check(report.input);
  std::string text = "pair,quantity,view";
  for (int entry : EntryOrder) {
    text += ",";
    text += entryName(entry, "overall");
  }
  text += ",complete\r\n";
  for (const PairResult& pair : report.pairs) {
    for (const QuantityResult& values : pair.quantities) {
      for (int view = 0; view < ViewCount; ++view) {
        text += pair.pair + "," + values.name + "," + std::string(viewName(view));
        for (int entry : EntryOrder) {
          const std::optional<double>& value = values.at(viewAt(view), entry);
          text += ",";
          if (value && values.computed[static_cast<std::size_t>(entry)]) text += exactDigits(*value);
        }
        text += ",";
        text += boolText(values.complete);
        text += "\r\n";
      }
    }
    if (!pair.best) continue;
    text += pair.pair + "," + std::string(BestName) + "," + std::string(viewName(0));
    for (int entry : EntryOrder) {
      const std::optional<Play>& play = pair.best->plays[static_cast<std::size_t>(entry)];
      text += ",";
      if (play) text += playName(*play);
    }
    text += ",";
    text += boolText(pair.best->complete);
    text += "\r\n";
  }
  return text;
}

std::string toJson(const Results& report) {
  check(report.input);
  const Case& table = report.input;
  std::string text = "{\"decks\":" + std::to_string(table.decks) + ",\"removed\":[";
  for (std::size_t i = 0; i < table.removed.size(); ++i) {
    if (i > 0) text += ",";
    text += std::to_string(table.removed[i]);
  }
  text += "],\"rules\":" + jsonRules(table.rules) + ",\"results\":[";
  for (std::size_t p = 0; p < report.pairs.size(); ++p) {
    const PairResult& pair = report.pairs[p];
    text += (p > 0 ? ",{\"pair\":" : "{\"pair\":") + jsonString(pair.pair);
    if (pair.error) text += ",\"error\":" + jsonString(*pair.error);
    for (const QuantityResult& values : pair.quantities) {
      text += ",";
      text += jsonQuantity(values);
    }
    if (pair.best) {
      text += ",";
      text += jsonBest(*pair.best);
    }
    text += "}";
  }
  return text + "]}\n";
}

}  // namespace splitev
