#include "split/player_hand_state.h"

#include <algorithm>
#include <stdexcept>

PlayerHandState::PlayerHandState(const HandCounts& drawn, int pair) : PlayerHandState() {
  pairRank = static_cast<std::int16_t>(pair);
  for (int r = 1; r <= RankCount; ++r)
    for (int k = 0; k < drawn[rankIndex(r)]; ++k) hand.addCard(r);
  hand.addCard(pair);  // the split card itself
}

PlayerHandState PlayerHandState::unsplitPair(const HandCounts& drawn, int pair) {
  PlayerHandState s(drawn, pair);
  s.hand.addCard(pair);
  s.splitHand = false;
  return s;
}

StateIndex PlayerHandStates::add(const PlayerHandState& s) {
  if (!keys.empty() && !compositionLess(s.hand.counts, keys.back()))
    throw std::logic_error("hand states: added out of descending composition order");
  states.push_back(s);
  keys.push_back(s.hand.counts);
  return static_cast<StateIndex>(states.size() - 1);
}

StateIndex PlayerHandStates::find(const HandCounts& counts) const {
  // keys descend: the first key not greater than counts is the only candidate.
  const auto at = std::partition_point(keys.begin(), keys.end(),
                                       [&](const HandCounts& k) { return compositionGreater(k, counts); });
  if (at == keys.end() || !compositionEqual(*at, counts)) return NoState;
  return static_cast<StateIndex>(at - keys.begin());
}
