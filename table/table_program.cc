#include "table/table_program.h"

#include <nlohmann/json.hpp>
#include <splitev/splitev.h>
#include <stdio.h>  // getline

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <variant>

#include "table/command_line.h"
#include "table/progress_line.h"
#include "table/stop_signal.h"

namespace {

constexpr std::string_view ProgramName = "splitev-table";

// One line on standard error, after the program's name.
void message(std::FILE* err, std::string_view text) {
  const std::string line = std::string(ProgramName) + ": " + std::string(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), err);
}

// Writes and flushes, so a pipeline sees each line as it is done; false
// when the output cannot take it (a full disk, a closed descriptor). A stop
// signal waits until the text is out whole.
bool writeOut(std::FILE* out, std::string_view text) {
  const DeferStop wholeText;
  return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
}

int writeFailed(std::FILE* err) {
  const int cause = errno;
  message(err, std::string("cannot write the output: ") + std::strerror(cause));
  return 1;
}

// Warns about results that are not plain answers; true when a pair failed.
bool reportPairProblems(std::FILE* err, const splitev::Results& report, std::string_view where,
                        bool noRowsForRefused) {
  using splitev::PairStatus;
  bool failed = false;
  for (const splitev::PairResult& pair : report.pairs) {
    const std::string subject = std::string(where) + "pair " + pair.pair;
    if (pair.status == PairStatus::OutOfMemory) {
      message(err, subject + ": " + pair.error.value_or(""));
      failed = true;
    }
    if (pair.status == PairStatus::TooLarge) {
      const std::size_t mib = (pair.neededBytes + (std::size_t{1} << 20) - 1) >> 20;
      if (pair.neededAtLeast) {
        message(err, subject + ": split_perfect needs more than " + std::to_string(mib) +
                         " MiB (its states alone pass --max-memory); give a larger --max-memory");
      } else {
        message(err, subject + ": split_perfect needs about " + std::to_string(mib) +
                         " MiB, more than --max-memory allows; give --max-memory " + std::to_string(mib) + " or more");
      }
      failed = true;
    }
    if (pair.status == PairStatus::CannotBeDealt && noRowsForRefused) message(err, subject + " cannot be dealt");
    std::string incomplete;
    for (const splitev::QuantityResult& values : pair.quantities) {
      if (!values.complete) incomplete += (incomplete.empty() ? "" : ", ") + values.name;
    }
    if (!incomplete.empty())
      message(err, subject + ": " + incomplete + " values are incomplete: the shoe ran out of cards in some branch");
  }
  return failed;
}

