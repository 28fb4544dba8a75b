#include "base/parallel.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <stdexcept>
#include <thread>

namespace {

// Every task runs exactly once whoever holds the worker pool: two callers at
// once (one gets the pool, the other starts its own threads), a parallelFor
// inside a task, a call after a task threw, and a forked child, whose pool
// threads stayed behind in the parent.
TEST(ParallelFor, RunsEveryTaskOnceWhereverItIsCalledFrom) {
  constexpr std::size_t Tasks = 2000;
  auto countRuns = [](std::array<std::atomic<int>, Tasks>& runs, std::atomic<int>& nested) {
    parallelFor(2, Tasks, [&](std::size_t i) {
      runs[i].fetch_add(1);
      if (i % 500 == 0) parallelFor(2, 10, [&](std::size_t) { nested.fetch_add(1); });
    });
  };
  std::array<std::atomic<int>, Tasks> first{};
  std::array<std::atomic<int>, Tasks> second{};
  std::atomic<int> nested{0};
  std::thread other([&] { countRuns(second, nested); });
  countRuns(first, nested);
  other.join();
  for (std::size_t i = 0; i < Tasks; ++i) {
    ASSERT_EQ(first[i].load(), 1) << i;
    ASSERT_EQ(second[i].load(), 1) << i;
  }
  EXPECT_EQ(nested.load(), 2 * 4 * 10);

  EXPECT_THROW(parallelFor(2, 100,
                           [](std::size_t i) {
                             if (i == 50) throw std::runtime_error("task 50");
                           }),
               std::runtime_error);
  std::atomic<int> after{0};
  parallelFor(2, 100, [&](std::size_t) { after.fetch_add(1); });
  EXPECT_EQ(after.load(), 100);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::atomic<int> inChild{0};
    parallelFor(2, 100, [&](std::size_t) { inChild.fetch_add(1); });
    _exit(inChild.load() == 100 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
