// The table program: its text digits against the split report's for the
// same cases, its parsers' refusals, and the real program's exit status and
// streams on a refusal, a batch, a stop and failed output.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "front/screens.h"
#include "lib/engine_case.h"
#include "split/resplit_strategy.h"
#include "split/split_views.h"
#include "splitev/splitev.h"
#include "table/command_line.h"
#include "tests/scripted_console.h"

namespace {

using splitev::View;

// A case's results from a one-thread evaluator computing the given quantities.
splitev::Results evaluated(const splitev::Case& c, splitev::Quantities quantities) {
  splitev::EvaluatorOptions options;
  options.threads = 1;
  options.quantities = quantities;
  return splitev::Evaluator(options).evaluate(c);
}

// The whitespace-separated words of text, "X X X X X" counted as one.
std::vector<std::string> words(const std::string& text) {
  std::string joined;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find("X X X X X", from)) != std::string::npos; from = at + 9)
    joined.append(text, from, at - from).append("X");
  joined.append(text, from);
  std::istringstream in(joined);
  std::vector<std::string> all;
  for (std::string word; in >> word;) all.push_back(word);
  return all;
}

// The report's values for one view: SPL1, 2..9, T, A, from each line's end.
std::vector<std::string> reportValues(const std::string& block) {
  std::vector<std::string> values;
  std::istringstream lines(block);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("SPL1", 0) != 0) continue;
    values.push_back(words(line.substr(line.rfind(": ") + 2)).front());
  }
  return values;
}

// The table's row for the pair under the given view title.
std::vector<std::string> tableRow(const std::string& text, const std::string& title, const std::string& pair) {
  const std::size_t table = text.find(title + "\n");
  const std::size_t row = text.find("\n" + pair + " ", table);
  std::vector<std::string> values = words(text.substr(row, text.find('\n', row + 1) - row));
  values.erase(values.begin());
  return values;
}

// One case through the report (both views) and through the table.
void expectTableDigitsEqualReport(const splitev::Case& c, Rank pair, char pairKey) {
  const splitev::EngineCase engine = splitev::engineCase(c);
  SplitCalculator calculator(Shoe(engine.decks), engine.rules);
  ScriptedConsole console(std::string(1, pairKey) + "cx");
  showSplitReport(console, calculator, engine.removed);
  const std::string report = console.text();
  const std::size_t redraw = report.find("Pair value: ");
  ASSERT_NE(redraw, std::string::npos);

  splitev::Case one = c;
  one.pairs = {};
  one.pairs[static_cast<std::size_t>(rankIndex(pair))] = true;
  const std::string table = splitev::toText(evaluated(one, splitev::Quantities::Split));
  const std::string name(splitev::rankName(pair));
  const std::vector<std::string> plain = reportValues(report.substr(0, redraw));
  const std::vector<std::string> conditioned = reportValues(report.substr(redraw));
  ASSERT_EQ(plain.size(), std::size_t{splitev::EntryCount});
  EXPECT_EQ(plain == conditioned, !c.rules.peek);  // the second block is the other view
  EXPECT_EQ(tableRow(table, "Unconditional EV", name), plain) << table;
  EXPECT_EQ(tableRow(table, "EV conditioned on no dealer BJ", name), conditioned) << table;
}

TEST(TableProgram, TextDigitsEqualTheSplitReports) {
  splitev::Case tens;  // full peek: the T, A and SPL1 values differ between views
  expectTableDigitsEqualReport(tens, Ten, 't');

  splitev::Case nines;  // two nines left: no 9 up card
  nines.removed = {0, 1, 0, 0, 0, 0, 0, 0, 2, 3};
  nines.rules.peek = false;
  nines.rules.soft17 = splitev::Soft17::Hit;
  nines.rules.das = true;
  expectTableDigitsEqualReport(nines, 9, '9');
}

