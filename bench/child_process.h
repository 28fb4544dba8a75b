#pragma once

// Runs one measurement in a forked child process, so that its peak memory,
// CPU time and caches are its own and a run that dies (out of memory,
// killed) does not take the benchmark with it.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <type_traits>

// The calling process's user and system time and its peak resident memory.
struct ProcessUsage {
  double cpuSeconds = 0.0;
  long peakKiB = 0;
};

inline ProcessUsage ownUsage() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto secondsOf = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); };
  return {secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime), usage.ru_maxrss};
}

// The report measure() makes in a child process, or `failed` when the
// child could not be started or ended without reporting.
template <class Report, class Measure>
Report runInChildProcess(Measure&& measure, const Report& failed) {
  static_assert(std::is_trivially_copyable_v<Report>, "the report crosses a pipe as bytes");
  int fds[2];
  if (pipe(fds) != 0) return failed;
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return failed;
  }
  if (pid == 0) {
    close(fds[0]);
    const Report report = measure();
    const ssize_t written = write(fds[1], &report, sizeof report);
    _exit(written == static_cast<ssize_t>(sizeof report) ? 0 : 1);
  }
  close(fds[1]);
  Report report = failed;
  const ssize_t got = read(fds[0], &report, sizeof report);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return got == static_cast<ssize_t>(sizeof report) ? report : failed;
}
