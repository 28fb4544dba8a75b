#pragma once

// The progress line splitev-table keeps on standard error, and its text.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// Whether to keep a progress line on standard error.
enum class ProgressMode {
  WhenTerminal,  // only when standard error is a terminal
  Always,
  Never,
};

// A line on standard error that is rewritten in place as work goes on.
class ProgressLine {
 public:
  ProgressLine(std::FILE* err, ProgressMode mode);
  ~ProgressLine() { clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Whether the line is shown at all.
  bool shown() const { return visible; }
  // The counts done, of total when known, in the unit ("pair", "case").
  void update(std::int64_t done, std::optional<std::int64_t> total, std::string_view unit);
  // Any text in place of the counts.
  void show(std::string_view what);
  // Takes the line away before anything else goes to standard error.
  void clear();

 private:
  std::FILE* err;
  bool visible;
  std::size_t width = 0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

// "pair 2: values 45%, 0:12 elapsed, about 0:15 left": a long computation's progress.
std::string formatPhaseProgress(std::string_view subject, std::string_view phase, double share, double elapsedSeconds);

// "3/10 pairs, 0:12 elapsed, about 0:28 left", or without a total
// "12 cases, 1:40 elapsed, about 0:08 a case".
std::string formatProgress(std::int64_t done, std::optional<std::int64_t> total, std::string_view unit,
                           double elapsedSeconds);
