// Times evaluateSplit for every pair at several deck counts (S17, DAS,
// otherwise default rules), each run in a child process from an empty dealer
// cache, and prints wall time, cached dealer records, peak memory and a
// checksum of the results. A change that claims to be a pure speed-up must
// leave every checksum unchanged.
//
// Usage: split_bench [decks...] [-p pairs]   e.g. split_bench 1 2 6 8 -p 2 8 10
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "split/split_calculator.h"

namespace {

struct RunReport {
  double seconds = 0.0;
  std::int64_t records = 0;
  long peakKiB = 0;
  std::uint64_t checksum = 0;
  int status = -1;
};

// FNV-1a over the bits of the eleven results.
std::uint64_t checksumOf(const ValueVector& values) {
  std::uint64_t hash = 1469598103934665603ULL;
  for (double v : values) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i) {
      hash ^= (bits >> (8 * i)) & 0xff;
      hash *= 1099511628211ULL;
    }
  }
  return hash;
}

RunReport runInChild(int decks, int pair) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    RuleSet rules;
    rules.das = true;
    SplitCalculator calculator(Shoe(decks), rules);
    const auto start = std::chrono::steady_clock::now();
    const SplitResults results = calculator.evaluateSplit(Removals{}, static_cast<Rank>(pair));
    const auto stop = std::chrono::steady_clock::now();
    RunReport report;
    report.seconds = std::chrono::duration<double>(stop - start).count();
    report.records = calculator.dealerCache.recordCount();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    report.peakKiB = usage.ru_maxrss;
    report.checksum = checksumOf(results.ev);
    report.status = results.run == SplitRun::Completed ? 0 : 1;
    const ssize_t written = write(fds[1], &report, sizeof report);
    _exit(written == static_cast<ssize_t>(sizeof report) ? 0 : 1);
  }
  close(fds[1]);
  RunReport report;
  const ssize_t got = read(fds[0], &report, sizeof report);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (got != static_cast<ssize_t>(sizeof report)) report.status = -1;
  return report;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> deckCounts;
  std::vector<int> pairs;
  bool readingPairs = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-p") == 0) {
      readingPairs = true;
      continue;
    }
    (readingPairs ? pairs : deckCounts).push_back(std::atoi(argv[i]));
  }
  if (deckCounts.empty()) deckCounts = {1, 2, 6, 8};
  if (pairs.empty()) pairs = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

  std::printf("cores: %u\n", std::thread::hardware_concurrency());
  std::printf("%5s %4s %10s %10s %10s  %s\n", "decks", "pair", "seconds", "records", "peak MiB", "checksum");
  for (int decks : deckCounts) {
    for (int pair : pairs) {
      const RunReport r = runInChild(decks, pair);
      if (r.status != 0) {
        std::printf("%5d %4d  failed\n", decks, pair);
        continue;
      }
      std::printf("%5d %4d %10.3f %10lld %10.1f  %016llx\n", decks, pair, r.seconds,
                  static_cast<long long>(r.records), static_cast<double>(r.peakKiB) / 1024.0,
                  static_cast<unsigned long long>(r.checksum));
      std::fflush(stdout);
    }
  }
  return 0;
}
