// The library's evaluator: a case cancelled part way leaves it to compute
// the next one exactly as a fresh evaluator does, and the caller's stop test
// and progress run on the caller's thread only.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "splitev/splitev.h"

namespace {

TEST(Evaluator, ACancelledCaseLeavesTheEvaluatorToComputeTheNextOnTheCallersThread) {
  const std::thread::id caller = std::this_thread::get_id();
  bool elsewhere = false;
  splitev::Evaluator evaluator;

  // Several seconds of split_perfect (four hands), stopped at the second poll.
  splitev::Case slow;
  slow.pairs = {};
  slow.pairs[8 - 1] = true;
  slow.rules.das = true;
  slow.rules.hands = 4;
  int polls = 0;
  evaluator.setStop([&] {
    elsewhere = elsewhere || std::this_thread::get_id() != caller;
    return ++polls >= 2;
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(evaluator.evaluate(slow), splitev::Cancelled);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took.count(), 3.0);

  splitev::Case next;
  next.pairs = {};
  next.pairs[8 - 1] = true;
  next.pairs[10 - 1] = true;
  std::vector<std::string> done;
  evaluator.setStop([&] {
    elsewhere = elsewhere || std::this_thread::get_id() != caller;
    return false;
  });
  evaluator.setProgress([&](std::string_view pair, std::string_view phase, double) {
    elsewhere = elsewhere || std::this_thread::get_id() != caller;
    if (phase == "done") done.emplace_back(pair);
  });
  EXPECT_EQ(splitev::toJson(evaluator.evaluate(next)), splitev::toJson(splitev::evaluate(next)));
  EXPECT_EQ(done, (std::vector<std::string>{"8", "T"}));
  EXPECT_FALSE(elsewhere);
}

}  // namespace
