#pragma once

// What every case splitev-table accepts must satisfy, whether it came from
// the command line or a batch line: the fuzzers abort on a broken one.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <splitev/case.h>

[[noreturn]] inline void broken(const char* invariant) {
  std::fprintf(stderr, "invariant broken: %s\n", invariant);
  std::abort();
}

inline void checkCase(const splitev::Case& c) {
  if (c.decks < 1 || c.decks > splitev::MaxDecks) broken("decks within 1..MaxDecks");
  for (int rank = 1; rank <= splitev::RankCount; ++rank) {
    const std::int64_t removed = c.removed[static_cast<std::size_t>(rank - 1)];
    if (removed < 0 || removed > (rank == 10 ? 16 : 4) * c.decks) broken("removals within 0..the full shoe's count");
  }
  const splitev::Rules& rules = c.rules;
  if (rules.charlie != 0 && rules.charlie != 5 && rules.charlie != 6) broken("charlie 0, 5 or 6");
  if (rules.dspa && !(rules.das && rules.hsa)) broken("dspa only with das and hsa");
  if (rules.soft17 != splitev::Soft17::Stand && rules.soft17 != splitev::Soft17::Hit) broken("soft17 stand or hit");
  if (static_cast<int>(rules.doubling) < 0 || rules.doubling > splitev::DoubleRule::NoDoubling)
    broken("a doubling rule of the list");
  if (rules.hands < 2 || rules.hands > 4) broken("hands within 2..4");
  bool anyEntry = false;
  for (const bool entry : c.upCards) anyEntry = anyEntry || entry;
  if (!anyEntry) broken("at least one entry of split_perfect");
  bool anyPair = false;
  for (const bool pair : c.pairs) anyPair = anyPair || pair;
  if (!anyPair) broken("at least one pair to split");
}
