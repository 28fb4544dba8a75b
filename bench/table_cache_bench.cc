// The table program's dealer-cache policy against fixed budgets, on three
// batches of cases run through CaseRunner as splitev-table --batch runs them:
//   distinct  200 distinct small one-deck shoes (1 to 3 cards of each rank
//             A..9 and 8 to 14 tens removed, drawn from a fixed seed), all
//             pairs: cases that share few dealer records;
//   table8    one 8-deck table, all pairs: one case, its pairs sharing;
//   sweep     pairs of nines at one deck with 0 to 3 fives and, for each,
//             0, 1, ..., 15 tens removed (64 cases): each case but four
//             removes one ten more than the last.
// Each setting runs in a child process of its own, `-r` times; the row
// gives the median wall time, the median processor time (user and system,
// all threads: on a machine shared with other work it varies less than the
// wall time), the peak memory and a checksum of the JSON lines. Every
// setting must give a workload the same checksum (no output byte depends on
// the cache), and the policy's times are compared with the best fixed
// budget's.
//
// Usage: table_cache_bench [-r repeats] [-w workload]... [-b MiB]...
//   e.g. table_cache_bench -r 3 -w distinct -b 64 -b 4096
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/vector_level.h"
#include "bench/child_process.h"
#include "lib/case_runner.h"
#include "splitev/format.h"

namespace {

struct Workload {
  std::string name;
  std::vector<splitev::Case> cases;
};

// A fixed sequence of small numbers: the same cases on every machine.
class Draws {
 public:
  int next(int low, int high) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return low + static_cast<int>((state >> 33) % static_cast<std::uint64_t>(high - low + 1));
  }

 private:
  std::uint64_t state = 16;
};

std::vector<Workload> allWorkloads() {
  Workload distinct{"distinct", {}};
  Draws draws;
  while (distinct.cases.size() < 200) {
    splitev::Case c;
    for (std::size_t i = 0; i + 1 < c.removed.size(); ++i) c.removed[i] = draws.next(1, 3);
    c.removed[rankIndex(Ten)] = draws.next(8, 14);
    const bool seen = std::any_of(distinct.cases.begin(), distinct.cases.end(),
                                  [&](const splitev::Case& other) { return other.removed == c.removed; });
    if (!seen) distinct.cases.push_back(c);
  }

  Workload table8{"table8", {}};
  splitev::Case eight;
  eight.decks = 8;
  table8.cases.push_back(eight);

  Workload sweep{"sweep", {}};
  for (int fives = 0; fives <= 3; ++fives) {
    for (int tens = 0; tens <= 15; ++tens) {
      splitev::Case c;
      c.pairs = {};
      c.pairs[rankIndex(9)] = true;
      c.removed[rankIndex(5)] = fives;
      c.removed[rankIndex(Ten)] = tens;
      sweep.cases.push_back(c);
    }
  }
  return {distinct, table8, sweep};
}

struct RunReport {
  double seconds = 0.0;
  double cpuSeconds = 0.0;
  long peakKiB = 0;
  std::uint64_t checksum = 0;
  int status = -1;
};

// FNV-1a over the bytes.
void addBytes(std::uint64_t& hash, const std::string& bytes) {
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
}

// The workload through one runner in a child process, as a batch runs it.
RunReport runInChild(const Workload& workload, std::size_t budgetMiB, splitev::CacheAcrossCases acrossCases) {
  return runInChildProcess(
      [&] {
        splitev::CaseRunner runner(0, budgetMiB << 20, splitev::Quantities::Decision, acrossCases);
        RunReport report;
        report.checksum = 1469598103934665603ULL;
        const auto start = std::chrono::steady_clock::now();
        for (const splitev::Case& c : workload.cases) addBytes(report.checksum, splitev::toJson(runner.evaluate(c)));
        report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const ProcessUsage usage = ownUsage();
        report.peakKiB = usage.peakKiB;
        report.cpuSeconds = usage.cpuSeconds;
        report.status = 0;
        return report;
      },
      RunReport{});
}

