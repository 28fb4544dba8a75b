#include "dealer/dealer_outcome.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "model/avl_balance.h"

DealerOutcome::DealerOutcome(const ShoeCounts& cardsTakenOut) : takenOut(cardsTakenOut) {
  auto bustForSure = [](double* vector) {
    std::fill(vector, vector + OutcomeCount, 0.0);
    vector[DealerBust] = 1.0;
  };
  for (auto& row : byUpCard) bustForSure(row);
  bustForSure(overall);
  for (auto& row : standEvByUpCard) std::fill(row, row + StandCount, 0.0);
  std::fill(standEvOverall, standEvOverall + StandCount, 0.0);
}

void computeOutcomeProbabilities(DealerHandTable& table, const Shoe& shoe, DealerOutcome& outcome) {
  // Step 1: a row of final-total probabilities (17..21) per state.
  std::vector<std::array<double, 5>> rows(static_cast<std::size_t>(table.count),
                                          std::array<double, 5>{});

  // Step 2: draw probabilities D(r, c, k) = (n(r) - c) / (N - k), for a hand
  // of k cards holding c of rank r, each division done once per pass.
  constexpr int MaxHeld = 12;   // c in 0..11
  constexpr int MaxCards = 13;  // k in 0..12
  double draw[RankCount][MaxHeld][MaxCards];
  bool drawKnown[RankCount][MaxHeld][MaxCards] = {};
  auto drawProbability = [&](int r, int c, int k) {
    const int i = rankIndex(r);
    if (!drawKnown[i][c][k]) {
      draw[i][c][k] = static_cast<double>(shoe.count(r) - c) / static_cast<double>(shoe.remaining() - k);
      drawKnown[i][c][k] = true;
    }
    return draw[i][c][k];
  };

  const int softStand = table.standsOnSoft17 ? 17 : 18;

  // Step 3: walk the states in descending order; every successor is done
  // before the state that draws to it.
  for (table.cursor = table.head; table.cursor != nullptr; table.cursor = table.cursor->next) {
    const DealerDrawState& s = *table.cursor;
    const HandComposition& hand = s.composition;
    if (!hand.fitsIn(shoe)) continue;
    std::array<double, 5>& row = rows[static_cast<std::size_t>(s.index)];
    const int h = hand.hardTotal;
    const int k = hand.cardCount;
    const int highestRank = std::min(10, 21 - h);
    for (int r = 1; r <= highestRank; ++r) {
      const int c = hand.counts[rankIndex(r)];
      if (c >= shoe.count(r)) continue;  // no such card left
      const double q = drawProbability(r, c, k);
      const int t = h + r;
      if (t <= 11 && (hand.soft || r == Ace)) {
        if (t + 10 >= softStand) {
          row[static_cast<std::size_t>(t + 10 - 17)] += q;
          continue;
        }
      } else if (t >= 17) {
        row[static_cast<std::size_t>(t - 17)] += q;
        continue;
      }
      const std::array<double, 5>& after =
          rows[static_cast<std::size_t>(s.successor[rankIndex(r)]->index)];
      for (std::size_t j = 0; j < 5; ++j) row[j] += q * after[j];
    }
    if (k == 1) {
      std::copy(row.begin(), row.end(), outcome.byUpCard[rankIndex(h)]);
    } else if (k == 0) {
      std::copy(row.begin(), row.end(), outcome.overall);
    }
  }
}

void deriveStandValues(DealerOutcome& outcome) {
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

namespace {

double bustFrom(const double* p) { return 1.0 - p[0] - p[1] - p[2] - p[3] - p[4]; }

}  // namespace

void fillDealerOutcome(DealerOutcome& outcome, const Shoe& shoe, bool standsOnSoft17) {
  DealerHandTable& table = standsOnSoft17 ? dealerTableS17 : dealerTableH17;
  double* aceRow = outcome.byUpCard[rankIndex(Ace)];
  double* tenRow = outcome.byUpCard[rankIndex(Ten)];

  // Blackjack: the hole card completes an ace or a ten up card.
  const int n = shoe.remaining();
  if (n > 1) {
    if (shoe.count(Ace) != 0) aceRow[DealerBlackjack] = static_cast<double>(shoe.count(Ten)) / (n - 1);
    if (shoe.count(Ten) != 0) tenRow[DealerBlackjack] = static_cast<double>(shoe.count(Ace)) / (n - 1);
  }
  if (n > 0) {
    const double pTen = static_cast<double>(shoe.count(Ten)) / n;
    const double pAce = static_cast<double>(shoe.count(Ace)) / n;
    outcome.overall[DealerBlackjack] = pTen * tenRow[DealerBlackjack] + pAce * aceRow[DealerBlackjack];
  }

  computeOutcomeProbabilities(table, shoe, outcome);

  // Bust is whatever no final total took; the walk counted blackjack as a
  // 21, so it comes out of the 21 afterwards.
  outcome.overall[DealerBust] = bustFrom(outcome.overall);
  for (auto& row : outcome.byUpCard) row[DealerBust] = bustFrom(row);
  outcome.overall[Final21] -= outcome.overall[DealerBlackjack];
  aceRow[Final21] -= aceRow[DealerBlackjack];
  tenRow[Final21] -= tenRow[DealerBlackjack];

  deriveStandValues(outcome);
}

// A search node holds the key beside its links and the record apart, so a
// descent touches one small node per level rather than a whole record.
struct DealerOutcomeCache::Node {
  ShoeCounts key{};
  int balance = 0;  // right height minus left height
  Node* left = nullptr;
  Node* right = nullptr;
  std::unique_ptr<DealerOutcome> record;
};

namespace {

using Node = DealerOutcomeCache::Node;

// Links a new node below link, rebalancing on the way back up. Returns true
// when the subtree at link grew higher.
bool insertNode(Node*& link, Node* fresh) {
  if (link == nullptr) {
    link = fresh;
    return true;
  }
  if (rankCountsLess(link->key, fresh->key))
    return insertNode(link->right, fresh) && rightSideGrew(link);
  return insertNode(link->left, fresh) && leftSideGrew(link);
}

void deleteTree(Node* node) {
  if (node == nullptr) return;
  deleteTree(node->left);
  deleteTree(node->right);
  delete node;
}

}  // namespace

const DealerOutcome& DealerOutcomeCache::dealerOutcomeFor(const DealerOutcome& key, const Shoe& shoe,
                                                          bool standsOnSoft17) {
  for (Node* node = root; node != nullptr;) {
    const int order = compareCounts(node->key, key.takenOut);
    if (order == 0) return *node->record;
    node = order < 0 ? node->right : node->left;
  }
  // A miss: the record is complete before it is linked in, so running out of
  // memory part way leaves the cache exactly as it was.
  auto fresh = std::make_unique<Node>();
  fresh->key = key.takenOut;
  fresh->record = std::make_unique<DealerOutcome>(key);
  fillDealerOutcome(*fresh->record, shoe, standsOnSoft17);
  Node* stored = fresh.release();
  insertNode(root, stored);
  ++records;
  ++computed;
  return *stored->record;
}

std::size_t DealerOutcomeCache::bytesPerRecord() { return sizeof(Node) + sizeof(DealerOutcome); }

void DealerOutcomeCache::clearDealerOutcomes() {
  deleteTree(root);
  root = nullptr;
  records = 0;
}
