#include "split/player_hand_state.h"

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
  PlayerHandState* node = link;
  if (compositionLess(*node, key)) {
    PlayerHandState* stored = insertAt(node->right, key, grew, found);
    if (!grew) return stored;
    if (node->balance == -1) {
      node->balance = 0;
      grew = false;
    } else if (node->balance == 0) {
      node->balance = 1;
    } else {
      PlayerHandState* r = node->right;
      if (r->balance == 1) {
        node->right = r->left;
        r->left = node;
        node->balance = 0;
        r->balance = 0;
        link = r;
      } else {
        PlayerHandState* q = r->left;
        r->left = q->right;
        q->right = r;
        node->right = q->left;
        q->left = node;
        node->balance = q->balance == 1 ? -1 : 0;
        r->balance = q->balance == -1 ? 1 : 0;
        q->balance = 0;
        link = q;
      }
      grew = false;
    }
    return stored;
  }
  if (!compositionGreater(*node, key)) {
    found = true;
    return node;
  }
  PlayerHandState* stored = insertAt(node->left, key, grew, found);
  if (!grew) return stored;
  if (node->balance == 1) {
    node->balance = 0;
    grew = false;
  } else if (node->balance == 0) {
    node->balance = -1;
  } else {
    PlayerHandState* l = node->left;
    if (l->balance == -1) {
      node->left = l->right;
      l->right = node;
      node->balance = 0;
      l->balance = 0;
      link = l;
    } else {
      PlayerHandState* q = l->right;
      l->right = q->left;
      q->left = l;
      node->left = q->right;
      q->right = node;
      node->balance = q->balance == -1 ? 1 : 0;
      l->balance = q->balance == 1 ? -1 : 0;
      q->balance = 0;
      link = q;
    }
    grew = false;
  }
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
