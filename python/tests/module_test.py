"""The Python module against the real splitev-table: the same objects (key order, types and float
bits), the same refusals, the CSV's table, and Ctrl-C during a long case."""

import csv
import io
import json
import math
import os
import signal
import subprocess
import sys
import threading
import time
import unittest

import splitev

TABLE = os.environ["SPLITEV_TABLE"]

# Cases as keyword arguments and as splitev-table's options, under different rules: aces with
# every split-ace rule; a pair that cannot be dealt, an up card that cannot be dealt (every nine
# but the pair out) and no doubling; a short shoe that runs out of cards, resplits to four hands and
# split_perfect for two entries only.
CASES = [
    (dict(pairs=["A", "8"], rules={"soft17": "hit", "das": True, "hsa": True, "dspa": True}),
     ["--pairs", "A,8", "--h17", "--das", "--hsa", "--dspa"]),
    (dict(decks=2, removed=[0, 0, 0, 0, 0, 0, 0, 7, 6, 0], pairs=["8", "9"],
          rules={"double": "none", "peek": False, "charlie": 5}),
     ["--decks", "2", "--removed", "0,0,0,0,0,0,0,7,6,0", "--pairs", "8,9", "--double", "none", "--no-peek",
      "--charlie", "5"]),
    (dict(removed=[3, 3, 3, 3, 3, 3, 3, 3, 2, 12], pairs=["9", "T"], rules={"hands": 4, "dan": True},
          up_cards=["overall", "6"]),
     ["--removed", "3,3,3,3,3,3,3,3,2,12", "--pairs", "9,T", "--hands", "4", "--dan", "--up-cards", "overall,6"]),
]


def program(arguments, output_format="json"):
    run = subprocess.run([TABLE, "--no-progress", "--format", output_format, *arguments], capture_output=True,
                         text=True, timeout=120)
    if not run.stdout:
        raise AssertionError(f"splitev-table {arguments} wrote nothing: {run.stderr}")
    return json.loads(run.stdout) if output_format == "json" else run.stdout


def exact(value):
    """The value with its types, key order and float bits spelled out, to compare exactly."""
    if isinstance(value, dict):
        return "dict", [(key, exact(item)) for key, item in value.items()]
    if isinstance(value, list):
        return "list", [exact(item) for item in value]
    if isinstance(value, float):
        return "float", value.hex()
    return type(value).__name__, value


class ModuleTest(unittest.TestCase):
    def test_results_are_the_programs_json(self):
        expected = [program(arguments) for _, arguments in CASES]
        self.assertTrue(any(pair["best"]["complete"] is False for pair in expected[2]["results"]))
        for (case, _), json_object in zip(CASES, expected):
            result = splitev.table(**case)
            self.assertEqual(result, json_object)
            self.assertEqual(exact(result), exact(json_object))
        batched = list(splitev.batch(case for case, _ in CASES))
        self.assertEqual(exact(batched), exact(expected))
        # One evaluator called from three threads at once: each call waits for the one before.
        shared = splitev.Evaluator()
        threaded = [None] * len(CASES)
        threads = [threading.Thread(target=lambda i=i: threaded.__setitem__(i, shared.table(**CASES[i][0])))
                   for i in range(len(CASES))]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual(exact(threaded), exact(expected))

    def test_refusals_are_the_programs_messages(self):
        refused = [dict(decks=0), dict(deck=8), dict(rules={"das": 1}), dict(rules={"dspa": True}),
                   dict(pairs=[]), dict(removed=[5, 0, 0, 0, 0, 0, 0, 0, 0, 0]), dict(up_cards=["X"]), [1]]
        run = subprocess.run([TABLE, "--batch"], input="".join(json.dumps(case) + "\n" for case in refused),
                             capture_output=True, text=True, timeout=60)
        messages = [json.loads(line)["error"] for line in run.stdout.splitlines()]
        self.assertEqual(len(messages), len(refused))
        for case, message in zip(refused, messages):
            with self.assertRaises(ValueError) as raised:
                next(splitev.batch([case])) if isinstance(case, list) else splitev.table(**case)
            self.assertEqual(str(raised.exception), message)
        # Values JSON cannot hold, named by their key.
        allowed = "is not allowed; allowed: JSON values (finite numbers, strings, booleans, None, lists and dicts)"
        for case, message in [(dict(decks={8}), "decks: {8} " + allowed),
                              (dict(rules={"charlie": math.nan}), "rules: {'charlie': nan} " + allowed)]:
            with self.assertRaises(ValueError) as raised:
                splitev.table(**case)
            self.assertEqual(str(raised.exception), message)

    def test_frame_is_the_programs_csv(self):
        case, arguments = CASES[1]
        rows = list(csv.reader(io.StringIO(program(arguments, "csv"), newline="")))
        frame = splitev.frame(splitev.table(**case))
        self.assertEqual(list(frame.columns), rows[0])
        self.assertEqual(len(frame), len(rows) - 1)
        for row, (_, got) in zip(rows[1:], frame.iterrows()):
            self.assertEqual(list(got[:3]), row[:3])
            self.assertEqual(got["complete"], row[-1] == "true")
            for text, value in zip(row[3:-1], got[3:-1]):
                if text == "":
                    self.assertTrue(math.isnan(value), row)
                elif row[1] == "best":
                    self.assertEqual(value, text)
                else:
                    self.assertEqual(value.hex(), float(text).hex())
        pandas = sys.modules.pop("pandas")
        sys.modules["pandas"] = None  # import pandas now fails as where it is not installed
        try:
            with self.assertRaises(ImportError) as raised:
                splitev.frame(splitev.table(**case))
        finally:
            sys.modules["pandas"] = pandas
        self.assertEqual(str(raised.exception),
                         "splitev.frame needs pandas: install the Debian package python3-pandas (or pandas with pip)")

    def test_ctrl_c_stops_a_long_case_and_the_next_one_computes(self):
        evaluator = splitev.Evaluator(threads=1)
        previous = signal.signal(signal.SIGINT, signal.default_int_handler)
        interrupt = threading.Timer(1.0, os.kill, (os.getpid(), signal.SIGINT))
        try:
            start = time.monotonic()
            interrupt.start()
            # Every pair of one deck with resplits to three hands: over 20 s of one core.
            with self.assertRaises(KeyboardInterrupt):
                evaluator.table(rules={"hands": 3})
            self.assertLess(time.monotonic() - start, 8)
        finally:
            interrupt.cancel()
            signal.signal(signal.SIGINT, previous)
        case, arguments = CASES[0]
        self.assertEqual(exact(evaluator.table(**case)), exact(program(arguments)))


if __name__ == "__main__":
    unittest.main()
