#pragma once

#include <atomic>
#include <cstdlib>

// Hot loops compiled for several x86-64 levels, the one that runs chosen
// by vectorLevel() (the machine's best unless a test or a benchmark asks
// for another); elsewhere, and under clang (whose multiversioning of class
// members lags), one plain version. Every level
// performs the same IEEE operations in the same order, so the bits do not
// depend on which one runs.
//
// A loop whose vectors should match the level's register width is written
// once and compiled in one function per level (SPLITEV_TARGET_V4,
// SPLITEV_TARGET_V3, plain), chosen by vectorLevel(): GCC keeps vectors
// wider than the target's registers in memory and moves them piece by
// piece, which costs more than the arithmetic. The vector code must sit in
// the function itself: GCC lowers a helper's vectors for the default target
// before inlining it, and lambdas do not take the target attribute.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define SPLITEV_LEVEL_DISPATCH 1
#define SPLITEV_TARGET_V4 __attribute__((target("arch=x86-64-v4")))
#define SPLITEV_TARGET_V3 __attribute__((target("arch=x86-64-v3")))
#else
#define SPLITEV_LEVEL_DISPATCH 0
#endif

// The best level this machine runs: 4 with AVX-512, 3 with AVX2 and FMA,
// else 1 (always 1 in a build without dispatch).
inline int machineVectorLevel() {
#if SPLITEV_LEVEL_DISPATCH
  static const int level = __builtin_cpu_supports("x86-64-v4") ? 4 : __builtin_cpu_supports("x86-64-v3") ? 3 : 1;
  return level;
#else
  return 1;
#endif
}

// True when the hot loops can run at `level` here: 1, 3 or 4, and no
// higher than the machine's.
inline bool vectorLevelRuns(int level) {
  return (level == 1 || level == 3 || level == 4) && level <= machineVectorLevel();
}

namespace vector_level_detail {
// The level chosen at start-up: SPLITEV_VECTOR_LEVEL (1, 3 or 4) when the
// machine runs it, else the machine's best. An unusable value is ignored
// rather than reported: the engine never prints.
inline int startLevel() {
  const char* text = std::getenv("SPLITEV_VECTOR_LEVEL");
  if (text != nullptr && text[0] != '\0' && text[1] == '\0' && vectorLevelRuns(text[0] - '0')) return text[0] - '0';
  return machineVectorLevel();
}
inline std::atomic<int>& chosenLevel() {
  static std::atomic<int> level{startLevel()};
  return level;
}
}  // namespace vector_level_detail

// The level the hot loops run at. Every level gives the same bits; choosing
// one is for proving that and for measuring each.
inline int vectorLevel() { return vector_level_detail::chosenLevel().load(std::memory_order_relaxed); }

// Makes the hot loops run at `level` from now on; false, and nothing
// changed, when vectorLevelRuns(level) is false. Not for use while a
// computation runs.
inline bool setVectorLevel(int level) {
  if (!vectorLevelRuns(level)) return false;
  vector_level_detail::chosenLevel().store(level, std::memory_order_relaxed);
  return true;
}
