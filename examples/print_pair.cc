// Prints the split of a pair of eights at eight decks, unconditional view:
// overall, then against up cards 2..9, T and A.
#include <splitev/splitev.h>

#include <cstdio>
#include <optional>
#include <string_view>

int main() {
  splitev::Case c;
  c.decks = 8;
  c.pairs = {};
  c.pairs[8 - 1] = true;
  splitev::EvaluatorOptions options;
  options.quantities = splitev::Quantities::Split;
  const splitev::Results results = splitev::Evaluator(options).evaluate(c);

  const splitev::QuantityResult& split = results.pairs.at(0).quantities.at(0);
  std::printf("8,8 split, 8 decks:");
  for (int entry : {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 1}) {
    const std::string_view name = entry == 0 ? "overall" : splitev::rankName(entry);
    const std::optional<double> value = split.at(splitev::View::Unconditional, entry);
    std::printf(" %.*s %.6f", static_cast<int>(name.size()), name.data(), value.value_or(0.0));
  }
  std::printf("\n");
}
