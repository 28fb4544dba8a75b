#!/usr/bin/env python3
"""A sweep over removals: the values of splitting (once), standing and hitting one pair against one
dealer up card as the cards of one rank are taken out of the shoe one by one, with the background
coloured by the best play and the points where it changes marked.

    removal_sweep.py --decks 6 --das --pair 8 --up T --rank 3 --most 24 --output sweep.png
"""

import sys

import case_options
from case_options import PLAY_COLOURS, RANKS

LINES = [("split", "-", "o"), ("stand", "--", "s"), ("hit", ":", "^"), ("double", "-.", "d")]
PLAYED = [play for play, _, _ in LINES]
RANK_NAMES = ["aces", "twos", "threes", "fours", "fives", "sixes", "sevens", "eights", "nines", "tens"]


def sweep_cases(args, base):
    """One case per count removed: the base removals plus that many of the rank."""
    removed = base.get("removed", [0] * 10)
    rank = RANKS.index(args.rank)
    for count in range(0, args.most + 1, args.step):
        counts = list(removed)
        counts[rank] += count
        yield count, dict(base, removed=counts, pairs=[args.pair])


def draw(points, args, axes):
    """points: (count removed, values by play, best play), for the counts the pair can be dealt."""
    counts = [count for count, _, _ in points]
    for play, style, marker in LINES:
        # Doubling only where it is the best play somewhere.
        if play == "double" and all(best != "double" for _, _, best in points):
            continue
        axes.plot(counts, [100 * values[play] for _, values, _ in points], style, marker=marker, markersize=4,
                  color="black" if play == "split" else "#555555", label=play)
    # The best play as the background, a band per count; a change between neighbours at the middle.
    half = (counts[1] - counts[0]) / 2 if len(counts) > 1 else 0.5
    for count, _, best in points:
        axes.axvspan(count - half, count + half, color=PLAY_COLOURS[best], alpha=0.55, linewidth=0)
    for (before, _, was), (after, values, now) in zip(points, points[1:]):
        if was != now:
            at = (before + after) / 2
            axes.axvline(at, color="#333333", linewidth=1)
            # Beside the line, on the side with more room.
            right = at < (counts[0] + counts[-1]) / 2
            axes.annotate(f"{was} → {now}", (at, 1), xycoords=("data", "axes fraction"),
                          xytext=(5 if right else -5, -14), textcoords="offset points",
                          ha="left" if right else "right", fontsize=9)
    axes.set_xlim(counts[0] - half, counts[-1] + half)
    axes.set_xlabel(f"{RANK_NAMES[RANKS.index(args.rank)]} removed from the shoe")
    axes.set_ylabel("expected value, % of a bet (dealer blackjack included)")
    axes.grid(True, color="white", linewidth=0.8)


def main():
    parser = case_options.parser_for(__doc__.split("\n\n")[0])
    parser.add_argument("--pair", default="8", choices=RANKS, help="the pair (default 8)")
    parser.add_argument("--up", default="T", choices=RANKS, help="the dealer's up card (default T)")
    parser.add_argument("--rank", default="3", choices=RANKS, help="the rank removed (default 3)")
    parser.add_argument("--most", type=int, default=24, help="the most cards of the rank removed (default 24)")
    parser.add_argument("--step", type=int, default=1, help="cards removed from one point to the next (default 1)")
    args = parser.parse_args()
    if args.most < 0 or args.step < 1:
        parser.error("--most must be 0 or more and --step 1 or more")
    case_options.use_backend(args.output)
    import matplotlib.pyplot as plt
    import splitev

    points = []
    first = None
    try:
        counts, cases = zip(*sweep_cases(args, case_options.case_from(args)))
        # One evaluator for the whole sweep: each case keeps the dealer cache of the one before.
        for count, result in zip(counts, splitev.batch(cases)):
            first = first or result
            pair = result["results"][0]
            if "error" in pair or pair["best"]["unconditional"][args.up] is None:
                continue
            values = {play: pair[play]["unconditional"][args.up] for play in PLAYED}
            points.append((count, values, pair["best"]["unconditional"][args.up]))
    except ValueError as error:
        parser.error(str(error))
    if not points:
        parser.error(f"the pair {args.pair},{args.pair} against {args.up} cannot be dealt at any point of the sweep")
    figure, axes = plt.subplots(figsize=(8, 5))
    draw(points, args, axes)
    # One legend below the plot: the lines, then the best plays' colours.
    from matplotlib.patches import Patch

    bests = sorted({best for _, _, best in points}, key=case_options.PLAYS.index)
    handles = axes.get_legend_handles_labels()[0]
    handles += [Patch(facecolor=PLAY_COLOURS[best], alpha=0.55, label=f"best: {best}") for best in bests]
    axes.legend(handles=handles, loc="upper center", bbox_to_anchor=(0.5, -0.13), ncol=len(handles),
                frameon=False, fontsize=9)
    figure.suptitle(f"{args.pair},{args.pair} against {args.up}, splitting once\n"
                    + case_options.shoe_and_rules(first), fontsize=11)
    figure.tight_layout()
    if args.output:
        figure.savefig(args.output, dpi=110)
    else:
        plt.show()
    return 0


if __name__ == "__main__":
    sys.exit(main())
