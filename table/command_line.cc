#include "table/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "table/shown_text.h"

#ifndef SPLITEV_VERSION
#define SPLITEV_VERSION "unknown"
#endif

namespace {

constexpr std::int64_t MaxThreads = 1024;
constexpr std::int64_t MaxCacheBudgetMiB = std::int64_t{1} << 24;  // 16 TiB
constexpr std::int64_t DefaultCacheBudgetMiB = 4096;
constexpr std::int64_t MaxMemoryBudgetMiB = std::int64_t{1} << 24;  // 16 TiB

// The option values as typed; every one is checked here, not by CLI11, so
// that each refusal names the option and what it allows.
struct TypedValues {
  std::string decks = "1";
  std::string removed;
  std::string doubling = "any";
  std::string charlie;
  std::string pairs = "all";
  std::string format = "text";
  std::string show = "split";
  std::string threads = "0";
  std::string cacheBudget = std::to_string(DefaultCacheBudgetMiB);
  std::string hands = "2";
  std::string upCards;
  std::string maxMemory;
  bool resplitAces = false;
  bool h17 = false;
  bool noPeek = false;
  bool das = false;
  bool hsa = false;
  bool dspa = false;
  bool dan = false;
  bool progress = false;
  bool noProgress = false;
  bool batch = false;
};

// The value is the user's: shown escaped and cut short, so that it can
// neither pass for a line of its own nor reach the terminal as a control code.
std::string refusedValue(std::string_view option, std::string_view value, std::string_view allowed) {
  return std::string(option) + ": \"" + shownText(value) + "\" is not allowed; allowed: " + std::string(allowed);
}

// A whole number in [low, high], or the refusal.
std::variant<std::int64_t, std::string> wholeNumberIn(std::string_view option, std::string_view text,
                                                      std::int64_t low, std::int64_t high) {
  const std::optional<std::int64_t> n = parseWholeNumber(text);
  if (n && *n >= low && *n <= high) return *n;
  return refusedValue(option, text,
                      "a whole number from " + std::to_string(low) + " to " + std::to_string(high));
}

// Splits "a,b,c" at the commas; an empty text gives one empty item.
std::vector<std::string_view> commaItems(std::string_view text) {
  std::vector<std::string_view> items;
  for (std::size_t start = 0;;) {
    const std::size_t comma = text.find(',', start);
    items.push_back(text.substr(start, comma == text.npos ? text.npos : comma - start));
    if (comma == text.npos) return items;
    start = comma + 1;
  }
}

// Every typed value into the options, or the first refusal.
std::variant<TableOptions, std::string> checkedOptions(const TypedValues& typed) {
  TableOptions options;
  splitev::Case& c = options.single;
  // The library's checks, with the options' names in their messages; each
  // runs once the values it checks are in, so the first refusal is the
  // first bad option in the order below.
  splitev::ValueNames names;
  names.removed = "--removed";
  names.dspa = "--dspa";
  names.das = "--das";
  names.hsa = "--hsa";
  const auto refusalOf = [&]() -> std::optional<std::string> {
    try {
      splitev::check(c, names);
    } catch (const splitev::Error& error) {
      return error.what();
    }
    return std::nullopt;
  };

  const auto decks = wholeNumberIn("--decks", typed.decks, 1, splitev::MaxDecks);
  if (const auto* refusal = std::get_if<std::string>(&decks)) return *refusal;
  c.decks = std::get<std::int64_t>(decks);

  if (!typed.removed.empty()) {
    const std::string_view allowed = "ten whole numbers A,2,3,4,5,6,7,8,9,T, for example 0,0,0,0,0,0,0,0,0,4";
    const std::vector<std::string_view> items = commaItems(typed.removed);
    if (items.size() != splitev::RankCount) return refusedValue("--removed", typed.removed, allowed);
    for (std::size_t i = 0; i < items.size(); ++i) {
      const std::optional<std::int64_t> n = parseWholeNumber(items[i]);
      if (!n) return refusedValue("--removed", typed.removed, allowed);
      c.removed[i] = *n;
    }
    if (auto refusal = refusalOf()) return *refusal;
  }

  splitev::Rules& rules = c.rules;
  rules.soft17 = typed.h17 ? splitev::Soft17::Hit : splitev::Soft17::Stand;
  const std::optional<splitev::DoubleRule> doubling = splitev::parseDoubleRule(typed.doubling);
  if (!doubling) return refusedValue("--double", typed.doubling, splitev::DoubleRulesAllowed);
  rules.doubling = *doubling;
  rules.peek = !typed.noPeek;
  rules.das = typed.das;
  rules.hsa = typed.hsa;
  rules.dspa = typed.dspa;
  rules.dan = typed.dan;
  if (!typed.charlie.empty()) {
    const std::optional<std::int64_t> cards = parseWholeNumber(typed.charlie);
    if (!cards || (*cards != 5 && *cards != 6)) return refusedValue("--charlie", typed.charlie, "5 or 6");
    rules.charlie = static_cast<int>(*cards);
  }
  if (auto refusal = refusalOf()) return *refusal;

  const auto hands = wholeNumberIn("--hands", typed.hands, 2, 4);
  if (const auto* refusal = std::get_if<std::string>(&hands)) return *refusal;
  rules.hands = static_cast<int>(std::get<std::int64_t>(hands));
  rules.resplitAces = typed.resplitAces;

  if (!typed.upCards.empty()) {
    c.upCards = {};
    for (std::string_view name : commaItems(typed.upCards)) {
      const std::optional<int> entry = splitev::parseEntry(name);
      if (!entry)
        return refusedValue("--up-cards", typed.upCards,
                            std::string("a comma list of ") + std::string(splitev::EntriesAllowed));
      c.upCards[static_cast<std::size_t>(*entry)] = true;
    }
  }

  if (typed.pairs != "all") {
    c.pairs = {};
    for (std::string_view name : commaItems(typed.pairs)) {
      const std::optional<int> pair = splitev::parseRank(name);
      if (!pair)
        return refusedValue("--pairs", typed.pairs,
                            std::string("all, or a comma list of ") + std::string(splitev::RanksAllowed));
      c.pairs[static_cast<std::size_t>(*pair - 1)] = true;
    }
  }

  if (typed.format == "text") {
    options.format = OutputFormat::Text;
  } else if (typed.format == "csv") {
    options.format = OutputFormat::Csv;
  } else if (typed.format == "json") {
    options.format = OutputFormat::Json;
  } else {
    return refusedValue("--format", typed.format, "text, csv or json");
  }

  if (typed.show == "split") {
    options.show = splitev::Show::Split;
  } else if (typed.show == "decision") {
    options.show = splitev::Show::Decision;
  } else if (typed.show == "all") {
    options.show = splitev::Show::All;
  } else {
    return refusedValue("--show", typed.show, "split, decision or all");
  }

  const auto threads = wholeNumberIn("--threads", typed.threads, 0, MaxThreads);
  if (const auto* refusal = std::get_if<std::string>(&threads)) return *refusal;
  options.threads = static_cast<int>(std::get<std::int64_t>(threads));

  const auto budget = wholeNumberIn("--cache-budget", typed.cacheBudget, 1, MaxCacheBudgetMiB);
  if (const auto* refusal = std::get_if<std::string>(&budget)) return *refusal;
  options.cacheBudgetMiB = static_cast<std::size_t>(std::get<std::int64_t>(budget));

  if (!typed.maxMemory.empty()) {
    const auto memory = wholeNumberIn("--max-memory", typed.maxMemory, 1, MaxMemoryBudgetMiB);
    if (const auto* refusal = std::get_if<std::string>(&memory)) return *refusal;
    options.maxMemoryMiB = static_cast<std::size_t>(std::get<std::int64_t>(memory));
  }

  options.batch = typed.batch;
  return options;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
  CLI::App app("Exact EVs of splitting each pair once, against every dealer up card, as a table.\n"
               "Cases from the command line, or with --batch one JSON object per line of standard input.",
               "splitev-table");
  app.set_version_flag("--version", "splitev-table " SPLITEV_VERSION);
  app.get_formatter()->column_width(34);
  TypedValues typed;

  // Options that describe the case; --batch reads the case from its lines instead.
  const std::vector<CLI::Option*> caseOptions = {
      app.add_option("--decks", typed.decks, "decks in the shoe, 1 to " + std::to_string(splitev::MaxDecks) + " (default 1)")
          ->type_name("N"),
      app.add_option("--removed", typed.removed, "cards removed per rank, ten counts A,2,...,9,T (default none)")
          ->type_name("COUNTS"),
      app.add_flag("--h17", typed.h17, "the dealer hits soft 17 (default: stands)"),
      app.add_option("--double", typed.doubling,
                     "doubling rule: any, 10-11, 9-11, 10-11-soft, 9-11-soft, hard or none (default any)")
          ->type_name("RULE"),
      app.add_flag("--no-peek", typed.noPeek, "the dealer does not peek: a dealer blackjack takes every bet"),
      app.add_flag("--das", typed.das, "doubling after splitting"),
      app.add_flag("--hsa", typed.hsa, "hitting split aces"),
      app.add_flag("--dspa", typed.dspa, "doubling split aces (needs --das and --hsa)"),
      app.add_option("--charlie", typed.charlie, "that many cards win automatically: 5 or 6 (default: no)")
          ->type_name("5|6"),
      app.add_flag("--dan", typed.dan, "doubling on any number of cards"),
      app.add_option("--pairs", typed.pairs, "pairs to split: all, or a comma list of A,2,...,9,T (default all)")
          ->type_name("PAIRS"),
      app.add_option("--hands", typed.hands, "split_perfect, split_cdz and split_cdp1: resplit up to this many hands, 2 to 4 (default 2)")
          ->type_name("N"),
      app.add_flag("--resplit-aces", typed.resplitAces, "split_perfect, split_cdz and split_cdp1: aces may be resplit too"),
      app.add_option("--up-cards", typed.upCards,
                     "split_perfect: compute only these entries, a comma list of overall,A,2,...,9,T (default all)")
          ->type_name("LIST"),
  };
  CLI::Option* format =
      app.add_option("--format", typed.format, "text, csv or json (default text)")->type_name("FORMAT");
  CLI::Option* show = app.add_option("--show", typed.show,
                                     "text tables: split, decision (split, split_joint, stand, hit, double and "
                                     "the best play per pair) or all (default split)")
                          ->type_name("TABLES");
  CLI::Option* progress = app.add_flag(
      "--progress", typed.progress, "a progress line on standard error (default: when it is a terminal)");
  CLI::Option* noProgress = app.add_flag("--no-progress", typed.noProgress, "no progress line");
  app.add_option("--threads", typed.threads, "worker threads, 0 for one per core (default 0)")->type_name("N");
  app.add_option("--cache-budget", typed.cacheBudget,
                 "MiB the dealer cache may hold before it is cleared (default 4096)")
      ->type_name("MIB");
  app.add_option("--max-memory", typed.maxMemory,
                 "MiB split_perfect may hold; it works on fewer up cards at a time to fit (default half the "
                 "machine's memory)")
      ->type_name("MIB");
  app.add_flag("--batch", typed.batch,
               "read cases as JSON lines from standard input; write one JSON line for each");

  // A flag is on when given and off when not: a value would be guessed at
  // (CLI11 reads "--das=0" as off and "--h17=2" as on), so none is taken.
  for (const std::string& argument : arguments) {
    if (argument == "--") break;
    const std::size_t equals = argument.find('=');
    if (argument.rfind("--", 0) != 0 || equals == std::string::npos) continue;
    const std::string name = argument.substr(0, equals);
    for (const CLI::Option* option : app.get_options()) {
      if (option->get_expected_max() == 0 && option->check_name(name))
        return RefuseCommandLine{refusedValue(name, argument.substr(equals + 1), "nothing: the flag alone")};
    }
  }

  // Unknown arguments are refused below, one at a time, in their order.
  app.allow_extras();
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    return ShowText{app.help()};
  } catch (const CLI::CallForVersion& version) {
    return ShowText{std::string(version.what()) + "\n"};
  } catch (const CLI::ParseError& error) {
    // Its messages name options, not values; escaped all the same.
    return RefuseCommandLine{shownText(error.what(), std::string::npos)};
  }

