#include "front/posix_console.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

constexpr int EscapeByte = 27;
// How long the rest of an escape sequence may take to follow its Escape. A
// terminal sends the whole sequence at once; a lone Escape has nothing after.
constexpr int EscapeFollowMs = 100;

// The terminal modes, shared with the signal handlers, which may only touch
// plain data. keyModeActive is set while a key read has the terminal in
// single-key mode (keyTerminalMode); savedTerminalMode is the mode it was
// found in.
int savedTerminalFd = -1;
termios savedTerminalMode{};
termios keyTerminalMode{};
volatile std::sig_atomic_t keyModeActive = 0;

// The signals that end the program; the terminal is put back before they do.
constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Async-signal-safe: only tcsetattr on saved plain data.
void restoreTerminal() {
  if (keyModeActive != 0) {
    tcsetattr(savedTerminalFd, TCSANOW, &savedTerminalMode);
    keyModeActive = 0;
  }
}

extern "C" void restoreTerminalAtExit() { restoreTerminal(); }

// Puts the terminal back, then lets the signal do what it would have done.
extern "C" void restoreTerminalAndReraise(int signalNumber) {
  restoreTerminal();
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

// Ctrl-Z: the shell gets the terminal back in the mode it was found in, and
// the program stops as it would have. On continuing (fg), a key read still in
// progress gets its single-key mode back. Async-signal-safe calls only.
extern "C" void suspendWithTerminalRestored(int) {
  const int savedErrno = errno;
  const bool readingKey = keyModeActive != 0;
  if (readingKey) tcsetattr(savedTerminalFd, TCSANOW, &savedTerminalMode);

  // Stop by the signal's own default action: unblocked (it is blocked while
  // this handler runs) and raised again.
  struct sigaction stopAction {};
  stopAction.sa_handler = SIG_DFL;
  sigemptyset(&stopAction.sa_mask);
  struct sigaction thisAction {};
  sigaction(SIGTSTP, &stopAction, &thisAction);
  sigset_t suspend;
  sigemptyset(&suspend);
  sigaddset(&suspend, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &suspend, nullptr);
  std::raise(SIGTSTP);

  // Continued. Returning from the handler blocks nothing again.
  sigaction(SIGTSTP, &thisAction, nullptr);
  if (readingKey) tcsetattr(savedTerminalFd, TCSANOW, &keyTerminalMode);
  errno = savedErrno;
}

// Installs handler for the signal unless the caller chose to ignore it (nohup,
// a shell without job control): an ignored signal stays ignored. While the
// handler runs, none of the other guarded signals interrupts it.
void guardSignal(int signalNumber, void (*handler)(int)) {
  struct sigaction previous {};
  sigaction(signalNumber, nullptr, &previous);
  if (previous.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  for (int other : EndingSignals) sigaddset(&action.sa_mask, other);
  sigaddset(&action.sa_mask, SIGTSTP);
  sigaction(signalNumber, &action, nullptr);
}

void installTerminalGuards() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  std::atexit(restoreTerminalAtExit);
  for (int signalNumber : EndingSignals) guardSignal(signalNumber, restoreTerminalAndReraise);
  guardSignal(SIGTSTP, suspendWithTerminalRestored);
}

// Holds back Ctrl-Z for the life of the object, so a stop never falls between
// a mode switch and the record of it.
class SuspendBlocked {
 public:
  SuspendBlocked() {
    sigset_t suspend;
    sigemptyset(&suspend);
    sigaddset(&suspend, SIGTSTP);
    sigprocmask(SIG_BLOCK, &suspend, &previous);
  }
  ~SuspendBlocked() { sigprocmask(SIG_SETMASK, &previous, nullptr); }
  SuspendBlocked(const SuspendBlocked&) = delete;
  SuspendBlocked& operator=(const SuspendBlocked&) = delete;

 private:
  sigset_t previous{};
};

// Single-key mode for the life of the object: no echo, no line editing, bytes
// as sent (so Enter arrives as 13). Signal keys keep working, so Ctrl-C still
// ends the program and Ctrl-Z still stops it.
class KeyMode {
 public:
  explicit KeyMode(int fd) {
    termios found{};
    if (tcgetattr(fd, &found) != 0) return;
    termios single = found;
    single.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    single.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR);
    single.c_cc[VMIN] = 1;
    single.c_cc[VTIME] = 0;
    // Saved before the switch, so a signal arriving at any point finds what to restore.
    const SuspendBlocked held;
    savedTerminalFd = fd;
    savedTerminalMode = found;
    keyTerminalMode = single;
    keyModeActive = 1;
    tcsetattr(fd, TCSANOW, &single);
  }
  ~KeyMode() {
    const SuspendBlocked held;
    restoreTerminal();
  }
  KeyMode(const KeyMode&) = delete;
  KeyMode& operator=(const KeyMode&) = delete;
};

