#pragma once

#include <array>
#include <cstdint>

#include "front/console.h"

// The deck count line keeps 9 characters, a removal line 10.
constexpr int DeckLineLimit = 9;
constexpr int RemovalLineLimit = 10;

// One typed line as far as it is kept: at most the limit's characters,
// zero-terminated, without the line end.
struct TypedLine {
  std::array<char, RemovalLineLimit + 1> text{};
  bool sawDigit = false;  // a kept character was one of 0..9
};

// Reads one line of standard input, keeping at most limit characters
// (limit <= RemovalLineLimit); the rest of a longer line is read and dropped.
TypedLine readTypedLine(Console& console, int limit);

// The number the text starts with, by strtol's base-10 rules (leading white
// space, one sign, digits; 0 without any digit), clamped to 32 bits.
std::int32_t toInt32(const char* text);
