#include "front/screens.h"

// Placeholder body until the screen is written.
void showSplitReport(Console&, SplitCalculator&, const Removals&) {}
