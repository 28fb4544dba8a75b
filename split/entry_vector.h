#pragma once

#include <cstring>

#include "split/player_hand_state.h"

// The eleven entries of a value vector (overall, then up cards 1..10) held
// as an eight-wide, a two-wide and a scalar part, so the arithmetic that
// runs over every entry compiles to a few vector operations at any vector
// width. Every entry gets the IEEE operation it would get on its own, in the
// same order, so the bits are those of the entry-by-entry loops.
struct EntryVector {
  using Wide = double __attribute__((vector_size(8 * sizeof(double))));
  using Pair = double __attribute__((vector_size(2 * sizeof(double))));
  static_assert(ValueCount == 11, "an entry vector holds eight, two and one entries");

  Wide wide;
  Pair pair;
  double last;

  static EntryVector load(const double* p) {
    EntryVector e;
    std::memcpy(&e.wide, p, sizeof e.wide);
    std::memcpy(&e.pair, p + 8, sizeof e.pair);
    e.last = p[10];
    return e;
  }
  static EntryVector all(double x) {
    EntryVector e;
    e.wide = Wide{x, x, x, x, x, x, x, x};
    e.pair = Pair{x, x};
    e.last = x;
    return e;
  }
  void store(double* p) const {
    std::memcpy(p, &wide, sizeof wide);
    std::memcpy(p + 8, &pair, sizeof pair);
    p[10] = last;
  }

  friend EntryVector operator+(EntryVector a, const EntryVector& b) {
    a.wide += b.wide;
    a.pair += b.pair;
    a.last += b.last;
    return a;
  }
  friend EntryVector operator/(EntryVector a, const EntryVector& b) {
    a.wide /= b.wide;
    a.pair /= b.pair;
    a.last /= b.last;
    return a;
  }
  friend EntryVector operator*(EntryVector a, const EntryVector& b) {
    a.wide *= b.wide;
    a.pair *= b.pair;
    a.last *= b.last;
    return a;
  }
};
