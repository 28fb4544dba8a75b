#include "front/line_input.h"

#include <cstdlib>
#include <limits>

namespace {

// A negative code (end of file from a console that reports it) ends the
// line as '\n' does, so a screen can never loop on a closed input.
bool endsLine(int c) { return c == '\n' || c < 0; }

}  // namespace

TypedLine readTypedLine(Console& console, int limit) {
  TypedLine line;
  int kept = 0;
  while (kept < limit) {
    const int c = console.readLineChar();
    if (endsLine(c)) return line;
    line.text[static_cast<std::size_t>(kept++)] = static_cast<char>(c);
    if (c >= '0' && c <= '9') line.sawDigit = true;
  }
  // The line was longer than the buffer: drop the rest of it unseen.
  while (!endsLine(console.readLineChar())) {
  }
  return line;
}

std::int32_t toInt32(const char* text) {
  // long is 64 bits here, so strtol's own range is wider than ours.
  const long value = std::strtol(text, nullptr, 10);
  if (value > std::numeric_limits<std::int32_t>::max()) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value < std::numeric_limits<std::int32_t>::min()) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(value);
}
