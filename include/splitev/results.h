#pragma once

// What an evaluation gives: exactly the quantities and views that
// splitev-table's JSON output holds, in its order.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "splitev/case.h"

namespace splitev {

// The two views of every value: unconditional, and conditioned on the
// dealer not having blackjack. Output order.
enum class View { Unconditional = 0, Conditioned = 1 };
inline constexpr int ViewCount = 2;

// One quantity of a pair in both views: "split", "split_joint",
// "split_perfect", "split_cdz", "split_cdp1", "stand", "hit" or "double".
//
// An entry holds a value where the JSON has a number, and nothing where it
// has null or leaves the key out:
//  - an up card that cannot be dealt (none is left once both pair cards are
//    out): nothing, every quantity (JSON null);
//  - a play the rules do not allow (double, when the rules allow no double
//    of the pair): allowed is false and no entry holds a value (JSON null);
//  - an entry not computed (split_perfect, for the entries Case::upCards
//    leaves out): computed is false and the entry holds nothing (the JSON
//    leaves its key out).
struct QuantityResult {
  std::string name;
  bool complete = true;  // false: some branch needed a card the shoe no longer had
  bool allowed = true;
  std::array<bool, EntryCount> computed = {true, true, true, true, true, true, true, true, true, true, true};
  std::array<std::array<std::optional<double>, EntryCount>, ViewCount> views{};

  const std::optional<double>& at(View view, int entry) const {
    return views[static_cast<std::size_t>(view)][static_cast<std::size_t>(entry)];
  }
};

// The plays of the decision, in the order exact ties prefer them.
enum class Play { Stand, Hit, Double, Split };
// "stand", "hit", "double", "split".
std::string_view playName(Play play);

// The play with the highest unconditional value per entry (both views rank
// the plays alike); nothing for an up card that cannot be dealt.
struct BestPlays {
  bool complete = true;  // false when any value compared is incomplete
  std::array<std::optional<Play>, EntryCount> plays{};
};

enum class PairStatus {
  Computed,
  CannotBeDealt,  // fewer than two cards of the pair are left after the removals
  OutOfMemory,    // this pair's computation did not fit in memory
  TooLarge,       // split_perfect would need more than the evaluator's memory limit
};

struct PairResult {
  std::string pair;                  // "A", "2".."9", "T"
  PairStatus status = PairStatus::Computed;
  std::optional<std::string> error;  // why the pair has no values (the JSON "error"); only when not Computed
  // In output order: split, then with the whole decision split_joint,
  // split_perfect, split_cdz, split_cdp1, stand, hit, double. Empty when
  // the pair was not computed.
  std::vector<QuantityResult> quantities;
  std::optional<BestPlays> best;  // when the whole decision was computed
  // TooLarge: the memory split_perfect would need, and whether that is only
  // a lower bound.
  std::size_t neededBytes = 0;
  bool neededAtLeast = false;
};

// A case and its pairs, ace first (those the case asks for).
struct Results {
  Case input;
  std::vector<PairResult> pairs;
};

}  // namespace splitev