// The decision's quantities in order, split_cdz and split_cdp1 after
// split_perfect, for every number of hands: their values are the engine's,
// in both views, and every format carries their rows.
TEST(TableProgram, DecisionCarriesBothPostSplitStrategiesForEveryHands) {
  for (int hands = 2; hands <= 4; ++hands) {
    splitev::Case c;
    c.rules.das = true;
    c.pairs = {};
    c.pairs[static_cast<std::size_t>(rankIndex(8))] = true;
    c.rules.hands = hands;
    const splitev::Results report = evaluated(c, splitev::Quantities::Decision);
    ASSERT_EQ(report.pairs.size(), 1u);
    std::vector<std::string> names;
    for (const splitev::QuantityResult& q : report.pairs[0].quantities) names.push_back(q.name);
    EXPECT_EQ(names, (std::vector<std::string>{"split", "split_joint", "split_perfect", "split_cdz", "split_cdp1",
                                               "stand", "hit", "double"}));

    const splitev::EngineCase e = splitev::engineCase(c);
    SplitCalculator calc(Shoe(1), e.rules);
    const StrategyResplitResults engine = evaluateStrategyResplits(calc, e.removed, 8, e.resplit);
    for (int k = 0; k < 2; ++k) {
      const splitev::QuantityResult& q = report.pairs[0].quantities[static_cast<std::size_t>(3 + k)];
      for (int entry = 0; entry < splitev::EntryCount; ++entry)
        for (View view : {View::Unconditional, View::Conditioned}) {
          const ShownValue want = splitValueInView(k == 0 ? engine.cdz : engine.cdp1, entry, e.rules,
                                                   view == View::Conditioned);
          EXPECT_EQ(q.at(view, entry), want.shown ? std::optional<double>(want.value) : std::nullopt)
              << q.name << " hands " << hands << " entry " << entry;
        }
    }
    EXPECT_NE(splitev::toText(report, splitev::Show::Decision).find("\n      split_cdp1  "), std::string::npos);
    EXPECT_NE(splitev::toCsv(report).find("\n8,split_cdz,conditioned,"), std::string::npos);
    EXPECT_NE(splitev::toJson(report).find("},\"split_cdz\":{\"complete\":true,"), std::string::npos);
  }
}

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string readAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  return text;
}

// Runs the real program with input on standard input; output into files,
// or standard output to outputPath when one is given.
ProgramRun runTable(const std::vector<std::string>& arguments, const std::string& input = "",
             const char* outputPath = nullptr) {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), in);
  std::fflush(in);
  std::rewind(in);
  std::vector<std::string> argv = {SPLITEV_TABLE_BINARY};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> pointers;
  for (std::string& a : argv) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    dup2(fileno(in), STDIN_FILENO);
    dup2(outputPath ? open(outputPath, O_WRONLY) : fileno(out), STDOUT_FILENO);
    dup2(fileno(err), STDERR_FILENO);
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  ProgramRun run;
  int status = 0;
  waitpid(child, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = readAll(out);
  run.err = readAll(err);
  for (std::FILE* f : {in, out, err}) std::fclose(f);
  return run;
}

TEST(TableCommandLine, RefusalsNameTheOptionAndWhatIsAllowed) {
  const struct {
    std::vector<std::string> arguments;
    std::string error;
  } refusals[] = {
      {{"--decks", "2x"}, "--decks: \"2x\" is not allowed; allowed: a whole number from 1 to 41297762"},
      {{"--decks", "2", "--removed", "0,0,0,0,0,0,0,0,0,33"},
       "--removed: 33 cards of rank T is out of range; allowed: 0 to 8 (0 to 32 tens) for 2 decks"},
      {{"--dspa", "--das"}, "--dspa: allowed only with --das and --hsa"},
      {{"--shoe", "6"}, "--shoe: unknown option"},
      {{"--show", "best"}, "--show: \"best\" is not allowed; allowed: split, decision or all"},
      {{"--batch", "--pairs", "T"}, "--batch: each line gives its own case; --pairs cannot be given with it"},
      {{"--h17=2"}, "--h17: \"2\" is not allowed; allowed: nothing: the flag alone"},
      // A value that would pass for a line of its own, clear the screen and fill it.
      {{"--decks", "8\nsplitev-table: all good\x1b[2J" + std::string(100000, '9')},
       "--decks: \"8\\nsplitev-table: all good\\u001b[2J99999...\" is not allowed; allowed: a whole number from 1 "
       "to 41297762"},
  };
  for (const auto& refusal : refusals) {
    const CommandLine parsed = parseCommandLine(refusal.arguments);
    ASSERT_TRUE(std::holds_alternative<RefuseCommandLine>(parsed)) << refusal.error;
    EXPECT_EQ(std::get<RefuseCommandLine>(parsed).reason, refusal.error);
  }
}

