#include "table/progress_line.h"

#include <unistd.h>

#include <algorithm>

namespace {

constexpr std::string_view ProgramName = "splitev-table";

std::string durationText(double seconds) {
  const auto whole = static_cast<std::int64_t>(std::max(0.0, seconds) + 0.5);
  const std::int64_t hours = whole / 3600;
  const std::int64_t minutes = whole / 60 % 60;
  const std::int64_t rest = whole % 60;
  const auto twoDigits = [](std::int64_t n) { return std::string(n < 10 ? "0" : "").append(std::to_string(n)); };
  if (hours > 0) return std::to_string(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(rest);
  return std::to_string(minutes) + ":" + twoDigits(rest);
}

}  // namespace

ProgressLine::ProgressLine(std::FILE* err, ProgressMode mode)
    : err(err), visible(mode == ProgressMode::Always || (mode == ProgressMode::WhenTerminal && isatty(fileno(err)))) {}

void ProgressLine::update(std::int64_t done, std::optional<std::int64_t> total, std::string_view unit) {
  if (!visible) return;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  show(formatProgress(done, total, unit, elapsed.count()));
}

void ProgressLine::show(std::string_view what) {
  if (!visible) return;
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

void ProgressLine::clear() {
  if (!visible || width == 0) return;
  std::string blank = "\r";
  blank.append(width, ' ');
  blank += "\r";
  std::fwrite(blank.data(), 1, blank.size(), err);
  std::fflush(err);
  width = 0;
}

std::string formatPhaseProgress(std::string_view subject, std::string_view phase, double share,
                                double elapsedSeconds) {
  const int percent = static_cast<int>(std::clamp(share, 0.0, 1.0) * 100.0);
  std::string text = std::string(subject) + ": " + std::string(phase) + " " + std::to_string(percent) + "%, " +
                     durationText(elapsedSeconds) + " elapsed";
  if (share <= 0.0) return text;
  return text + ", about " + durationText(elapsedSeconds * (1.0 - share) / share) + " left";
}

std::string formatProgress(std::int64_t done, std::optional<std::int64_t> total, std::string_view unit,
                           double elapsedSeconds) {
  const std::string units = std::string(unit) + "s";
  std::string text = total ? std::to_string(done) + "/" + std::to_string(*total) + " " + units
                           : std::to_string(done) + " " + (done == 1 ? std::string(unit) : units);
  text += ", " + durationText(elapsedSeconds) + " elapsed";
  if (done == 0) return text;
  const double each = elapsedSeconds / static_cast<double>(done);
  if (total) return text + ", about " + durationText(each * static_cast<double>(*total - done)) + " left";
  return text + ", about " + durationText(each) + " a " + std::string(unit);
}