  if (const std::vector<std::string> extras = app.remaining(); !extras.empty()) {
    const std::string& first = extras.front();
    if (first.size() > 1 && first.front() == '-') return RefuseCommandLine{shownText(first) + ": unknown option"};
    return RefuseCommandLine{"\"" + shownText(first) + "\": unexpected argument; every value follows its option"};
  }
  auto checked = checkedOptions(typed);
  if (auto* refusal = std::get_if<std::string>(&checked)) return RefuseCommandLine{*refusal};
  TableOptions& options = std::get<TableOptions>(checked);
  if (progress->count() > 0 && noProgress->count() > 0)
    return RefuseCommandLine{"--progress: cannot be given with --no-progress"};
  if (progress->count() > 0) options.progress = ProgressMode::Always;
  if (noProgress->count() > 0) options.progress = ProgressMode::Never;

  if (show->count() > 0 && (options.batch || options.format != OutputFormat::Text))
    return RefuseCommandLine{"--show: chooses the tables of --format text; CSV and JSON always hold every quantity"};
  if (options.batch) {
    for (const CLI::Option* given : caseOptions) {
      if (given->count() > 0)
        return RefuseCommandLine{"--batch: each line gives its own case; " + given->get_name() +
                                 " cannot be given with it"};
    }
    if (format->count() > 0 && options.format != OutputFormat::Json)
      return RefuseCommandLine{"--batch: writes JSON lines; --format " + typed.format + " cannot be given with it"};
  }
  return RunTable{options};
}
