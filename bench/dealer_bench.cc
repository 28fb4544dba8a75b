// The cost of one dealer outcome miss on a full 8-deck shoe, under each
// soft-17 rule, and the memory one cached record takes; and the cost per
// record when a split's many shoes are walked together, several to a
// vector and on every core.
#include <benchmark/benchmark.h>

#include <vector>

#include "split/split_calculator.h"

namespace {

void dealerOutcomeMiss(benchmark::State& state) {
  RuleSet rules;
  rules.standsOnSoft17 = state.range(0) != 0;
  SplitCalculator calculator(Shoe(8), rules);
  const ShoeCounts key = calculator.shoe.takenOut();
  double checksum = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    calculator.clearDealerOutcomes();
    state.ResumeTiming();
    const DealerOutcome& outcome = calculator.dealerOutcomeFor(key);
    checksum += outcome.stand[StandBelow17][0];
  }
  benchmark::DoNotOptimize(checksum);
  state.counters["record_bytes"] = static_cast<double>(DealerOutcomeCache::bytesPerRecord());
  state.SetLabel(rules.standsOnSoft17 ? "S17" : "H17");
}

// 4096 keys (1536 distinct shoes: 8 decks less up to two cards of each
// rank), added at once.
void dealerOutcomeBatch(benchmark::State& state) {
  const Shoe full(8);
  std::vector<ShoeCounts> keys;
  for (int k = 0; k < 4096; ++k) {
    ShoeCounts out{};
    for (int r = 0; r < RankCount; ++r) out[static_cast<std::size_t>(r)] = (k >> r) & 1 ? 2 : (k >> (r + 1)) & 1;
    keys.push_back(out);
  }
  DealerOutcomeCache cache;
  for (auto _ : state) {
    state.PauseTiming();
    cache.clearDealerOutcomes();
    state.ResumeTiming();
    cache.addMissing(keys, full, true, static_cast<int>(state.range(0)));
  }
  state.counters["records"] = static_cast<double>(cache.recordCount());
  state.counters["per_record"] = benchmark::Counter(static_cast<double>(cache.recordCount()),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}

void dealerOutcomeHit(benchmark::State& state) {
  SplitCalculator calculator(Shoe(8), RuleSet{});
  const ShoeCounts key = calculator.shoe.takenOut();
  calculator.dealerOutcomeFor(key);
  for (auto _ : state) benchmark::DoNotOptimize(&calculator.dealerOutcomeFor(key));
}

}  // namespace

BENCHMARK(dealerOutcomeMiss)->Arg(1)->Arg(0)->Repetitions(15)->ReportAggregatesOnly(true);
BENCHMARK(dealerOutcomeBatch)->Arg(1)->Arg(0)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(dealerOutcomeHit)->Repetitions(5)->ReportAggregatesOnly(true);
