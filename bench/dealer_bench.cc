// The cost of one dealer outcome miss on a full 8-deck shoe, under each
// soft-17 rule, and the memory one cached record takes.
#include <benchmark/benchmark.h>

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

void dealerOutcomeHit(benchmark::State& state) {
  SplitCalculator calculator(Shoe(8), RuleSet{});
  const ShoeCounts key = calculator.shoe.takenOut();
  calculator.dealerOutcomeFor(key);
  for (auto _ : state) benchmark::DoNotOptimize(&calculator.dealerOutcomeFor(key));
}

}  // namespace

BENCHMARK(dealerOutcomeMiss)->Arg(1)->Arg(0)->Repetitions(15)->ReportAggregatesOnly(true);
BENCHMARK(dealerOutcomeHit)->Repetitions(5)->ReportAggregatesOnly(true);
