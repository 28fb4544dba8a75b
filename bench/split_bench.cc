// Times evaluateSplit for every pair at several deck counts (S17, DAS,
// otherwise default rules), each run in a child process from an empty dealer
// cache, and prints wall time, cached dealer records, peak memory and a
// checksum of the results. Row "all" computes the pairs one after another
// in one process, the dealer cache shared as in the interactive program;
// its checksum is taken over the pairs' checksums in order. A change that
// claims to be a pure speed-up must leave every checksum unchanged: each is
// compared with the engine's checksums recorded in bench/baseline.txt.
// With -d every run is also timed as the whole decision (evaluateDecision:
// the split, split_joint, stand, hit and double) in a child of its own, and
// the row adds that time, its dealer records, its peak memory and its ratio
// to the split alone;
// the decision's split must give the same checksum.
// The exit status is 1 when a run failed or a checksum differs from the
// baseline or from the split alone (a row without a baseline is no failure),
// so CI can run a short case as a check.
//
// Usage: split_bench [decks...] [-p pairs] [-t threads] [-d]
//   e.g. split_bench 1 2 6 8 -p 2 8 10 -d
#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "base/parallel.h"
#include "bench/child_process.h"
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

std::uint64_t combined(const std::vector<std::uint64_t>& checksums) {
  std::uint64_t hash = 1469598103934665603ULL;
  for (std::uint64_t c : checksums) {
    for (int i = 0; i < 8; ++i) {
      hash ^= (c >> (8 * i)) & 0xff;
      hash *= 1099511628211ULL;
    }
  }
  return hash;
}

int threadCount = 0;
bool timeDecision = false;
bool anyFailure = false;  // a failed run or a differing checksum

// Runs the pairs in a fresh child process, one calculator for all of them;
// with decision set, as the whole decision.
RunReport runInChild(int decks, const std::vector<int>& pairs, bool decision = false) {
  return runInChildProcess(
      [&] {
        RuleSet rules;
        rules.das = true;
        SplitCalculator calculator(Shoe(decks), rules);
        calculator.threads = threadCount;
        RunReport report;
        report.status = 0;
        std::vector<std::uint64_t> checksums;
        const auto start = std::chrono::steady_clock::now();
        for (int pair : pairs) {
          const SplitResults results = decision
                                           ? calculator.evaluateDecision(Removals{}, static_cast<Rank>(pair)).split
                                           : calculator.evaluateSplit(Removals{}, static_cast<Rank>(pair));
          checksums.push_back(checksumOf(results.ev));
          if (results.run != SplitRun::Completed) report.status = 1;
        }
        const auto stop = std::chrono::steady_clock::now();
        report.seconds = std::chrono::duration<double>(stop - start).count();
        report.records = calculator.dealerCache.recordCount();
        report.peakKiB = ownUsage().peakKiB;
        report.checksum = checksums.size() == 1 ? checksums[0] : combined(checksums);
        return report;
      },
      RunReport{});
}

// The checksums of bench/baseline.txt's first table, by (decks, pair).
std::map<std::pair<int, int>, std::uint64_t> baselineChecksums() {
  std::map<std::pair<int, int>, std::uint64_t> known;
  std::ifstream in(SPLITEV_BASELINE_FILE);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) {
      if (!known.empty()) break;  // the first table ends at the first blank line
      continue;
    }
    std::istringstream fields(line);
    int decks = 0, pair = 0;
    double seconds = 0, peak = 0;
    long long records = 0;
    std::string checksum;
    if (fields >> decks >> pair >> seconds >> records >> peak >> checksum)
      known[{decks, pair}] = std::stoull(checksum, nullptr, 16);
  }
  return known;
}

// Prints one row; with -d, runs the same pairs again as the whole decision.
void printRow(int decks, const std::vector<int>& pairs, const std::string& pair, const RunReport& r,
              const char* verdict) {
  if (r.status != 0) {
    std::printf("%8d %4s  failed\n", decks, pair.c_str());
    anyFailure = true;
    return;
  }
  if (std::strcmp(verdict, "DIFFERS") == 0) anyFailure = true;
  std::printf("%8d %4s %10.3f %10lld %10.1f  %016llx  %-11s", decks, pair.c_str(), r.seconds,
              static_cast<long long>(r.records), static_cast<double>(r.peakKiB) / 1024.0,
              static_cast<unsigned long long>(r.checksum), verdict);
  if (timeDecision) {
    const RunReport d = runInChild(decks, pairs, true);
    if (d.status != 0) {
      std::printf("  decision failed");
      anyFailure = true;
    } else {
      if (d.checksum != r.checksum) anyFailure = true;
      std::printf(" %10.3f %10lld %10.1f %6.2f  %s", d.seconds, static_cast<long long>(d.records), static_cast<double>(d.peakKiB) / 1024.0,
                  d.seconds / r.seconds, d.checksum == r.checksum ? "same split" : "SPLIT DIFFERS");
    }
  }
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> deckCounts;
  std::vector<int> pairs;
  std::vector<int>* reading = &deckCounts;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-p") == 0) {
      reading = &pairs;
    } else if (std::strcmp(argv[i], "-d") == 0) {
      timeDecision = true;
    } else if (std::strcmp(argv[i], "-t") == 0 && i + 1 < argc) {
      threadCount = std::atoi(argv[++i]);
    } else {
      reading->push_back(std::atoi(argv[i]));
    }
  }
  if (deckCounts.empty()) deckCounts = {1, 2, 6, 8};
  if (pairs.empty()) pairs = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

  const auto baseline = baselineChecksums();
  auto verdict = [&](int decks, int pair, std::uint64_t checksum) -> const char* {
    const auto known = baseline.find({decks, pair});
    if (known == baseline.end()) return "no baseline";
    return known->second == checksum ? "matches" : "DIFFERS";
  };

  std::printf("cores: %u, threads: %d\n", std::thread::hardware_concurrency(), workerCount(threadCount));
  std::printf("%8s %4s %10s %10s %10s  %-16s  %-11s", "decks", "pair", "seconds", "records", "peak MiB", "checksum",
              "baseline");
  if (timeDecision) std::printf(" %10s %10s %10s %6s", "decision s", "records", "peak MiB", "ratio");
  std::printf("\n");
  for (int decks : deckCounts) {
    std::vector<std::uint64_t> expected;
    bool allKnown = true;
    for (int pair : pairs) {
      const RunReport r = runInChild(decks, {pair});
      printRow(decks, {pair}, std::to_string(pair), r, verdict(decks, pair, r.checksum));
      const auto known = baseline.find({decks, pair});
      if (known == baseline.end()) {
        allKnown = false;
      } else {
        expected.push_back(known->second);
      }
    }
    if (pairs.size() > 1) {
      const RunReport r = runInChild(decks, pairs);
      printRow(decks, pairs, "all", r, !allKnown ? "no baseline" : combined(expected) == r.checksum ? "matches" : "DIFFERS");
    }
  }
  if (anyFailure) std::fprintf(stderr, "split_bench: a run failed or its checksum differs (see DIFFERS or failed above)\n");
  return anyFailure ? 1 : 0;
}
