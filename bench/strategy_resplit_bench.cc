// Both post-split strategies (CDZ- and CDP1) for every pair at 8 decks, S17,
// DAS, resplitting to 2, 3 or 4 hands, each iteration from an empty dealer
// cache, on every core; the label gives the vector level and a checksum of
// all the values (a pure speed-up leaves it unchanged).
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/vector_level.h"
#include "split/resplit_strategy.h"
#include "split/split_calculator.h"

namespace {

void everyPairEightDecks(benchmark::State& state) {
  RuleSet rules;
  rules.das = true;
  SplitCalculator calculator(Shoe(8), rules);
  const ResplitRules limits{static_cast<int>(state.range(0)), false};
  std::uint64_t checksum = 0;
  for (auto _ : state) {
    state.PauseTiming();
    calculator.clearDealerOutcomes();
    checksum = 0;
    state.ResumeTiming();
    for (int pair = 1; pair <= RankCount; ++pair) {
      const StrategyResplitResults r = evaluateStrategyResplits(calculator, Removals{}, static_cast<Rank>(pair), limits);
      for (const SplitResults* s : {&r.cdz, &r.cdp1})
        for (double v : s->ev) checksum = checksum * 1099511628211u ^ std::bit_cast<std::uint64_t>(v);
    }
  }
  state.counters["records"] = static_cast<double>(calculator.dealerCache.recordCount());
  char label[64];
  std::snprintf(label, sizeof label, "vector level %d, checksum %016llx", vectorLevel(),
                static_cast<unsigned long long>(checksum));
  state.SetLabel(label);
}

}  // namespace

BENCHMARK(everyPairEightDecks)->Arg(4)->Arg(3)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);
