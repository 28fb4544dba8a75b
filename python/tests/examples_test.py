"""The example scripts on small cases, with a non-interactive backend: each writes its picture."""

import os
import subprocess
import sys
import tempfile
import unittest

EXAMPLES = os.environ["SPLITEV_EXAMPLES"]


class ExamplesTest(unittest.TestCase):
    def assert_draws(self, script, *arguments):
        with tempfile.TemporaryDirectory() as folder:
            picture = os.path.join(folder, "picture.png")
            subprocess.run([sys.executable, os.path.join(EXAMPLES, script), *arguments, "--output", picture],
                           check=True, timeout=120)
            with open(picture, "rb") as written:
                self.assertEqual(written.read(8), b"\x89PNG\r\n\x1a\n")

    def test_split_chart(self):
        # Twos cannot be dealt, and against a two only the other pairs can be.
        self.assert_draws("split_chart.py", "--das", "--removed", "0,3,0,0,0,0,0,0,0,0")

    def test_removal_sweep(self):
        self.assert_draws("removal_sweep.py", "--pair", "8", "--up", "T", "--rank", "3", "--most", "4")


if __name__ == "__main__":
    unittest.main()
