#include "dealer/dealer_outcome.h"

#include <algorithm>

DealerProbabilities::DealerProbabilities() {
  auto bustForSure = [](double* vector) {
    std::fill(vector, vector + OutcomeCount, 0.0);
    vector[DealerBust] = 1.0;
  };
  for (auto& row : byUpCard) bustForSure(row);
  bustForSure(overall);
  for (auto& row : standEvByUpCard) std::fill(row, row + StandCount, 0.0);
  std::fill(standEvOverall, standEvOverall + StandCount, 0.0);
}

DealerOutcome::DealerOutcome(const DealerProbabilities& p) : complete(p.complete) {
  for (int position = 0; position < StandCount; ++position) {
    stand[position][0] = p.standEvOverall[position];
    for (int u = 1; u <= RankCount; ++u) stand[position][u] = p.standEvByUpCard[rankIndex(u)][position];
  }
  blackjack[0] = p.overall[DealerBlackjack];
  for (int u = 1; u <= RankCount; ++u) blackjack[u] = p.byUpCard[rankIndex(u)][DealerBlackjack];
}

void deriveStandValues(DealerProbabilities& outcome) {
  // The terms are added in the order written: that order fixes the printed digits.
  {
    const double* p = outcome.overall;
    const double p17 = p[0], p18 = p[1], p19 = p[2], p20 = p[3], p21 = p[4];
    const double delta = p[DealerBust] - p[DealerBlackjack];
    double* ev = outcome.standEvOverall;
    ev[0] = delta - p18 - p19 - p20 - p21;
    ev[1] = delta + p17 - p19 - p20 - p21;
    ev[2] = p18 + p17 + delta - p20 - p21;
    ev[3] = p19 + p18 + p17 + delta - p21;
    ev[4] = p20 + p19 + p18 + p17 + delta;
    ev[5] = delta - p17 - p18 - p19 - p20 - p21;
  }
  for (int u = 0; u < RankCount; ++u) {
    const double* p = outcome.byUpCard[u];
    const double p17 = p[0], p18 = p[1], p19 = p[2], p20 = p[3], p21 = p[4];
    const double bj = p[DealerBlackjack], bust = p[DealerBust];
    double* ev = outcome.standEvByUpCard[u];
    ev[0] = bust - p18 - p19 - p20 - p21 - bj;
    ev[1] = p17 + bust - p19 - p20 - p21 - bj;
    ev[2] = p17 + bust + p18 - p20 - p21 - bj;
    ev[3] = p17 + bust + p19 + p18 - p21 - bj;
    ev[4] = p17 + bust + p20 + p19 + p18 - bj;
    ev[5] = 2.0 * bust - 1.0;
  }
}
