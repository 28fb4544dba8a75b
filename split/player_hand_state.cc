#include "split/player_hand_state.h"

#include "model/avl_balance.h"

PlayerHandState::PlayerHandState(const HandCounts& drawn, int pair) : PlayerHandState() {
  pairRank = static_cast<std::int16_t>(pair);
  counts = drawn;
  int total = pair;
  int cards = 1;
  for (int r = 1; r <= RankCount; ++r) {
    total += r * drawn[rankIndex(r)];
    cards += drawn[rankIndex(r)];
  }
  hardTotal = static_cast<std::int16_t>(total);
  cardCount = static_cast<std::int16_t>(cards);
  ++counts[rankIndex(pair)];  // the split card itself
  soft = isSoft();
}

PlayerHandState PlayerHandState::unsplitPair(const HandCounts& drawn, int pair) {
  PlayerHandState s(drawn, pair);
  s.addCard(pair);
  s.splitHand = false;
  return s;
}

PlayerHandState* PlayerHandTree::find(const HandCounts& key) const {
  PlayerHandState* node = root;
  while (node != nullptr) {
    const int order = compareCounts(node->counts, key);
    if (order == 0) return node;
    node = order > 0 ? node->left : node->right;
  }
  return nullptr;
}

namespace {

PlayerHandState* insertAt(PlayerHandState*& link, const PlayerHandState& key, bool& grew, bool& found) {
  if (link == nullptr) {
    link = new PlayerHandState(key);
    link->balance = 0;
    link->left = nullptr;
    link->right = nullptr;
    grew = true;
    return link;
  }
  if (compositionLess(*link, key)) {
    PlayerHandState* stored = insertAt(link->right, key, grew, found);
    if (grew) grew = rightSideGrew(link);
    return stored;
  }
  if (!compositionGreater(*link, key)) {
    found = true;
    return link;
  }
  PlayerHandState* stored = insertAt(link->left, key, grew, found);
  if (grew) grew = leftSideGrew(link);
  return stored;
}

void destroyAt(PlayerHandState*& link) {
  if (link == nullptr) return;
  destroyAt(link->left);
  destroyAt(link->right);
  delete link;
  link = nullptr;
}

}  // namespace

PlayerHandState* PlayerHandTree::insert(const PlayerHandState& key, bool& grew, bool& found) {
  return insertAt(root, key, grew, found);
}

void PlayerHandTree::destroy() { destroyAt(root); }
