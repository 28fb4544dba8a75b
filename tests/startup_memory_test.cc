// Starting the real program with too little memory for its dealer tables:
// it must say so and fail, never crash or run on without them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "tests/sanitizers.h"

namespace {

struct StartResult {
  int status = 0;
  std::string errors;
};

// The name the program is started under: the message must name the program
// that is running, whichever links the engine.
constexpr const char* StartedAs = "split-calculator";

// Runs the program with its address space capped, "x" on standard input.
StartResult startWithLimit(rlim_t bytes) {
  int errorPipe[2];
  if (pipe(errorPipe) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    const int input = open("/dev/null", O_RDONLY);
    dup2(input, STDIN_FILENO);
    const int output = open("/dev/null", O_WRONLY);
    dup2(output, STDOUT_FILENO);
    dup2(errorPipe[1], STDERR_FILENO);
    close(errorPipe[0]);
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_AS, &limit);
    execl(SPLITEV_BINARY, StartedAs, static_cast<char*>(nullptr));
    _exit(126);
  }
  close(errorPipe[1]);
  StartResult result;
  char buffer[512];
  ssize_t got = 0;
  while ((got = read(errorPipe[0], buffer, sizeof buffer)) > 0)
    result.errors.append(buffer, static_cast<std::size_t>(got));
  close(errorPipe[0]);
  waitpid(child, &result.status, 0);
  return result;
}

TEST(StartupMemory, TablesThatCannotBeBuiltEndTheProgramWithAMessage) {
  if (AddressSanitizerBuild) GTEST_SKIP() << AddressLimitSkipReason;
  const std::string message = std::string(StartedAs) + ": not enough memory to build the dealer hand tables\n";
  int refusals = 0;
  // From too little to load the libraries at all to enough to run: every
  // start ends in one of three ways, and somewhere in between the tables
  // are what does not fit.
  for (rlim_t kib = 3072; kib <= 12288; kib += 32) {
    const StartResult run = startWithLimit(kib * 1024);
    ASSERT_TRUE(WIFEXITED(run.status)) << kib << " KiB: ended by signal " << WTERMSIG(run.status);
    const int code = WEXITSTATUS(run.status);
    if (run.errors == message) {
      EXPECT_NE(code, 0) << kib << " KiB";
      ++refusals;
    } else if (code == 127) {
      // The loader could not map a library: the program never started.
    } else {
      EXPECT_EQ(code, 0) << kib << " KiB: " << run.errors;
    }
  }
  EXPECT_GT(refusals, 0);
}

}  // namespace
