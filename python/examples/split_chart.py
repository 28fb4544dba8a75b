#!/usr/bin/env python3
"""The pair-splitting chart: pairs down, dealer up cards across, each cell coloured by the best
play (stand, hit, double or split once) and printed with how much better it is than the next best
play, in % of a bet (unconditional: the dealer's blackjack counted in).

    split_chart.py --decks 6 --das --output chart.png
"""

import sys

import case_options
from case_options import NOT_DEALT_COLOUR, PLAY_COLOURS, PLAYS, UP_CARDS

# Pairs down in the order players read them, with aces last like the up cards.
PAIRS = ["2", "3", "4", "5", "6", "7", "8", "9", "T", "A"]
LETTERS = {"stand": "S", "hit": "H", "double": "D", "split": "P"}


def margin(pair, up):
    """The best play's unconditional value less the next best play's, in % of a bet."""
    values = sorted((pair[play]["unconditional"][up] for play in PLAYS
                     if pair[play]["unconditional"][up] is not None), reverse=True)
    return 100 * (values[0] - values[1])


def margin_text(percent):
    return f"{percent:.2f}" if percent < 1 else f"{percent:.1f}"


def draw(result, axes):
    from matplotlib.patches import Patch, Rectangle

    by_pair = {pair["pair"]: pair for pair in result["results"]}
    incomplete = False
    for row, name in enumerate(PAIRS):
        pair = by_pair[name]
        if "error" in pair:
            axes.add_patch(Rectangle((0, row), len(UP_CARDS), 1, facecolor=NOT_DEALT_COLOUR, edgecolor="white"))
            axes.text(len(UP_CARDS) / 2, row + 0.5, pair["error"], ha="center", va="center", fontsize=9)
            continue
        best = pair["best"]
        incomplete |= not best["complete"]
        for column, up in enumerate(UP_CARDS):
            play = best["unconditional"][up]
            colour = PLAY_COLOURS[play] if play else NOT_DEALT_COLOUR
            axes.add_patch(Rectangle((column, row), 1, 1, facecolor=colour, edgecolor="white", linewidth=1.5))
            if play is None:
                axes.text(column + 0.5, row + 0.5, "–", ha="center", va="center", fontsize=10)
                continue
            mark = "" if best["complete"] else "*"
            axes.text(column + 0.5, row + 0.36, LETTERS[play] + mark, ha="center", va="center", fontsize=11,
                      fontweight="bold")
            axes.text(column + 0.5, row + 0.72, margin_text(margin(pair, up)), ha="center", va="center",
                      fontsize=8)
    axes.set_xlim(0, len(UP_CARDS))
    axes.set_ylim(len(PAIRS), 0)
    axes.set_aspect("equal")
    axes.set_xticks([column + 0.5 for column in range(len(UP_CARDS))], UP_CARDS)
    axes.set_yticks([row + 0.5 for row in range(len(PAIRS))], [f"{name},{name}" for name in PAIRS])
    axes.xaxis.tick_top()
    axes.xaxis.set_label_position("top")
    axes.set_xlabel("dealer's up card")
    axes.set_ylabel("pair")
    axes.tick_params(length=0)
    for side in axes.spines.values():
        side.set_visible(False)
    legend = [Patch(facecolor=PLAY_COLOURS[play], label=f"{LETTERS[play]}  {play}") for play in PLAYS]
    axes.legend(handles=legend, loc="upper center", bbox_to_anchor=(0.5, -0.02), ncol=4, frameon=False,
                fontsize=9)
    return incomplete


def main():
    parser = case_options.parser_for(__doc__.split("\n\n")[0])
    args = parser.parse_args()
    case_options.use_backend(args.output)
    import matplotlib.pyplot as plt
    import splitev

    try:
        result = splitev.table(**case_options.case_from(args))
    except ValueError as error:
        parser.error(str(error))
    figure, axes = plt.subplots(figsize=(7, 8.2))
    incomplete = draw(result, axes)
    figure.suptitle("Best play of a pair, splitting once\n" + case_options.shoe_and_rules(result), fontsize=11)
    note = "Under each play: its lead over the next best play, in % of a bet (dealer blackjack included)."
    if incomplete:
        note += "\n* the shoe ran out of cards in some branch"
    figure.text(0.5, 0.015, note, ha="center", fontsize=8.5)
    figure.tight_layout(rect=(0, 0.03, 1, 1))
    if args.output:
        figure.savefig(args.output, dpi=110)
    else:
        plt.show()
    return 0


if __name__ == "__main__":
    sys.exit(main())