// The evaluator's progress on the progress line: split_perfect's phases
// once a pair has taken a second, and (with a total) the pairs done.
void connect(splitev::Evaluator& evaluator, ProgressLine& progress, std::optional<int> pairTotal) {
  if (!progress.shown()) return;
  struct Counts {
    std::string pair;
    std::chrono::steady_clock::time_point start;
    int done = 0;
  };
  auto counts = std::make_shared<Counts>();
  evaluator.setProgress([counts, &progress, pairTotal](std::string_view pair, std::string_view phase, double share) {
    if (phase == "done") {
      if (pairTotal) progress.update(++counts->done, *pairTotal, "pair");
      return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (counts->pair != pair) {
      counts->pair = pair;
      counts->start = now;
    }
    const std::chrono::duration<double> elapsed = now - counts->start;
    if (elapsed.count() < 1.0) return;
    progress.show(formatPhaseProgress("pair " + std::string(pair) + ", split_perfect", phase, share, elapsed.count()));
  });
}

splitev::EvaluatorOptions evaluatorOptions(const TableOptions& options, splitev::Quantities quantities) {
  splitev::EvaluatorOptions chosen;
  chosen.threads = options.threads;
  chosen.cacheBudgetMiB = options.cacheBudgetMiB;
  chosen.maxMemoryMiB = options.maxMemoryMiB;
  chosen.quantities = quantities;
  return chosen;
}

// No stop test is needed: nothing holds off a stop signal while a case is
// computed, so the signal ends the program at once (table/stop_signal.h).
int runSingle(const TableOptions& options, std::FILE* out, std::FILE* err) {
  // Only the split tables need nothing but the split.
  const bool splitAlone = options.format == OutputFormat::Text && options.show == splitev::Show::Split;
  splitev::Evaluator evaluator(
      evaluatorOptions(options, splitAlone ? splitev::Quantities::Split : splitev::Quantities::Decision));
  ProgressLine progress(err, options.progress);
  int total = 0;
  for (bool asked : options.single.pairs) total += asked ? 1 : 0;
  connect(evaluator, progress, total);
  progress.update(0, total, "pair");
  const splitev::Results report = evaluator.evaluate(options.single);
  progress.clear();
  const std::string text = options.format == OutputFormat::Text  ? splitev::toText(report, options.show)
                           : options.format == OutputFormat::Csv ? splitev::toCsv(report)
                                                                 : splitev::toJson(report);
  bool failed = false;
  {
    const DeferStop warningsAndOutput;
    failed = reportPairProblems(err, report, "", options.format == OutputFormat::Csv);
    if (!writeOut(out, text)) return writeFailed(err);
  }
  if (stopRequested()) return stopExitStatus();
  return failed ? 1 : 0;
}

// The line getline reads into, grown as needed.
struct LineBuffer {
  char* data = nullptr;
  std::size_t capacity = 0;
  LineBuffer() = default;
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;
  ~LineBuffer() { std::free(data); }
};

int runBatch(const TableOptions& options, std::FILE* in, std::FILE* out, std::FILE* err) {
  splitev::Evaluator evaluator(evaluatorOptions(options, splitev::Quantities::Decision));
  ProgressLine progress(err, options.progress);
  connect(evaluator, progress, std::nullopt);
  bool failed = false;
  std::int64_t lineNumber = 0;
  LineBuffer buffer;
  progress.update(0, std::nullopt, "case");
  for (ssize_t got; (got = getline(&buffer.data, &buffer.capacity, in)) >= 0;) {
    ++lineNumber;
    std::string_view line(buffer.data, static_cast<std::size_t>(got));
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);

    // A line that does not fit in memory fails alone; the batch goes on.
    std::string answer;
    std::optional<splitev::Results> report;
    try {
      report = evaluator.evaluate(splitev::parseCase(line));
      answer = splitev::toJson(*report);
    } catch (const splitev::Error& refusal) {
      report.reset();
      answer = formatBatchError(lineNumber, refusal.what());
      failed = true;
    } catch (const std::bad_alloc&) {
      report.reset();
      answer = formatBatchError(lineNumber, "not enough memory for this case");
      failed = true;
    }
    {
      // A stop from here on lets the case's warnings and its line go out.
      const DeferStop warningsAndLine;
      if (report) {
        progress.clear();
        failed |= reportPairProblems(err, *report, "line " + std::to_string(lineNumber) + ": ", false);
      }
      if (!writeOut(out, answer)) {
        progress.clear();
        return writeFailed(err);
      }
    }
    if (stopRequested()) {
      progress.clear();
      return stopExitStatus();
    }
    progress.update(lineNumber, std::nullopt, "case");
  }
  progress.clear();
  if (std::ferror(in)) {
    message(err, std::string("cannot read the input: ") + std::strerror(errno));
    return 1;
  }
  return failed ? 1 : 0;
}

}  // namespace

std::string formatBatchError(std::int64_t line, std::string_view reason) {
  const std::string text =
      nlohmann::json(std::string(reason)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return "{\"line\":" + std::to_string(line) + ",\"error\":" + text + "}\n";
}

int runTableProgram(const std::vector<std::string>& arguments, std::FILE* in, std::FILE* out, std::FILE* err) {
  const CommandLine command = parseCommandLine(arguments);
  if (const auto* refusal = std::get_if<RefuseCommandLine>(&command)) {
    message(err, refusal->reason + " (see --help)");
    return 2;
  }
  if (const auto* text = std::get_if<ShowText>(&command)) {
    if (!writeOut(out, text->text)) return writeFailed(err);
    return stopRequested() ? stopExitStatus() : 0;
  }
  const TableOptions& options = std::get<RunTable>(command).options;
  return options.batch ? runBatch(options, in, out, err) : runSingle(options, out, err);
}
