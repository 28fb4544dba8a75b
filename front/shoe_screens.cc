#include "front/screens.h"

// Placeholder bodies until the screens are written.
std::int32_t enterDeckCount(Console&, std::int32_t decks, Removals&, bool& deckChanged) {
  deckChanged = false;
  return decks;
}
void enterRemovals(Console&, std::int32_t, Removals&) {}
