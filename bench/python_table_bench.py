#!/usr/bin/env python3
"""The Python module's whole table against splitev-table's, side by side in one run.

Each repetition starts, in turn, a fresh `splitev-table --format json` and a fresh interpreter that
imports splitev and calls splitev.table(), both for the same case (default: 8 decks, every pair,
the default rules), so each pays its own start-up and builds its dealer tables and cache from
nothing, as a user's first call does. The two alternate, so that a change in the machine's load
falls on both. Reported: the median wall and processor seconds (user + system, every thread) of
each, and the module's over the program's. The module's result is checked once against the
program's JSON, value for value and bit for bit.

    build/bench/python_table_bench [-n REPETITIONS] [--decks N]
"""

import argparse
import json
import os
import resource
import statistics
import subprocess
import sys
import time

MODULE_RUN = """
import json, sys, splitev
result = splitev.table(**json.loads(sys.argv[1]))
if len(sys.argv) > 2:
    json.dump(result, sys.stdout)
"""


def timed(command, env):
    """Wall and processor seconds of one run of command (its output dropped)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    subprocess.run(command, env=env, stdout=subprocess.DEVNULL, check=True)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--table", required=True, help="the splitev-table program")
    parser.add_argument("--module-dir", required=True, help="the folder holding the module")
    parser.add_argument("-n", type=int, default=5, help="repetitions of each (default 5)")
    parser.add_argument("--decks", type=int, default=8, help="decks (default 8)")
    args = parser.parse_args()
    env = dict(os.environ, PYTHONPATH=args.module_dir)
    case = json.dumps({"decks": args.decks})
    program = [args.table, "--decks", str(args.decks), "--format", "json", "--no-progress"]
    module = [sys.executable, "-c", MODULE_RUN, case]

    expected = subprocess.run(program, capture_output=True, text=True, check=True).stdout
    got = subprocess.run(module + ["print"], env=env, capture_output=True, text=True, check=True).stdout
    same = json.loads(got) == json.loads(expected) and json.dumps(json.loads(got)) == json.dumps(json.loads(expected))
    if not same:
        print("the module's result differs from the program's JSON", file=sys.stderr)
        return 1

    times = {"program": [], "module": []}
    for _ in range(args.n):
        times["program"].append(timed(program, env))
        times["module"].append(timed(module, env))
    cpus = os.cpu_count()
    level = os.environ.get("SPLITEV_VECTOR_LEVEL", "auto")
    with open("/proc/cpuinfo") as cpuinfo:
        avx512 = "avx512f" in cpuinfo.read()
    load = os.getloadavg()
    print(f"{args.decks} decks, every pair, default rules; {args.n} runs each, alternated; {cpus} cores, "
          f"avx512f {'yes' if avx512 else 'no'}, SPLITEV_VECTOR_LEVEL {level}, load average {load[0]:.1f}")
    print(f"{'':24}{'wall s':>10}{'cpu s':>10}")
    medians = {}
    for name, label in (("program", "splitev-table --format json"), ("module", "splitev.table()")):
        wall = statistics.median(t[0] for t in times[name])
        cpu = statistics.median(t[1] for t in times[name])
        medians[name] = (wall, cpu)
        print(f"{label:<28}{wall:>6.3f}{cpu:>10.3f}")
    print(f"{'module / program':<28}{medians['module'][0] / medians['program'][0]:>6.3f}"
          f"{medians['module'][1] / medians['program'][1]:>10.3f}")
    print("result: the module's object equals the program's JSON")
    return 0


if __name__ == "__main__":
    sys.exit(main())
