#pragma once

// The table program's results and their three formats. Pure functions of
// the results: text (as the split report prints its numbers, 15 significant
// digits), CSV (RFC 4180) and JSON (both with 17 significant digits, so
// every number reads back to the same double).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "split/player_hand_state.h"
#include "split/split_views.h"
#include "table/table_case.h"

// The two views of every quantity, in output order.
enum class View { Unconditional = 0, Conditioned = 1 };
constexpr int ViewCount = 2;

// One quantity of a pair (split, split_joint, stand, hit, double) in both
// views. Entry 0 is the overall value, entry u the value against up card u;
// an entry not shown is an up card that cannot be dealt, or a play the
// rules do not allow for the pair.
struct QuantityValues {
  std::string name;      // "split", "split_joint", "stand", "hit" or "double"
  bool complete = true;  // false: some branch needed a card the shoe no longer had
  bool allowed = true;   // false: the rules do not allow this play (no entry shown)
  EntrySet computed = AllEntries;  // false: the entry was not asked for (left out, not shown)
  std::array<std::array<ShownValue, ValueCount>, ViewCount> views{};

  const ShownValue& at(View view, int entry) const {
    return views[static_cast<std::size_t>(view)][static_cast<std::size_t>(entry)];
  }
};

// The plays of the decision, in the order exact ties prefer them.
enum class Action { Stand, Hit, Double, Split };
std::string_view actionName(Action action);

// The best play per entry (as QuantityValues); nothing for an up card that
// cannot be dealt.
using BestActions = std::array<std::optional<Action>, ValueCount>;

enum class PairStatus {
  Computed,
  CannotBeDealt,  // fewer than two cards of the pair left after the removals
  OutOfMemory,    // this pair's computation did not fit
  TooLarge,       // split_perfect would need more than the memory budget
};

struct PairReport {
  Rank pair = Ace;
  PairStatus status = PairStatus::Computed;
  std::vector<QuantityValues> quantities;  // when computed
  std::optional<BestActions> best;         // when the whole decision was computed
  std::size_t neededBytes = 0;             // TooLarge: the estimate
  bool neededAtLeast = false;              // TooLarge: the estimate is only a lower bound
};

// Everything one case prints: the case itself and its pairs, ace first.
struct CaseReport {
  TableCase table;
  std::vector<PairReport> pairs;
};

// Why a pair has no values, as every format words it.
std::string_view pairStatusText(PairStatus status);

// What the text format shows: the split tables, the decision tables, or both.
enum class TextShow { Split, Decision, All };

// A header line with the shoe and the rules, then per view a table of the
// split (a row per pair, columns SPL1, 2..9, T, A) and/or a table of the
// decision (per pair a row for each quantity, then the best play). A row
// whose results are incomplete is marked with "*" and explained below the
// tables.
std::string formatText(const CaseReport& report, TextShow show = TextShow::Split);

// Header, then one CRLF-ended row per pair, quantity and view, and a row of
// best plays (view unconditional) when the decision was computed; a pair
// that has no values has no rows.
std::string formatCsv(const CaseReport& report);

// One JSON object on one line, ended by a newline.
std::string formatJson(const CaseReport& report);

// The line a batch writes for an input line it refuses.
std::string formatBatchError(std::int64_t line, std::string_view reason);

// ", resplit to 3 hands, no RSA": how far split_perfect resplits.
std::string resplitSummary(const ResplitRules& resplit);

// "pair 2: values 45%, 0:12 elapsed, about 0:15 left": a long computation's progress.
std::string formatPhaseProgress(std::string_view subject, std::string_view phase, double share, double elapsedSeconds);

// "3/10 pairs, 0:12 elapsed, about 0:28 left", or without a total
// "12 cases, 1:40 elapsed, about 0:08 a case".
std::string formatProgress(std::int64_t done, std::optional<std::int64_t> total, std::string_view unit,
                           double elapsedSeconds);
