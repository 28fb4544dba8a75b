#pragma once

// Hot loops compiled for several x86-64 levels, the best one the machine
// has chosen when the program starts; elsewhere, and under clang (whose
// multiversioning of class members lags), one plain version. Every level
// performs the same IEEE operations in the same order, so the bits do not
// depend on which one runs.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define SPLITEV_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define SPLITEV_VECTOR_CLONES
#endif
