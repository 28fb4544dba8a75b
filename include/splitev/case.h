#pragma once

// One case to evaluate: a shoe, the cards taken out of it, the table rules
// and the pairs to split, as splitev-table takes them on its command line
// or as one line of its batch.

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace splitev {

// Ranks are numbered 1 (ace) to 10 (every ten-valued card); arrays indexed
// by rank are ace first (entry rank - 1).
inline constexpr int RankCount = 10;
// Results and up-card choices have an entry per up card and one overall:
// entry 0 overall, entry r against up card r (1 ace ... 10 ten).
inline constexpr int EntryCount = 11;
// The largest shoe, in decks.
inline constexpr std::int64_t MaxDecks = 41297762;

// Thrown for a case that is refused or cannot run. what() is the one-line
// message splitev-table gives for it (after "splitev-table: ", or as the
// "error" of a batch line).
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Soft17 { Stand, Hit };

// Which hands may be doubled; named "any", "10-11", "9-11", "10-11-soft",
// "9-11-soft", "hard" and "none", in this order.
enum class DoubleRule { AnyTwoCards, Hard10or11, Hard9to11, Hard10or11AndSoft, Hard9to11AndSoft, HardOnly, NoDoubling };

struct Rules {
  Soft17 soft17 = Soft17::Stand;                   // what the dealer does on soft 17
  DoubleRule doubling = DoubleRule::AnyTwoCards;   // which two-card hands may double
  bool peek = true;      // the dealer peeks: a dealer blackjack takes only the initial bet
  bool das = false;      // doubling after splitting
  bool hsa = false;      // hitting split aces; else one card each
  bool dspa = false;     // doubling split aces; only with das and hsa
  int charlie = 0;       // 0: no automatic win; 5 or 6: that many cards win
  bool dan = false;      // doubling on any number of cards
  int hands = 2;         // split_perfect, split_cdz and split_cdp1: resplit up to this many hands, 2..4
  bool resplitAces = false;  // those three: aces may be resplit too

  bool operator==(const Rules&) const = default;
};

// The defaults are splitev-table's: one full deck, nothing removed, every
// pair, every entry of split_perfect.
struct Case {
  std::int64_t decks = 1;                        // 1..MaxDecks
  std::array<std::int64_t, RankCount> removed{};  // cards taken out of the full shoe, ace first
  Rules rules;
  std::array<bool, RankCount> pairs = {true, true, true, true, true, true, true, true, true, true};
  // The entries of split_perfect computed (the others are left out of its
  // results); every other quantity has every entry.
  std::array<bool, EntryCount> upCards = {true, true, true, true, true, true, true, true, true, true, true};

  bool operator==(const Case&) const = default;
};

// The names a refusal gives the values it is about. The defaults are the
// batch line's keys; the table program passes its option names.
struct ValueNames {
  std::string_view decks = "decks";
  std::string_view removed = "removed";
  std::string_view charlie = "rules.charlie";
  std::string_view hands = "rules.hands";
  std::string_view dspa = "rules.dspa";
  std::string_view das = "rules.das";
  std::string_view hsa = "rules.hsa";
  std::string_view pairs = "pairs";
  std::string_view upCards = "up_cards";
};

// Refuses a case that cannot be evaluated, with the message splitev-table
// gives: decks outside 1..MaxDecks, a removal below 0 or above the full
// shoe's count of its rank, charlie other than 0, 5 or 6, hands outside
// 2..4, dspa without both das and hsa, soft17 or doubling outside its
// enumeration, no pair, no entry of split_perfect. Checked in that order;
// the first refusal is thrown (Error).
void check(const Case& c, const ValueNames& names = {});

// One line of a batch, a JSON object whose keys are all optional:
//   {"decks":N, "removed":[10 counts, ace first],
//    "rules":{"soft17":"stand"|"hit", "double":"any"|..., "peek":bool, "das":bool,
//             "hsa":bool, "dspa":bool, "charlie":0|5|6, "dan":bool,
//             "hands":2|3|4, "resplit_aces":bool},
//    "pairs":["A","2",...,"T"] or "all",
//    "up_cards":["overall","A","2",...,"T"]}
// The case, checked; or Error with the message the batch writes for the
// line (without the line number).
Case parseCase(std::string_view jsonLine);

// The names of ranks in every input and output: "A", "2".."9", "T".
std::string_view rankName(int rank);
// A rank as the user may name it: a, A or 1 for aces, 2..9, t, T or 10 for tens.
std::optional<int> parseRank(std::string_view name);
inline constexpr std::string_view RanksAllowed = "A (or a, 1), 2 to 9, T (or t, 10)";
// An entry: "overall" (0), or a rank as parseRank reads it.
std::optional<int> parseEntry(std::string_view name);
inline constexpr std::string_view EntriesAllowed = "overall, A (or a, 1), 2 to 9, T (or t, 10)";
// The doubling rules by name.
std::string_view doubleRuleName(DoubleRule rule);
std::optional<DoubleRule> parseDoubleRule(std::string_view name);
inline constexpr std::string_view DoubleRulesAllowed = "any, 10-11, 9-11, 10-11-soft, 9-11-soft, hard or none";

}  // namespace splitev
