#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

// Runs a program on a fresh pseudo-terminal, as a user at a terminal would:
// keys are written to the master side, everything the program prints is
// collected from it. The slave side stays open here too, so the terminal's
// attributes can be read at any time, also after the program has ended.
//
// Output is kept as the terminal delivered it: newlines come out as "\r\n".
//
// Started as a job, the program runs in a process group of its own under a
// waiting parent, as a shell with job control runs it: Ctrl-Z then stops it
// (a group without such a parent is orphaned, and the kernel does not stop
// it), and continueJob does what fg does. waitExit then reports the parent's
// status, which is the program's exit status.
class PtySession {
 public:
  using Clock = std::chrono::steady_clock;

  enum class Start { Directly, AsJob };

  explicit PtySession(const std::string& program, Start start = Start::Directly) {
    winsize size{};
    size.ws_row = 25;
    size.ws_col = 80;
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0)
      throw std::runtime_error("openpty failed");
    initialMode = attributes();
    // Prepared before the fork: the child only execs or exits.
    std::string name = program;
    char* const arguments[] = {name.data(), nullptr};
    child = fork();
    if (child < 0) {
      close(master);
      close(slave);
      throw std::runtime_error("fork failed");
    }
    if (child == 0) {
      // The child: the slave becomes its controlling terminal and its
      // standard input, output and error (what forkpty does).
      close(master);
      if (login_tty(slave) != 0) _exit(126);
      if (start == Start::AsJob) runAsJob(name.c_str(), arguments);
      execv(name.c_str(), arguments);
      _exit(127);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  }

  ~PtySession() {
    if (child > 0 && !exitStatus) {
      // A job has a group of its own; it goes first, stopped or not.
      const pid_t job = tcgetpgrp(master);
      if (job > 0 && job != child) kill(-job, SIGKILL);
      kill(child, SIGKILL);
      int status = 0;
      waitpid(child, &status, 0);
    }
    close(master);
    close(slave);
  }

  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  // Types the bytes at the terminal.
  void send(std::string_view keys) {
    while (!keys.empty()) {
      const ssize_t written = write(master, keys.data(), keys.size());
      if (written < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        throw std::runtime_error("writing to the terminal failed");
      }
      keys.remove_prefix(static_cast<std::size_t>(written));
    }
  }

  // Reads output until text appears after the mark, within timeout. On
  // success the mark moves past the text, so the same text can be awaited
  // again; on failure the mark stays.
  bool waitFor(std::string_view text,
               std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
      const std::size_t found = collected.find(text, mark);
      if (found != std::string::npos) {
        mark = found + text.size();
        return true;
      }
      if (!readSome(deadline)) return false;
    }
  }

  // Collects whatever arrives within the given time (to see that nothing does).
  void drain(std::chrono::milliseconds duration) {
    const Clock::time_point deadline = Clock::now() + duration;
    while (readSome(deadline)) {
    }
  }

  // Everything printed so far, and the part after the mark.
  const std::string& output() const { return collected; }
  std::string outputAfterMark() const { return collected.substr(mark); }
  // Moves the mark to the end of what has been collected.
  void markEnd() { mark = collected.size(); }

  // The program's wait status once it has ended, collecting its output
  // meanwhile; none if it is still running at the timeout.
  std::optional<int> waitExit(std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (!exitStatus) {
      int status = 0;
      const pid_t done = waitpid(child, &status, WNOHANG);
      if (done == child) {
        exitStatus = status;
        break;
      }
      if (Clock::now() >= deadline) return std::nullopt;
      readSome(std::min(deadline, Clock::now() + std::chrono::milliseconds(20)));
    }
    drain(std::chrono::milliseconds(0));
    return exitStatus;
  }

  void sendSignal(int signalNumber) { kill(child, signalNumber); }

  // For a program started as a job: whether it is stopped now, and fg.
  bool jobStopped() const {
    const pid_t job = tcgetpgrp(master);
    if (job <= 0) return false;
    const std::string stat = readFile("/proc/" + std::to_string(job) + "/stat");
    // "pid (name) state ...": the state follows the name's closing parenthesis.
    const std::size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'T';
  }
  void continueJob() const {
    const pid_t job = tcgetpgrp(master);
    if (job > 0) kill(-job, SIGCONT);
  }

  // The terminal's current attributes, and those it had before the program started.
  termios attributes() const {
    termios mode{};
    if (tcgetattr(slave, &mode) != 0) throw std::runtime_error("tcgetattr failed");
    return mode;
  }
  const termios& startingAttributes() const { return initialMode; }
  // Sets them, as a shell does when it takes the terminal back.
  void setAttributes(const termios& mode) const {
    if (tcsetattr(slave, TCSANOW, &mode) != 0) throw std::runtime_error("tcsetattr failed");
  }

  // True when every mode flag and control character matches.
  static bool sameMode(const termios& a, const termios& b) {
    for (std::size_t i = 0; i < NCCS; ++i) {
      if (a.c_cc[i] != b.c_cc[i]) return false;
    }
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag;
  }

 private:
  // In the child, on its terminal: runs the program in a new foreground
  // process group, waits for it and exits with its status. Never returns.
  [[noreturn]] static void runAsJob(const char* path, char* const arguments[]) {
    sigset_t hold;
    sigemptyset(&hold);
    sigaddset(&hold, SIGTTOU);  // taking the terminal from the background
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &hold, &previous);
    const pid_t job = fork();
    if (job == 0) {
      setpgid(0, 0);
      tcsetpgrp(STDIN_FILENO, getpid());
      sigprocmask(SIG_SETMASK, &previous, nullptr);
      execv(path, arguments);
      _exit(127);
    }
    if (job < 0) _exit(126);
    // Both sides set the group, so neither waits for the other.
    setpgid(job, job);
    tcsetpgrp(STDIN_FILENO, job);
    int status = 0;
    while (waitpid(job, &status, 0) < 0 && errno == EINTR) {
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  }

  static std::string readFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return "";
    std::string text;
    char buffer[512];
    ssize_t got = 0;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(got));
    close(fd);
    return text;
  }

  // Appends what arrives before the deadline; false when nothing did.
  bool readSome(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd request{master, POLLIN, 0};
    const int ready = poll(&request, 1, static_cast<int>(std::max<long long>(0, left.count())));
    if (ready <= 0) return false;
    char buffer[4096];
    const ssize_t got = read(master, buffer, sizeof buffer);
    if (got <= 0) {
      // Nothing readable after all (or the terminal is gone): don't spin.
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      return Clock::now() < deadline;
    }
    collected.append(buffer, static_cast<std::size_t>(got));
    return true;
  }

  int master = -1;
  int slave = -1;
  pid_t child = -1;
  termios initialMode{};
  std::optional<int> exitStatus;
  std::string collected;
  std::size_t mark = 0;
};
