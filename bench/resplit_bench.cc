// Times split_perfect (evaluatePerfectSplit: resplits to three or four
// hands under perfect play) on the rows of the resplit table, S17 and DAS
// (the A,A rows also with HSA and resplitting), each row in a child process: player
// states, dealer shoes, wall time, peak memory and a checksum of the
// results (over the pairs in order for a row of several pairs). A change
// that claims to be a pure speed-up must leave every checksum as recorded
// in bench/baseline.txt (the table after the line "resplit").
//
// Usage: resplit_bench [row...] [-t threads] [-m MiB] [-l]
//   rows by number (default: those that finish in a minute or so), -l lists them;
//   -m is the memory budget (default half the machine's memory).
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/vector_level.h"
#include "bench/child_process.h"
#include "split/perfect_split.h"

namespace {

struct Row {
  const char* name;
  std::vector<int> pairs;
  int decks;
  int hands;
  bool quick;             // run by default
  bool acesHitAndResplit = false;  // A,A with HSA and resplitting; otherwise the table's rules
};

// The rows of every pair take the table's rules (aces neither hit nor
// resplit, so A,A is tiny); the A,A rows take HSA and resplitting.
const std::vector<Row> Rows = {
    {"2,2 8 decks H=2", {2}, 8, 2, true},
    {"2,2 1 deck H=3", {2}, 1, 3, true},
    {"2,2 1 deck H=4", {2}, 1, 4, true},
    {"every pair 1 deck H=3", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1, 3, true},
    {"every pair 1 deck H=4", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1, 4, true},
    {"2,2 8 decks H=3", {2}, 8, 3, false},
    {"A,A HSA RSA 8 decks H=3", {1}, 8, 3, false, true},
    {"8,8 8 decks H=4", {8}, 8, 4, false},
    {"every pair 8 decks H=3", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 8, 3, false},
    {"2,2 8 decks H=4", {2}, 8, 4, false},
    {"A,A HSA RSA 8 decks H=4", {1}, 8, 4, false, true},
    {"every pair 8 decks H=4", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 8, 4, false},
};

struct RunReport {
  double seconds = 0.0;
  double cpuSeconds = 0.0;  // user and system time of every thread: the machine may be shared
  std::uint64_t states = 0;
  std::uint64_t shoes = 0;
  long peakKiB = 0;
  std::uint64_t checksum = 0;
  int status = -1;  // 0 completed, 1 a pair did not complete
};

// FNV-1a over bytes.
void mix(std::uint64_t& hash, std::uint64_t bits) {
  for (int i = 0; i < 8; ++i) {
    hash ^= (bits >> (8 * i)) & 0xff;
    hash *= 1099511628211ULL;
  }
}

std::uint64_t checksumOf(const ValueVector& values) {
  std::uint64_t hash = 1469598103934665603ULL;
  for (double v : values) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    mix(hash, bits);
  }
  return hash;
}

int threadCount = 0;
std::size_t memoryBudget = SIZE_MAX;

RunReport runInChild(const Row& row) {
  return runInChildProcess(
      [&] {
        RunReport report;
        report.status = 0;
        std::vector<std::uint64_t> checksums;
        PerfectScratch scratch;  // kept from pair to pair, as splitev-table keeps it
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < row.pairs.size(); ++i) {
          const int pair = row.pairs[i];
          RuleSet rules;
          rules.das = true;
          const bool acesHitAndResplit = pair == Ace && row.acesHitAndResplit;
          rules.hsa = acesHitAndResplit;
          PerfectControl control;
          control.threads = threadCount;
          control.memoryBudget = memoryBudget;
          control.scratch = &scratch;
          const PerfectResults results = evaluatePerfectSplit(Shoe(row.decks), Removals{}, static_cast<Rank>(pair),
                                                              rules, {row.hands, acesHitAndResplit}, control);
          if (results.run != PerfectRun::Completed) report.status = 1;
          report.states += results.states;
          report.shoes += results.dealerShoes;
          checksums.push_back(checksumOf(results.split.ev));
        }
        report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const ProcessUsage usage = ownUsage();
        report.peakKiB = usage.peakKiB;
        report.cpuSeconds = usage.cpuSeconds;
        if (checksums.size() == 1) {
          report.checksum = checksums[0];
        } else {
          report.checksum = 1469598103934665603ULL;
          for (std::uint64_t c : checksums) mix(report.checksum, c);
        }
        return report;
      },
      RunReport{});
}

