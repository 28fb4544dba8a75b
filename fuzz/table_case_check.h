#pragma once

// What every case splitev-table accepts must satisfy, whether it came from
// the command line or a batch line: the fuzzers abort on a broken one.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "table/table_case.h"

[[noreturn]] inline void broken(const char* invariant) {
  std::fprintf(stderr, "invariant broken: %s\n", invariant);
  std::abort();
}

inline void checkCase(const TableCase& c) {
  if (c.decks < 1 || c.decks > TableMaxDecks) broken("decks within 1..41297762");
  for (int rank = 1; rank <= RankCount; ++rank) {
    const std::int64_t removed = c.removed[static_cast<std::size_t>(rankIndex(rank))];
    const std::int64_t bound = std::int64_t{rank == Ten ? 16 : 4} * c.decks;
    if (removed < 0 || removed > bound) broken("removals within 0..the full shoe's count");
  }
  const RuleSet& rules = c.rules;
  if (rules.charlie5 && rules.charlie6) broken("at most one charlie rule");
  if (rules.dspa && !(rules.das && rules.hsa)) broken("dspa only with das and hsa");
  if (rules.dealerBjRule != DealerBjRule::FullPeek && rules.dealerBjRule != DealerBjRule::NoPeek)
    broken("the dealer blackjack rule is 0 or 2");
  if (c.resplit.hands < 2 || c.resplit.hands > 4) broken("hands within 2..4");
  bool anyEntry = false;
  for (const bool entry : c.upCards) anyEntry = anyEntry || entry;
  if (!anyEntry) broken("at least one entry of split_perfect");
  bool anyPair = false;
  for (const bool pair : c.pairs) anyPair = anyPair || pair;
  if (!anyPair) broken("at least one pair to split");
}