TEST(TableBatchLine, RefusalsSayWhy) {
  // A value nested deep enough to overflow the stack of a level-by-level dump.
  const std::size_t depth = 100000;
  const struct {
    std::string line;
    std::string error;
  } refusals[] = {
      {"{\"pairs\":[\"T\"],\"colour\":\"red\"}",
       "unknown key \"colour\"; allowed: decks, removed, rules, pairs, up_cards"},
      {"{\"up_cards\":[\"overall\",\"B\"]}",
       "up_cards: \"B\" is not allowed; allowed: a non-empty list of overall, A (or a, 1), 2 to 9, T (or t, 10)"},
      {"{\"decks\":1e400}", "not valid JSON here (a number out of range)"},
      {"{\"removed\":" + std::string(depth, '[') + std::string(depth, ']') + "}",
       "removed: " + std::string(40, '[') + "... is not allowed; allowed: a list of ten whole numbers, ace first"},
      {"{\"rules\":{\"das\":true,\"das\":false}}",
       "key \"rules.das\" is given twice; a key may appear once in an object"},
  };
  for (const auto& refusal : refusals) {
    try {
      splitev::parseCase(refusal.line);
      ADD_FAILURE() << "accepted: " << refusal.line.substr(0, 80);
    } catch (const splitev::Error& error) {
      EXPECT_EQ(error.what(), refusal.error);
    }
  }

  // The same checks on a case made in code, as evaluate makes them.
  splitev::Case noPairs;
  noPairs.pairs = {};
  splitev::Case charlie4;
  charlie4.rules.charlie = 4;
  splitev::Case tooManyTens;
  tooManyTens.decks = 2;
  tooManyTens.removed[9] = 33;
  const std::pair<splitev::Case, std::string> refusedCases[] = {
      {noPairs, "pairs: [] is not allowed; allowed: \"all\", or a non-empty list of A (or a, 1), 2 to 9, T (or t, 10)"},
      {charlie4, "rules.charlie: 4 is not allowed; allowed: 0, 5 or 6"},
      {tooManyTens, "removed: 33 cards of rank T is out of range; allowed: 0 to 8 (0 to 32 tens) for 2 decks"},
  };
  for (const auto& [c, message] : refusedCases) {
    try {
      splitev::evaluate(c);
      ADD_FAILURE() << "evaluated: " << message;
    } catch (const splitev::Error& error) {
      EXPECT_EQ(error.what(), message);
    }
  }
}