// One byte, waiting as long as it takes; -1 at end of input or on error.
int readByte(int fd) {
  for (;;) {
    unsigned char byte = 0;
    const ssize_t got = read(fd, &byte, 1);
    if (got == 1) return byte;
    if (got < 0 && errno == EINTR) continue;
    return -1;
  }
}

// One byte if it arrives within timeoutMs, else -1.
int readByteWithin(int fd, int timeoutMs) {
  pollfd request{fd, POLLIN, 0};
  for (;;) {
    const int ready = poll(&request, 1, timeoutMs);
    if (ready > 0) return readByte(fd);
    if (ready < 0 && errno == EINTR) continue;
    return -1;
  }
}

// Reads the rest of a sequence that began with Escape. Every complete
// sequence is one key without a character, so none of its bytes can reach a
// screen as a letter or digit (PgUp is ESC [ 5 ~, F7 ESC [ 1 8 ~).
int readEscapeSequence(int fd) {
  const int second = readByteWithin(fd, EscapeFollowMs);
  if (second < 0) return EscapeByte;  // a lone Escape: a key no screen accepts
  if (second == '[') {
    // CSI: parameter and intermediate bytes, then one final byte.
    int next = readByteWithin(fd, EscapeFollowMs);
    if (next == '[') {
      // The Linux console's F1..F5: ESC [ [ A .. ESC [ [ E.
      readByteWithin(fd, EscapeFollowMs);
      return NonCharacterKey;
    }
    while (next >= 0x20 && next < 0x40) next = readByteWithin(fd, EscapeFollowMs);
    return NonCharacterKey;
  }
  if (second == 'O') {
    // SS3: F1..F4 and the keypad in application mode; one final byte.
    readByteWithin(fd, EscapeFollowMs);
    return NonCharacterKey;
  }
  if (second == EscapeByte) {
    // Some terminals send Alt with an arrow as Escape then the arrow's sequence.
    readEscapeSequence(fd);
    return NonCharacterKey;
  }
  return NonCharacterKey;  // Alt with a key
}

// Writes out what is buffered. False when standard output refused any of it,
// now or at an earlier write that found the buffer full; errno then tells why
// when one of these flushes was the write that failed.
bool writeBuffered() {
  errno = 0;
  std::cout.flush();  // flushes stdout too
  const bool flushed = std::fflush(stdout) == 0;
  return flushed && std::ferror(stdout) == 0 && !std::cout.bad();
}

}  // namespace

PosixConsole::PosixConsole() {
  std::cout.precision(15);
  outputIsTerminal = isatty(STDOUT_FILENO) != 0;
  keysFromTerminal = isatty(STDIN_FILENO) != 0;
  if (keysFromTerminal) {
    keyFd = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (keyFd >= 0 && keyFd <= STDERR_FILENO) {
      // Standard output or error was closed: kept in that place, the terminal
      // would take their text and a closed output would go unnoticed.
      const int moved = fcntl(keyFd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
      close(keyFd);
      keyFd = moved;
    }
    ownsKeyFd = keyFd >= 0;
    // Without a controlling terminal, the terminal on standard input will do.
    if (!ownsKeyFd) keyFd = STDIN_FILENO;
  } else {
    keyFd = STDIN_FILENO;
  }
  installTerminalGuards();
}

PosixConsole::~PosixConsole() {
  restoreTerminal();
  // A failure here has been reported already, or is reported by flushOutput.
  writeBuffered();
  if (ownsKeyFd) close(keyFd);
}

void PosixConsole::flushOutput() {
  if (writeBuffered()) return;
  const int reason = errno;
  throw OutputFailed(reason != 0 ? std::strerror(reason) : "write error");
}

int PosixConsole::readKey() {
  flushOutput();
  if (keysFromTerminal) return readTerminalKey();
  // Scripted keys: single bytes from standard input, in order with the lines.
  const int byte = readByte(STDIN_FILENO);
  if (byte < 0) throw EndOfInput();
  if (byte == '\r' || byte == '\n') return EnterKey;
  return byte;
}

int PosixConsole::readTerminalKey() {
  const KeyMode mode(keyFd);
  const int byte = readByte(keyFd);
  // The terminal is gone (hung up or closed): nothing more can be typed.
  if (byte < 0) throw EndOfInput();
  if (byte == '\r' || byte == '\n') return EnterKey;
  if (byte == EscapeByte) return readEscapeSequence(keyFd);
  return byte;
}

int PosixConsole::readLineChar() {
  flushOutput();
  // Unbuffered, so nothing typed or piped for a later key is read ahead here.
  const int byte = readByte(STDIN_FILENO);
  return byte < 0 ? '\n' : byte;
}

void PosixConsole::clearScreen() {
  // Home the cursor and clear the screen, in order with all other text.
  if (outputIsTerminal) std::cout << "\x1b[H\x1b[2J";
}

std::ostream& PosixConsole::out() { return std::cout; }

void PosixConsole::printText(const char* text) {
  // std::cout writes through stdout's buffer; flushing it first keeps order
  // even if a caller has buffered text in the stream itself.
  std::cout.flush();
  std::fputs(text, stdout);
}
