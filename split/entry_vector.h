#pragma once

#include <cstring>

#include "split/player_hand_state.h"

// The eleven entries of a value vector (overall, then up cards 1..10) held
// as two four-wide parts, a two-wide part and a scalar, so the arithmetic
// that runs over every entry compiles to a few vector operations at any
// vector width. Four wide, not eight: GCC keeps a vector wider than the
// target's registers in memory and moves it piece by piece, and AVX2
// registers hold four. Every entry gets the IEEE operation it would get on
// its own, in the same order, so the bits are those of the entry-by-entry
// loops.
struct EntryVector {
  using Quad = double __attribute__((vector_size(4 * sizeof(double))));
  using Pair = double __attribute__((vector_size(2 * sizeof(double))));
  static_assert(ValueCount == 11, "an entry vector holds four, four, two and one entries");

  Quad low;
  Quad high;
  Pair pair;
  double last;

  EntryVector() = default;
  // x in every entry.
  explicit EntryVector(double x) : low{x, x, x, x}, high{x, x, x, x}, pair{x, x}, last(x) {}

  static EntryVector load(const double* p) {
    EntryVector e;
    std::memcpy(&e.low, p, sizeof e.low);
    std::memcpy(&e.high, p + 4, sizeof e.high);
    std::memcpy(&e.pair, p + 8, sizeof e.pair);
    e.last = p[10];
    return e;
  }
  static EntryVector all(double x) { return EntryVector(x); }
  void store(double* p) const {
    std::memcpy(p, &low, sizeof low);
    std::memcpy(p + 4, &high, sizeof high);
    std::memcpy(p + 8, &pair, sizeof pair);
    p[10] = last;
  }

  friend EntryVector operator+(EntryVector a, const EntryVector& b) {
    a.low += b.low;
    a.high += b.high;
    a.pair += b.pair;
    a.last += b.last;
    return a;
  }
  friend EntryVector operator/(EntryVector a, const EntryVector& b) {
    a.low /= b.low;
    a.high /= b.high;
    a.pair /= b.pair;
    a.last /= b.last;
    return a;
  }
  friend EntryVector operator*(EntryVector a, const EntryVector& b) {
    a.low *= b.low;
    a.high *= b.high;
    a.pair *= b.pair;
    a.last *= b.last;
    return a;
  }
};
