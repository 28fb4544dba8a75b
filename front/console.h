#pragma once

#include <ostream>
#include <stdexcept>
#include <string>

// Key codes that are not characters.
constexpr int EnterKey = 13;
// A key without a character (arrow, function key, Home, PgUp ...). It was
// read whole and never acts as a choice on any screen.
constexpr int NonCharacterKey = 256;

// Thrown by readKey when the key source has ended; the main loop then ends
// the program as on x.
struct EndOfInput : std::runtime_error {
  EndOfInput() : std::runtime_error("end of input") {}
};

// Thrown when standard output refuses what was written (a full device, a
// closed descriptor): the program ends with the message and status 1.
struct OutputFailed : std::runtime_error {
  explicit OutputFailed(const std::string& reason)
      : std::runtime_error("cannot write to standard output: " + reason) {}
};

// The console every screen talks to. The real one drives the terminal; the
// tests' scripted one replays keys and lines and captures the output.
class Console {
 public:
  virtual ~Console() = default;

  // One key, without echo and without waiting for Enter. Enter gives 13.
  virtual int readKey() = 0;
  // One character of a typed line from standard input; '\n' ends the line.
  // At end of input it gives '\n', so a screen always finishes its line.
  virtual int readLineChar() = 0;
  // Clears the screen and homes the cursor (on a terminal only).
  virtual void clearScreen() = 0;
  // The one buffered output stream; its precision is 15.
  virtual std::ostream& out() = 0;
  // The standard formatted print, in order with out().
  virtual void printText(const char* text) = 0;
};
