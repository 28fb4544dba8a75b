#pragma once

#include <ostream>

#include "front/console.h"

// The console of a POSIX terminal.
//
// With a terminal on standard input, keys come from the controlling terminal
// (/dev/tty), switched to single-key mode (no echo, no line editing) for the
// length of one read only; lines come from standard input in the terminal's
// own line mode, echoed as typed. Keys that send escape sequences (arrows,
// function keys, Home, PgUp ...) are read whole and given as NonCharacterKey.
//
// Without a terminal on standard input (a pipe or a file), keys and lines are
// both read from it byte by byte, in order, so a script can drive the program;
// at its end readKey throws EndOfInput.
//
// Output goes to std::cout (precision 15), which shares the C library's stdout
// buffer, so printText keeps its place among the stream's text. The screen is
// cleared by escape codes only when standard output is a terminal.
//
// Every read first writes out the output buffered so far; when standard
// output refuses it (a full device, a closed descriptor) the read throws
// OutputFailed instead. A reader that left (SIGPIPE) ends the program as the
// signal does.
//
// However the program ends - normally, by exception, or by SIGINT, SIGTERM,
// SIGHUP or SIGQUIT - the terminal is left in the mode it was found in. So it
// is while the program is stopped (Ctrl-Z); on continuing, a key read in
// progress is single-key again.
class PosixConsole : public Console {
 public:
  PosixConsole();
  ~PosixConsole() override;
  PosixConsole(const PosixConsole&) = delete;
  PosixConsole& operator=(const PosixConsole&) = delete;

  int readKey() override;
  int readLineChar() override;
  void clearScreen() override;
  std::ostream& out() override;
  void printText(const char* text) override;

  // Writes out everything buffered; throws OutputFailed when standard output
  // refuses it. The program's last output is checked this way.
  void flushOutput();

 private:
  int readTerminalKey();

  int keyFd = -1;                 // the terminal, or standard input when keys are scripted
  bool keysFromTerminal = false;
  bool ownsKeyFd = false;         // keyFd was opened here and is closed here
  bool outputIsTerminal = false;  // only then are clear codes written
};
