#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/pty_session.h"

namespace {

using std::chrono::milliseconds;

const std::string Binary = SPLITEV_BINARY;
const std::string ClearCodes = "\x1b[H\x1b[2J";
const std::string MenuEnd = "x or X to exit program\r\n\r\n\tChoice:  ";
const std::string InformationStart = "\r\n\tThis program computes optimal expected values for splitting";
const std::string PressAnyKey = "Press any key to continue";

// Waits until the program has switched the terminal to single-key mode.
bool waitForKeyMode(const PtySession& session) {
  for (int tries = 0; tries < 300; ++tries) {
    const termios mode = session.attributes();
    if ((mode.c_lflag & (ECHO | ICANON)) == 0) return true;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return false;
}

bool exitedWithZero(const std::optional<int>& status) {
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

TEST(TerminalSession, MenuInformationAndExitLeaveTheTerminalAsFound) {
  PtySession session(Binary);
  ASSERT_TRUE(session.waitFor(MenuEnd)) << session.output();
  EXPECT_EQ(session.output().rfind(ClearCodes, 0), 0u) << "the screen is cleared first";
  // While waiting for a key the terminal neither echoes nor waits for Enter...
  ASSERT_TRUE(waitForKeyMode(session));

  session.send("i");
  ASSERT_TRUE(session.waitFor("i" + ClearCodes + InformationStart)) << session.output();
  ASSERT_TRUE(session.waitFor(PressAnyKey));
  session.send("\r");
  ASSERT_TRUE(session.waitFor(ClearCodes + "This program computes"));
  ASSERT_TRUE(session.waitFor(MenuEnd));
  ASSERT_TRUE(waitForKeyMode(session));  // the menu text comes before the key read begins

  session.send("x");
  EXPECT_TRUE(exitedWithZero(session.waitExit()));
  EXPECT_EQ(session.outputAfterMark(), "x");  // nothing after the echo, no clearing
  // ... and afterwards it is back in the mode it was found in.
  EXPECT_TRUE(PtySession::sameMode(session.attributes(), session.startingAttributes()));
}

TEST(TerminalSession, KeysWithoutCharacterDoNothing) {
  PtySession session(Binary);
  ASSERT_TRUE(session.waitFor(MenuEnd));
  ASSERT_TRUE(waitForKeyMode(session));
  // Up arrow, PgUp, F7, F1 (xterm), F1 (Linux console), Alt+Up, sent at once:
  // read as letters they would hold 5, 1 and 8, each a menu choice.
  session.send("\x1b[A\x1b[5~\x1b[18~\x1bOP\x1b[[A\x1b\x1b[A");
  session.drain(milliseconds(400));
  EXPECT_EQ(session.outputAfterMark(), "");

  // A lone Escape is ignored and does not swallow the next key.
  session.send("\x1b");
  std::this_thread::sleep_for(milliseconds(600));
  session.send("x");
  EXPECT_TRUE(exitedWithZero(session.waitExit()));
  EXPECT_EQ(session.outputAfterMark(), "x");
}

TEST(TerminalSession, EnterOnTheMenuIsIgnored) {
  PtySession session(Binary);
  ASSERT_TRUE(session.waitFor(MenuEnd));
  // Sent before the switch to single-key mode, the terminal itself would echo them.
  ASSERT_TRUE(waitForKeyMode(session));
  session.send("\r\n7q");
  session.drain(milliseconds(300));
  EXPECT_EQ(session.outputAfterMark(), "");
  session.send("X");
  EXPECT_TRUE(exitedWithZero(session.waitExit()));
  EXPECT_TRUE(PtySession::sameMode(session.attributes(), session.startingAttributes()));
}

TEST(TerminalSession, LinesAreTypedInTheTerminalsOwnLineMode) {
  PtySession session(Binary);
  ASSERT_TRUE(session.waitFor(MenuEnd));
  session.send("0");
  ASSERT_TRUE(session.waitFor("Decks (no input results in no change):  "));
  // Back in the mode it was found in: the typed line is echoed by the terminal
  // and Enter (sent as CR) ends it.
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_TRUE(PtySession::sameMode(session.attributes(), session.startingAttributes()));
  session.send("3\r");
  ASSERT_TRUE(session.waitFor("3\r\n")) << session.output();
  ASSERT_TRUE(session.waitFor(MenuEnd));
  session.send("0");
  ASSERT_TRUE(session.waitFor("Current number of decks:  3"));
  session.send("\r");
  ASSERT_TRUE(session.waitFor(MenuEnd));
  session.send("x");
  EXPECT_TRUE(exitedWithZero(session.waitExit()));
}

TEST(TerminalSession, SignalsWhileWaitingForAKeyRestoreTheTerminal) {
  struct Case {
    int signalNumber;
    bool typed;  // sent as Ctrl-C at the terminal rather than by kill
  };
  for (const Case c : {Case{SIGTERM, false}, Case{SIGHUP, false}, Case{SIGINT, true}}) {
    PtySession session(Binary);
    ASSERT_TRUE(session.waitFor(MenuEnd));
    ASSERT_TRUE(waitForKeyMode(session));
    if (c.typed) {
      session.send("\x03");
    } else {
      session.sendSignal(c.signalNumber);
    }
    const std::optional<int> status = session.waitExit();
    ASSERT_TRUE(status.has_value()) << c.signalNumber;
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == c.signalNumber) << c.signalNumber;
    EXPECT_TRUE(PtySession::sameMode(session.attributes(), session.startingAttributes()))
        << c.signalNumber;
  }
}

TEST(TerminalSession, StopAndContinueWhileWaitingForAKey) {
  PtySession session(Binary, PtySession::Start::AsJob);
  ASSERT_TRUE(session.waitFor(MenuEnd)) << session.output();
  ASSERT_TRUE(waitForKeyMode(session));

  // Ctrl-Z: stopped, with the terminal in the mode it was found in.
  session.send("\x1a");
  bool stopped = false;
  for (int tries = 0; tries < 300 && !stopped; ++tries) {
    stopped = session.jobStopped();
    if (!stopped) std::this_thread::sleep_for(milliseconds(10));
  }
  ASSERT_TRUE(stopped);
  EXPECT_TRUE(PtySession::sameMode(session.attributes(), session.startingAttributes()));

  // An interactive shell puts its own mode back meanwhile. fg: the same key
  // read, single-key again, so x acts at once, unechoed.
  session.setAttributes(session.startingAttributes());
  session.continueJob();
  ASSERT_TRUE(waitForKeyMode(session));
  session.markEnd();
  session.send("x");
  EXPECT_TRUE(exitedWithZero(session.waitExit()));
  EXPECT_EQ(session.outputAfterMark(), "x");
  EXPECT_TRUE(PtySession::sameMode(session.attributes(), session.startingAttributes()));
}

struct PipedRun {
  std::optional<int> status;  // none when the program had to be killed
  std::string output;
};

// Runs the program with the input on a pipe and its output on another, in a
// session of its own, so it has no terminal at all.
PipedRun runPiped(const std::string& input, milliseconds timeout = milliseconds(3000)) {
  int toChild[2];
  int fromChild[2];
  if (pipe(toChild) != 0 || pipe(fromChild) != 0) return {};
  std::string name = Binary;  // prepared before the fork
  char* const arguments[] = {name.data(), nullptr};
  const pid_t child = fork();
  if (child == 0) {
    setsid();
    dup2(toChild[0], STDIN_FILENO);
    dup2(fromChild[1], STDOUT_FILENO);
    close(toChild[0]);
    close(toChild[1]);
    close(fromChild[0]);
    close(fromChild[1]);
    execv(name.c_str(), arguments);
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  // Small scripts fit the pipe's buffer, so writing cannot block.
  if (write(toChild[1], input.data(), input.size()) != static_cast<ssize_t>(input.size()))
    ADD_FAILURE() << "short write";
  close(toChild[1]);

  PipedRun run;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd request{fromChild[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&request, 1, static_cast<int>(left.count())) <= 0) {
      kill(child, SIGKILL);  // it hangs or spins
      break;
    }
    char buffer[4096];
    const ssize_t got = read(fromChild[0], buffer, sizeof buffer);
    if (got <= 0) break;
    run.output.append(buffer, static_cast<std::size_t>(got));
  }
  close(fromChild[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)) run.status = status;
  return run;
}

int occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

TEST(PipedSession, KeysFromStandardInputDriveTheMenu) {
  const PipedRun run = runPiped("5i x");
  EXPECT_TRUE(exitedWithZero(run.status));
  EXPECT_EQ(run.output.find('\x1b'), std::string::npos) << "no escape codes off a terminal";
  EXPECT_EQ(occurrences(run.output, "\n\tx or X to exit program\n\n\tChoice:  "), 3);
  EXPECT_NE(run.output.find("Choice:  5This program"), std::string::npos);
  EXPECT_NE(run.output.find("Choice:  i\n\tThis program computes optimal expected values"),
            std::string::npos);
  EXPECT_NE(run.output.find(PressAnyKey + "This program"), std::string::npos);
  EXPECT_EQ(run.output.substr(run.output.size() - 10), "Choice:  x");
}

TEST(PipedSession, KeysAndLinesAreReadInOrder) {
  // Key 0, the line 3, key 0 again, an empty line, key x: read ahead by the
  // line reader, the second 0 or the x would be lost.
  const PipedRun run = runPiped("03\n0\nx");
  EXPECT_TRUE(exitedWithZero(run.status));
  EXPECT_NE(run.output.find("Current number of decks:  1"), std::string::npos);
  EXPECT_NE(run.output.find("Current number of decks:  3"), std::string::npos);
  EXPECT_EQ(run.output.substr(run.output.size() - 10), "Choice:  x");
}

TEST(PipedSession, EndOfInputEndsLikeExit) {
  // At the menu, on a screen waiting for its key, and with nothing at all.
  for (const std::string input : {"5", "i", ""}) {
    const PipedRun run = runPiped(input);
    EXPECT_TRUE(exitedWithZero(run.status)) << input;
    EXPECT_EQ(run.output.find('\x1b'), std::string::npos);
  }
  const PipedRun afterInformation = runPiped("i");
  const std::string ending = PressAnyKey;
  ASSERT_GE(afterInformation.output.size(), ending.size());
  EXPECT_EQ(afterInformation.output.substr(afterInformation.output.size() - ending.size()), ending);
}

// Runs the program on piped input with standard output on the given file,
// or closed when there is none; returns the wait status and what it wrote
// to standard error.
std::pair<int, std::string> runWithOutput(const std::string& input, const char* output) {
  int toChild[2];
  int errors[2];
  if (pipe(toChild) != 0 || pipe(errors) != 0) return {};
  std::string name = Binary;  // prepared before the fork
  char* const arguments[] = {name.data(), nullptr};
  const pid_t child = fork();
  if (child == 0) {
    setsid();
    dup2(toChild[0], STDIN_FILENO);
    dup2(errors[1], STDERR_FILENO);
    close(STDOUT_FILENO);
    if (output != nullptr && open(output, O_WRONLY) != STDOUT_FILENO) _exit(126);
    for (int fd : {toChild[0], toChild[1], errors[0], errors[1]}) close(fd);
    execv(name.c_str(), arguments);
    _exit(127);
  }
  close(toChild[0]);
  close(errors[1]);
  if (write(toChild[1], input.data(), input.size()) != static_cast<ssize_t>(input.size()))
    ADD_FAILURE() << "short write";
  close(toChild[1]);
  std::string text;
  char buffer[512];
  for (ssize_t got = 0; (got = read(errors[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(got));
  close(errors[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return {status, text};
}

TEST(PipedSession, OutputThatCannotBeWrittenIsAFailure) {
  const std::pair<const char*, std::string> cases[] = {
      {"/dev/full", "No space left on device"}, {nullptr, "Bad file descriptor"}};
  for (const auto& [output, reason] : cases) {
    const auto [status, errors] = runWithOutput("48 x", output);
    const std::string name = output != nullptr ? output : "closed";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << name << ": status " << status;
    EXPECT_EQ(errors, "splitev: cannot write to standard output: " + reason + "\n") << name;
  }
}

}  // namespace