TEST(TableProgram, RefusedCommandLineIsOneLineOnStandardErrorAndStatusTwo) {
  const ProgramRun run = runTable({"--decks", "2x"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "splitev-table: --decks: \"2x\" is not allowed; allowed: a whole number from 1 to 41297762 (see --help)\n");
}

TEST(TableProgram, BatchAnswersEachLineAsTheSingleRunAndReportsTheBadOne) {
  const ProgramRun batch = runTable({"--batch"}, "{\"pairs\":[\"T\"]}\n"
                                          "{\"decks\":1e400}\n" +
                                          std::string("{\"pairs\":[\"T\"]}\0{\"decks\":0}\n", 28) +
                                          "{\"removed\":[0,0,0,0,0,0,0,0,0,8],\"rules\":{\"soft17\":\"hit\"},"
                                          "\"pairs\":[\"t\"]}\n"
                                          "{\"pairs\":[\"T\"],\"up_cards\":[\"overall\",\"9\"],\"rules\":{\"hands\":3}}\n");
  const ProgramRun first = runTable({"--pairs", "T", "--format", "json"});
  const ProgramRun third = runTable({"--removed", "0,0,0,0,0,0,0,0,0,8", "--h17", "--pairs", "10", "--format", "json"});
  const ProgramRun fifth = runTable({"--pairs", "T", "--up-cards", "overall,9", "--hands", "3", "--format", "json"});
  EXPECT_EQ(batch.status, 1);
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(batch.out, first.out + "{\"line\":2,\"error\":\"not valid JSON here (a number out of range)\"}\n"
                           "{\"line\":3,\"error\":\"not valid JSON (a NUL byte at byte 16)\"}\n" +
                           third.out + fifth.out);
  EXPECT_EQ(batch.err, "");
}

TEST(TableProgram, AStopEndsTheBatchAfterAWholeLine) {
  // Many quick cases of the same shoe, each line longer than the pipe holds.
  std::FILE* in = std::tmpfile();
  for (int i = 0; i < 400; ++i) std::fputs("{\"removed\":[2,2,2,2,2,2,2,2,2,14]}\n", in);
  std::rewind(in);
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const int capacity = fcntl(out[1], F_SETPIPE_SZ, 4096);
  ASSERT_GT(capacity, 0);
  std::string binary = SPLITEV_TABLE_BINARY;
  std::string batch = "--batch";
  char* const argv[] = {binary.data(), batch.data(), nullptr};
  const pid_t child = fork();
  if (child == 0) {
    dup2(fileno(in), STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execv(argv[0], argv);
    _exit(127);
  }
  close(out[1]);
  std::fclose(in);

  // Nothing is read until the pipe is full: the program is then part way
  // through writing its first line.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (int held = 0; held < capacity && std::chrono::steady_clock::now() < deadline;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(ioctl(out[0], FIONREAD, &held), 0);
  }
  kill(child, SIGTERM);
  std::string got;
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<std::size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);

  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM) << "status " << status;
  const std::size_t firstEnd = got.find('\n');
  ASSERT_NE(firstEnd, std::string::npos) << got.size() << " bytes without a line end";
  const std::string first = got.substr(0, firstEnd + 1);
  EXPECT_EQ(first.substr(0, 11), "{\"decks\":1,");
  EXPECT_GT(first.size(), static_cast<std::size_t>(capacity));
  // Whole lines only, and nothing after the stop but the rest of the line.
  EXPECT_EQ(got, first);
}

TEST(TableProgram, CtrlCDuringSplitPerfectStopsWithinASecondWritingNothing) {
  // A four-hand resplit case of several seconds; the signal comes once its
  // progress line says it is valuing states.
  int out[2];
  int err[2];
  ASSERT_EQ(pipe(out), 0);
  ASSERT_EQ(pipe(err), 0);
  std::vector<std::string> args = {SPLITEV_TABLE_BINARY, "--pairs", "8", "--das", "--hands", "4",
                                   "--format", "json", "--progress"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGINT, SIG_DFL);  // as from a terminal, whatever this process ignores
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    close(out[0]);
    close(err[0]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  std::string progress;
  char buffer[4096];
  while (progress.find("split_perfect: values") == std::string::npos) {
    const ssize_t n = read(err[0], buffer, sizeof buffer);
    ASSERT_GT(n, 0) << "the program ended before split_perfect showed progress: " << progress;
    progress.append(buffer, static_cast<std::size_t>(n));
  }
  kill(child, SIGINT);
  const auto sent = std::chrono::steady_clock::now();
  int status = 0;
  waitpid(child, &status, 0);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - sent;
  std::string got;
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<std::size_t>(n));
  close(out[0]);
  close(err[0]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << "status " << status;
  EXPECT_LT(took.count(), 1.0);
  EXPECT_EQ(got, "");
}

TEST(TableProgram, OutputThatCannotBeWrittenFails) {
  const ProgramRun run = runTable({"--pairs", "T"}, "", "/dev/full");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "splitev-table: cannot write the output: No space left on device\n");
}

}  // namespace
