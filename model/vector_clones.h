#pragma once

// Hot loops compiled for several x86-64 levels, the best one the machine
// has chosen when the program starts; elsewhere, and under clang (whose
// multiversioning of class members lags), one plain version. Every level
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
#define SPLITEV_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#define SPLITEV_LEVEL_DISPATCH 1
#define SPLITEV_TARGET_V4 __attribute__((target("arch=x86-64-v4")))
#define SPLITEV_TARGET_V3 __attribute__((target("arch=x86-64-v3")))
#else
#define SPLITEV_VECTOR_CLONES
#define SPLITEV_LEVEL_DISPATCH 0
#endif

// The machine's level: 4 with AVX-512, 3 with AVX2 and FMA, else 1.
inline int vectorLevel() {
#if SPLITEV_LEVEL_DISPATCH
  static const int level = __builtin_cpu_supports("x86-64-v4") ? 4 : __builtin_cpu_supports("x86-64-v3") ? 3 : 1;
  return level;
#else
  return 1;
#endif
}