// The checksums of the table after the line "resplit" in bench/baseline.txt, by row number.
std::map<int, std::uint64_t> baselineChecksums() {
  std::map<int, std::uint64_t> known;
  std::ifstream in(SPLITEV_BASELINE_FILE);
  std::string line;
  bool inTable = false;
  while (std::getline(in, line)) {
    if (line == "resplit") {
      inTable = true;
      continue;
    }
    if (!inTable || line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    int row = 0;
    if (!(fields >> row)) continue;
    // The checksum is the one field of sixteen hexadecimal digits.
    std::string checksum;
    for (std::string field; fields >> field;)
      if (field.size() == 16 && field.find_first_not_of("0123456789abcdef") == std::string::npos) checksum = field;
    if (checksum.empty()) continue;
    known[row] = std::stoull(checksum, nullptr, 16);
  }
  return known;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> chosen;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-t") == 0 && i + 1 < argc) {
      threadCount = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "-m") == 0 && i + 1 < argc) {
      memoryBudget = static_cast<std::size_t>(std::atoll(argv[++i])) << 20;
    } else if (std::strcmp(argv[i], "-l") == 0) {
      for (std::size_t r = 0; r < Rows.size(); ++r) std::printf("%2zu  %s%s\n", r + 1, Rows[r].name, Rows[r].quick ? "" : " (not by default)");
      return 0;
    } else {
      chosen.push_back(std::atoi(argv[i]));
    }
  }
  if (chosen.empty()) {
    for (std::size_t r = 0; r < Rows.size(); ++r)
      if (Rows[r].quick) chosen.push_back(static_cast<int>(r + 1));
  }
  if (memoryBudget == SIZE_MAX) {
    memoryBudget = static_cast<std::size_t>(sysconf(_SC_PHYS_PAGES)) / 2 * static_cast<std::size_t>(sysconf(_SC_PAGE_SIZE));
  }
  const std::map<int, std::uint64_t> known = baselineChecksums();
  std::printf("# vector level %d, %d threads, memory budget %zu MiB\n", vectorLevel(),
              threadCount > 0 ? threadCount : static_cast<int>(std::thread::hardware_concurrency()), memoryBudget >> 20);
  std::printf("row  %-26s %14s %12s %10s %10s %10s  %-16s  %s\n", "case", "states", "dealer shoes", "seconds",
              "cpu s", "peak MiB", "checksum", "baseline");
  bool mismatch = false;
  for (int r : chosen) {
    if (r < 1 || r > static_cast<int>(Rows.size())) continue;
    const Row& row = Rows[static_cast<std::size_t>(r - 1)];
    const RunReport report = runInChild(row);
    if (report.status != 0) {
      std::printf("%3d  %-26s  failed (not completed: memory budget or killed)\n", r, row.name);
      std::fflush(stdout);
      continue;
    }
    const auto k = known.find(r);
    const char* verdict = k == known.end() ? "new" : k->second == report.checksum ? "matches" : "DIFFERS";
    if (k != known.end() && k->second != report.checksum) mismatch = true;
    std::printf("%3d  %-26s %14llu %12llu %10.3f %10.3f %10.1f  %016llx  %s\n", r, row.name,
                static_cast<unsigned long long>(report.states), static_cast<unsigned long long>(report.shoes),
                report.seconds, report.cpuSeconds, static_cast<double>(report.peakKiB) / 1024.0,
                static_cast<unsigned long long>(report.checksum), verdict);
    std::fflush(stdout);
  }
  return mismatch ? 1 : 0;
}
