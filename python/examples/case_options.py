"""What the example scripts share: splitev-table's options for a shoe and rules, a title line
for them, the plays' colours, and the choice of a matplotlib backend."""

import argparse
import os

RANKS = ["A", "2", "3", "4", "5", "6", "7", "8", "9", "T"]
# Up cards in the order tables show them.
UP_CARDS = ["2", "3", "4", "5", "6", "7", "8", "9", "T", "A"]
PLAYS = ["stand", "hit", "double", "split"]
# Light enough for black text on them, apart in hue for every common colour blindness.
PLAY_COLOURS = {"stand": "#ffd166", "hit": "#f4978e", "double": "#8fd694", "split": "#7fb3e8"}
NOT_DEALT_COLOUR = "#dddddd"


def add_case_options(parser):
    """The shoe and rule options, named as splitev-table names them."""
    group = parser.add_argument_group("shoe and rules (as splitev-table takes them)")
    group.add_argument("--decks", type=int, help="decks in the shoe (default 1)")
    group.add_argument("--removed", metavar="COUNTS",
                       help="cards removed per rank, ten counts A,2,...,9,T (default none)")
    group.add_argument("--h17", action="store_true", help="the dealer hits soft 17")
    group.add_argument("--double", metavar="RULE",
                       help="doubling rule: any, 10-11, 9-11, 10-11-soft, 9-11-soft, hard or none")
    group.add_argument("--no-peek", action="store_true", help="the dealer does not peek")
    group.add_argument("--das", action="store_true", help="doubling after splitting")
    group.add_argument("--hsa", action="store_true", help="hitting split aces")
    group.add_argument("--dspa", action="store_true", help="doubling split aces (needs --das and --hsa)")
    group.add_argument("--charlie", type=int, metavar="5|6", help="that many cards win automatically")
    group.add_argument("--dan", action="store_true", help="doubling on any number of cards")


def parse_counts(text):
    """Ten comma-separated counts as a list; the module checks their range."""
    counts = text.split(",")
    if len(counts) != 10 or not all(count.strip().lstrip("-").isdigit() for count in counts):
        raise ValueError(f"--removed: {text!r} is not allowed; allowed: ten whole numbers A,2,...,9,T")
    return [int(count) for count in counts]


def case_from(args):
    """The batch-line keys the options give (those left out take the module's defaults)."""
    case = {}
    if args.decks is not None:
        case["decks"] = args.decks
    if args.removed is not None:
        case["removed"] = parse_counts(args.removed)
    rules = {}
    if args.h17:
        rules["soft17"] = "hit"
    if args.double is not None:
        rules["double"] = args.double
    if args.no_peek:
        rules["peek"] = False
    for flag in ("das", "hsa", "dspa", "dan"):
        if getattr(args, flag):
            rules[flag] = True
    if args.charlie is not None:
        rules["charlie"] = args.charlie
    if rules:
        case["rules"] = rules
    return case


def shoe_and_rules(result):
    """One line for a result's shoe and rules: "6 decks, S17, DAS, double any 2 cards, peek"."""
    rules = result["rules"]
    decks = result["decks"]
    parts = [f"{decks} deck" + ("" if decks == 1 else "s")]
    removed = [f"{count}×{rank}" for rank, count in zip(RANKS, result["removed"]) if count]
    if removed:
        parts.append("less " + " ".join(removed))
    parts.append("S17" if rules["soft17"] == "stand" else "H17")
    parts.append("DAS" if rules["das"] else "no DAS")
    parts.append({"any": "double any 2 cards", "none": "no doubling"}.get(rules["double"],
                                                                      "double " + rules["double"]))
    parts.append("peek" if rules["peek"] else "no peek")
    parts += [name.upper() for name in ("hsa", "dspa", "dan") if rules[name]]
    if rules["charlie"]:
        parts.append(f"{rules['charlie']}-card charlie")
    return ", ".join(parts)


def use_backend(output):
    """A non-interactive backend when writing a file or when there is no display; call before
    importing matplotlib.pyplot."""
    import matplotlib

    if output or not (os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY")):
        matplotlib.use("Agg")


def parser_for(description):
    parser = argparse.ArgumentParser(description=description)
    add_case_options(parser)
    parser.add_argument("--output", metavar="FILE",
                        help="write the picture to FILE (PNG, SVG, PDF ...) instead of showing it")
    return parser
