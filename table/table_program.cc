#include "table/table_program.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <variant>

#include "table/batch_line.h"
#include "table/command_line.h"
#include "table/stop_signal.h"
#include "table/table_run.h"

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

// A line on standard error that is rewritten in place as work goes on.
class ProgressLine {
 public:
  ProgressLine(std::FILE* err, ProgressMode mode)
      : err(err), shown(mode == ProgressMode::Always || (mode == ProgressMode::WhenTerminal && isatty(fileno(err)))) {}
  ~ProgressLine() { clear(); }

  void update(std::int64_t done, std::optional<std::int64_t> total, std::string_view unit) {
    if (!shown) return;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::string text = "\r";
    text += ProgramName;
    text += ": ";
    text += formatProgress(done, total, unit, elapsed.count());
    const std::size_t length = text.size() - 1;
    if (length < width) text.append(width - length, ' ');
    width = length;
    std::fwrite(text.data(), 1, text.size(), err);
    std::fflush(err);
  }
  // Any text in place of the counts.
  void show(std::string_view what) {
    if (!shown) return;
    std::string text = "\r";
    text += ProgramName;
    text += ": ";
    text += what;
    const std::size_t length = text.size() - 1;
    if (length < width) text.append(width - length, ' ');
    width = length;
    std::fwrite(text.data(), 1, text.size(), err);
    std::fflush(err);
  }
  // Takes the line away before anything else goes to standard error.
  void clear() {
    if (!shown || width == 0) return;
    std::string blank = "\r";
    blank.append(width, ' ');
    blank += "\r";
    std::fwrite(blank.data(), 1, blank.size(), err);
    std::fflush(err);
    width = 0;
  }

 private:
  std::FILE* err;
  bool shown;
  std::size_t width = 0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

// Warns about results that are not plain answers; true when a pair failed.
bool reportPairProblems(std::FILE* err, const CaseReport& report, std::string_view where, bool noRowsForRefused) {
  bool failed = false;
  for (const PairReport& pair : report.pairs) {
    const std::string subject = std::string(where) + "pair " + std::string(rankName(pair.pair));
    if (pair.status == PairStatus::OutOfMemory) {
      message(err, subject + ": " + std::string(pairStatusText(pair.status)));
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
    for (const QuantityValues& values : pair.quantities) {
      if (!values.complete) incomplete += (incomplete.empty() ? "" : ", ") + values.name;
    }
    if (!incomplete.empty())
      message(err, subject + ": " + incomplete + " values are incomplete: the shoe ran out of cards in some branch");
  }
  return failed;
}

// The runner's stop test and split_perfect's progress on the progress line,
// shown once a pair has taken a second.
void connect(CaseRunner& runner, const TableOptions& options, ProgressLine& progress) {
  runner.memoryBudget = options.memoryBudget;
  runner.stopRequested = [] { return stopRequested(); };
  struct PairClock {
    Rank pair = 0;
    std::chrono::steady_clock::time_point start;
  };
  auto clock = std::make_shared<PairClock>();
  runner.perfectProgress = [clock, &progress](Rank pair, std::string_view phase, double share) {
    const auto now = std::chrono::steady_clock::now();
    if (clock->pair != pair) {
      clock->pair = pair;
      clock->start = now;
    }
    const std::chrono::duration<double> elapsed = now - clock->start;
    if (elapsed.count() < 1.0) return;
    progress.show(formatPhaseProgress("pair " + std::string(rankName(pair)) + ", split_perfect", phase, share,
                                      elapsed.count()));
  };
}

int runSingle(const TableOptions& options, std::FILE* out, std::FILE* err) {
  // Only the split tables need nothing but the split.
  const bool splitAlone = options.format == OutputFormat::Text && options.show == TextShow::Split;
  CaseRunner runner(options.threads, options.cacheBudget,
                    splitAlone ? PairQuantities::Split : PairQuantities::Decision);
  ProgressLine progress(err, options.progress);
  connect(runner, options, progress);
  int total = 0;
  for (bool asked : options.single.pairs) total += asked ? 1 : 0;
  progress.update(0, total, "pair");
  CaseReport report;
  try {
    report = runner.evaluate(options.single, [&](int done, int) { progress.update(done, total, "pair"); });
  } catch (const CaseCancelled&) {
    progress.clear();
    return stopExitStatus();
  }
  progress.clear();
  const std::string text = options.format == OutputFormat::Text  ? formatText(report, options.show)
                           : options.format == OutputFormat::Csv ? formatCsv(report)
                                                                 : formatJson(report);
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
  CaseRunner runner(options.threads, options.cacheBudget, PairQuantities::Decision);
  ProgressLine progress(err, options.progress);
  connect(runner, options, progress);
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
    std::optional<CaseReport> report;
    try {
      const auto parsed = parseBatchLine(line);
      if (const auto* reason = std::get_if<std::string>(&parsed)) {
        answer = formatBatchError(lineNumber, *reason);
        failed = true;
      } else {
        report = runner.evaluate(std::get<TableCase>(parsed));
        answer = formatJson(*report);
      }
    } catch (const std::bad_alloc&) {
      report.reset();
      answer = formatBatchError(lineNumber, "not enough memory for this case");
      failed = true;
    } catch (const CaseCancelled&) {
      // The case is dropped: nothing of it is written.
      progress.clear();
      return stopExitStatus();
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
