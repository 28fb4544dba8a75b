// The table program: its text digits against the split report's for the
// same cases, its parsers' refusals, and the real program's exit status and
// streams on a refusal, a batch and failed output.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "front/screens.h"
#include "table/batch_line.h"
#include "table/command_line.h"
#include "table/table_run.h"
#include "tests/scripted_console.h"

namespace {

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
void expectTableDigitsEqualReport(const TableCase& c, Rank pair, char pairKey) {
  SplitCalculator calculator(Shoe(c.decks), c.rules);
  ScriptedConsole console(std::string(1, pairKey) + "cx");
  showSplitReport(console, calculator, c.removed);
  const std::string report = console.text();
  const std::size_t redraw = report.find("Pair value: ");
  ASSERT_NE(redraw, std::string::npos);

  TableCase one = c;
  one.pairs = {};
  one.pairs[static_cast<std::size_t>(rankIndex(pair))] = true;
  const std::string table = formatText(CaseRunner(1, std::size_t{1} << 30, PairQuantities::Split).evaluate(one));
  const std::string name(rankName(pair));
  const std::vector<std::string> plain = reportValues(report.substr(0, redraw));
  const std::vector<std::string> conditioned = reportValues(report.substr(redraw));
  ASSERT_EQ(plain.size(), std::size_t{ValueCount});
  EXPECT_EQ(plain == conditioned, !c.rules.peeks());  // the second block is the other view
  EXPECT_EQ(tableRow(table, "Unconditional EV", name), plain) << table;
  EXPECT_EQ(tableRow(table, "EV conditioned on no dealer BJ", name), conditioned) << table;
}

TEST(TableProgram, TextDigitsEqualTheSplitReports) {
  TableCase tens;  // full peek: the T, A and SPL1 values differ between views
  expectTableDigitsEqualReport(tens, Ten, 't');

  TableCase nines;  // two nines left: no 9 up card
  nines.removed = {0, 1, 0, 0, 0, 0, 0, 0, 2, 3};
  nines.rules.dealerBjRule = DealerBjRule::NoPeek;
  nines.rules.standsOnSoft17 = false;
  nines.rules.das = true;
  expectTableDigitsEqualReport(nines, 9, '9');
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
  std::fputs(input.c_str(), in);
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
      {"{\"pairs\":[\"T\"],\"colour\":\"red\"}", "unknown key \"colour\"; allowed: decks, removed, rules, pairs"},
      {"{\"decks\":1e400}", "not valid JSON here (a number out of range)"},
      {"{\"removed\":" + std::string(depth, '[') + std::string(depth, ']') + "}",
       "removed: " + std::string(40, '[') + "... is not allowed; allowed: a list of ten whole numbers, ace first"},
  };
  for (const auto& refusal : refusals) {
    const auto parsed = parseBatchLine(refusal.line);
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << refusal.error;
    EXPECT_EQ(std::get<std::string>(parsed), refusal.error);
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
                                          "{\"decks\":1e400}\n"
                                          "{\"removed\":[0,0,0,0,0,0,0,0,0,8],\"rules\":{\"soft17\":\"hit\"},"
                                          "\"pairs\":[\"t\"]}\n");
  const ProgramRun first = runTable({"--pairs", "T", "--format", "json"});
  const ProgramRun third = runTable({"--removed", "0,0,0,0,0,0,0,0,0,8", "--h17", "--pairs", "10", "--format", "json"});
  EXPECT_EQ(batch.status, 1);
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(batch.out, first.out + "{\"line\":2,\"error\":\"not valid JSON here (a number out of range)\"}\n" +
                           third.out);
  EXPECT_EQ(batch.err, "");
}

TEST(TableProgram, OutputThatCannotBeWrittenFails) {
  const ProgramRun run = runTable({"--pairs", "T"}, "", "/dev/full");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "splitev-table: cannot write the output: No space left on device\n");
}

}  // namespace
