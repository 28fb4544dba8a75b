// A whole session of the real program at a terminal: six decks, some
// removals, H17 and DAS set in the editor, a pair of eights computed, the
// conditioned view and back, then exit. The numbers on the screen must be
// the engine's for the same shoe and rules.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "split/split_calculator.h"
#include "tests/pty_session.h"

namespace {

using std::chrono::seconds;

const std::string MenuEnd = "x or X to exit program\r\n\r\n\tChoice:  ";

// The value printed after label on its line of the report.
std::string lineValue(const std::string& screen, const std::string& label) {
  const std::size_t at = screen.find(label);
  if (at == std::string::npos) return "<no line " + label + ">";
  const std::size_t start = at + label.size();
  const std::size_t end = screen.find_first_of("\r\n", start);
  return screen.substr(start, end - start);
}

std::string printed(double value) {
  std::ostringstream out;
  out.precision(15);
  out << value;
  return out.str();
}

// The lines of one view as the screen should show them: the engine's stored
// values, with the dealer's blackjack given back (unconditional) or taken
// out (conditioned) on the T, A and overall lines, as the dealer peeks.
std::map<std::string, std::string> expectedView(const SplitResults& engine, bool conditioned) {
  const ValueVector& ev = engine.ev;
  auto adjusted = [&](double value, double bj) {
    return conditioned ? (value + 2.0 * bj) / (1.0 - bj) : value + bj;
  };
  std::map<std::string, std::string> lines;
  lines["SPL1 (split & play without knowledge of dealer up card): "] =
      printed(adjusted(ev[0], engine.blackjackOverall));
  for (int u = 2; u <= 9; ++u) lines["SPL1 versus " + std::to_string(u) + ": "] = printed(ev[u]);
  lines["SPL1 versus T: "] = printed(adjusted(ev[10], engine.blackjackVsTen));
  lines["SPL1 versus A: "] = printed(adjusted(ev[1], engine.blackjackVsAce));
  return lines;
}

void expectView(const std::string& screen, const std::map<std::string, std::string>& expected) {
  for (const auto& [label, value] : expected) EXPECT_EQ(lineValue(screen, label), value) << label;
}

TEST(ReportSession, SixDecksEightsUnderH17AndDasBothViews) {
  PtySession session(SPLITEV_BINARY);
  ASSERT_TRUE(session.waitFor(MenuEnd)) << session.output();

  // Six decks.
  session.send("0");
  ASSERT_TRUE(session.waitFor("Decks (no input results in no change):  "));
  session.send("6\r");
  ASSERT_TRUE(session.waitFor(MenuEnd));

  // Two aces, seven fives and twenty tens out; the other ranks untouched.
  session.send("3");
  const char* typed[RankCount] = {"2", "", "", "", "7", "", "", "", "", "20"};
  for (const char* line : typed) {
    ASSERT_TRUE(session.waitFor("reset to:  ")) << session.output();
    session.send(std::string(line) + "\r");
  }
  ASSERT_TRUE(session.waitFor("Press any key to continue"));
  session.send(" ");
  ASSERT_TRUE(session.waitFor(MenuEnd));

  // The editor: H17 on screen 1, DAS on screen 4, Enter through the rest
  // (without hitting split aces there is no screen for doubling them).
  session.send("2");
  ASSERT_TRUE(session.waitFor("\r\nDealer soft standing number"));
  session.send("1");
  ASSERT_TRUE(session.waitFor("X\t1 Dealer hits soft 17"));
  session.send("\r\r\r0");
  ASSERT_TRUE(session.waitFor("X\t0 (DAS) Doubling after splitting pairs 2-10 is allowed"));
  session.send("\r\r\r\r");
  ASSERT_TRUE(session.waitFor("Current Rules"));
  ASSERT_TRUE(session.waitFor("Press any key to continue"));
  const std::string listing = session.output();
  EXPECT_NE(listing.find("\tDealer hits soft 17"), std::string::npos);
  EXPECT_NE(listing.find("\tDoubling after splitting is allowed"), std::string::npos);
  session.send(" ");
  ASSERT_TRUE(session.waitFor(MenuEnd));

  // The same shoe and rules, computed here while the program computes.
  RuleSet rules;
  rules.standsOnSoft17 = false;
  rules.das = true;
  const Removals removals = {2, 0, 0, 0, 7, 0, 0, 0, 0, 20};
  auto engineRun = std::async(std::launch::async, [&] {
    auto engine = std::make_unique<SplitCalculator>(Shoe(6), rules);
    return engine->evaluateSplit(removals, 8);
  });

  session.send("4");
  ASSERT_TRUE(session.waitFor("Shoe comp (A-5):  {22, 24, 24, 24, 17}\r\nShoe comp (6-T):  {24, 24, 24, 24, 76}"))
      << session.output();
  ASSERT_TRUE(session.waitFor("(a or A,2,3,4,5,6,7,8,9,t or T): "));
  session.send("8");
  ASSERT_TRUE(session.waitFor("Pair value = 8\r\n\r\nSingle split EVs (full peek), H17, DAS, no DAN, no HSA, "
                              "no auto win\r\nDouble any 2 cards\r\nUnconditional EV, Allowed splits: 1"
                              " ...Computing, please wait..."))
      << session.output();
  ASSERT_TRUE(session.waitFor("any other key to exit", seconds(240)));
  const std::string first = session.output();

  const SplitResults engine = engineRun.get();
  ASSERT_EQ(engine.run, SplitRun::Completed);
  const auto unconditional = expectedView(engine, false);
  expectView(first, unconditional);

  std::size_t redrawStart = session.output().size();
  session.send("c");
  ASSERT_TRUE(session.waitFor("Press u or U to display unconditional EV, any other key to exit"));
  const std::string second = session.output().substr(redrawStart);
  EXPECT_NE(second.find("Pair value: 8"), std::string::npos);
  EXPECT_NE(second.find("\r\nEV conditioned on no dealer BJ, Allowed splits: 1"), std::string::npos);
  const auto conditioned = expectedView(engine, true);
  expectView(second, conditioned);
  // Only the lines a dealer blackjack bears on change.
  EXPECT_NE(conditioned.at("SPL1 versus T: "), unconditional.at("SPL1 versus T: "));
  EXPECT_NE(conditioned.at("SPL1 versus A: "), unconditional.at("SPL1 versus A: "));

  redrawStart = session.output().size();
  session.send("u");
  ASSERT_TRUE(session.waitFor("Press c or C for EV conditioned on no dealer blackjack, any other key to exit"));
  expectView(session.output().substr(redrawStart), unconditional);

  session.send("q");
  ASSERT_TRUE(session.waitFor(MenuEnd));
  session.send("x");
  const std::optional<int> status = session.waitExit();
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  EXPECT_TRUE(PtySession::sameMode(session.attributes(), session.startingAttributes()));
}

}  // namespace
