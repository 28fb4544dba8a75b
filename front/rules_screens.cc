#include "front/screens.h"

// Placeholder bodies until the screens are written.
void listRules(Console&, const RuleSet&) {}
void editRules(Console&, RuleSet&, bool&) {}