// The median times of the repeats, the largest peak and the common
// checksum (status -1 when the repeats disagree or one failed).
RunReport repeated(const Workload& workload, std::size_t budgetMiB, splitev::CacheAcrossCases acrossCases, int repeats) {
  std::vector<RunReport> runs;
  for (int i = 0; i < repeats; ++i) runs.push_back(runInChild(workload, budgetMiB, acrossCases));
  const auto medianOf = [&](double RunReport::*field) {
    std::vector<double> values;
    for (const RunReport& run : runs) values.push_back(run.*field);
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  RunReport median = runs.front();
  median.seconds = medianOf(&RunReport::seconds);
  median.cpuSeconds = medianOf(&RunReport::cpuSeconds);
  for (const RunReport& run : runs) {
    median.peakKiB = std::max(median.peakKiB, run.peakKiB);
    if (run.status != 0 || run.checksum != median.checksum) median.status = -1;
  }
  return median;
}

void printRow(const std::string& workload, const std::string& setting, const RunReport& r) {
  std::printf("%-9s %-22s %9.3f %9.3f %10.1f  %016llx%s\n", workload.c_str(), setting.c_str(), r.seconds,
              r.cpuSeconds, static_cast<double>(r.peakKiB) / 1024.0, static_cast<unsigned long long>(r.checksum),
              r.status == 0 ? "" : "  FAILED");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  int repeats = 3;
  std::vector<std::string> chosen;
  std::vector<std::size_t> budgets;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-r") == 0 && i + 1 < argc) {
      repeats = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "-w") == 0 && i + 1 < argc) {
      chosen.emplace_back(argv[++i]);
    } else if (std::strcmp(argv[i], "-b") == 0 && i + 1 < argc) {
      budgets.push_back(static_cast<std::size_t>(std::atoll(argv[++i])));
    } else {
      std::fprintf(stderr, "usage: table_cache_bench [-r repeats] [-w distinct|table8|sweep]... [-b MiB]...\n");
      return 2;
    }
  }
  if (budgets.empty()) budgets = {64, 256, 1024, 4096};
  const std::size_t defaultBudgetMiB = 4096;  // splitev-table's --cache-budget default

  std::printf("cores: %u, vector level %d; median of %d runs each\n", std::thread::hardware_concurrency(),
              vectorLevel(), repeats);
  std::printf("%-9s %-22s %9s %9s %10s  %s\n", "workload", "cache", "wall s", "cpu s", "peak MiB", "checksum");
  bool agreed = true;
  for (const Workload& workload : allWorkloads()) {
    if (!chosen.empty() && std::find(chosen.begin(), chosen.end(), workload.name) == chosen.end()) continue;
    std::optional<RunReport> bestWall;
    std::optional<RunReport> bestCpu;
    for (std::size_t budget : budgets) {
      const RunReport r = repeated(workload, budget, splitev::CacheAcrossCases::WithinBudget, repeats);
      printRow(workload.name, "fixed " + std::to_string(budget) + " MiB", r);
      if (!bestWall || r.seconds < bestWall->seconds) bestWall = r;
      if (!bestCpu || r.cpuSeconds < bestCpu->cpuSeconds) bestCpu = r;
      agreed = agreed && r.status == 0 && r.checksum == bestWall->checksum;
    }
    const RunReport policy = repeated(workload, defaultBudgetMiB, splitev::CacheAcrossCases::WhenRelated, repeats);
    printRow(workload.name, "policy (" + std::to_string(defaultBudgetMiB) + " MiB)", policy);
    agreed = agreed && policy.status == 0 && policy.checksum == bestWall->checksum;
    std::printf("%-9s policy / best fixed budget: wall %.3f, cpu %.3f\n", workload.name.c_str(),
                policy.seconds / bestWall->seconds, policy.cpuSeconds / bestCpu->cpuSeconds);
  }
  if (!agreed) std::printf("CHECKSUMS DIFFER: the output depends on the cache\n");
  return agreed ? 0 : 1;
}
