#pragma once

#include <cstdio>
#include <sstream>
#include <string>

#include "front/console.h"

// A console driven by scripted keys and lines; everything printed is kept,
// byte for byte. Clearing the screen prints nothing, as when output is not
// a terminal; clearCount tells how often it happened.
class ScriptedConsole : public Console {
 public:
  explicit ScriptedConsole(std::string keyScript = "", std::string lineScript = "")
      : keys(std::move(keyScript)), lines(std::move(lineScript)) {
    output.precision(15);
  }

  int readKey() override {
    if (keyPos >= keys.size()) throw EndOfInput();
    const unsigned char key = static_cast<unsigned char>(keys[keyPos++]);
    if (key == '\x01') return NonCharacterKey;  // stands for an arrow or function key
    return key == '\n' ? EnterKey : key;
  }
  int readLineChar() override {
    if (linePos >= lines.size()) return '\n';
    return static_cast<unsigned char>(lines[linePos++]);
  }
  void clearScreen() override { ++clearCount; }
  std::ostream& out() override { return output; }
  void printText(const char* text) override { output << text; }

  std::string text() const { return output.str(); }
  bool keysUsedUp() const { return keyPos >= keys.size(); }
  bool linesUsedUp() const { return linePos >= lines.size(); }

  int clearCount = 0;

 private:
  std::string keys;
  std::string lines;
  std::size_t keyPos = 0;
  std::size_t linePos = 0;
  std::ostringstream output;
};
