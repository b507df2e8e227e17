#!/usr/bin/env python3
"""The wine suites' queue: every test is taken by exactly one entry, the longest suites first."""
import contextlib
import io
import json
import os
import pathlib
import re
import runpy
import tempfile
import types
import unittest

# The script's name is not a module name: its functions, as a namespace.
wine_suites = types.SimpleNamespace(
    **runpy.run_path(os.path.join(os.path.dirname(os.path.abspath(__file__)), "wine-suites.py")))

TESTS = ["Cards.A", "Cards.B", "CardsMore.C", "Dpi/DisplayScaleTest.X/0", "Dpi/DisplayScaleTest.X/1",
         "server_display_scale_144dpi", "server_display_scale_144dpi_more", "Fresh.D"]


def report(suite_times):
    cases = "".join(f'<testcase name="{name}" time="{seconds}" status="run"/>' for name, seconds in suite_times)
    return f"<testsuite>{cases}</testsuite>"


class QueueTest(unittest.TestCase):
    def test_each_test_in_exactly_one_entry_longest_first(self):
        with tempfile.TemporaryDirectory() as folder:
            listing = os.path.join(folder, "tests.json")
            with open(listing, "w", encoding="utf-8") as out:
                json.dump({"tests": [{"name": name} for name in TESTS]}, out)
            reports = os.path.join(folder, "reports")
            os.mkdir(reports)
            with open(os.path.join(reports, "suite-Cards.xml"), "w", encoding="utf-8") as out:
                out.write(report([("Cards.A", 50), ("Cards.B", 40)]))  # 90 s: before the 60 s guess
            times = os.path.join(folder, "times")
            with open(times, "w", encoding="utf-8") as out:
                out.write("# seconds suite\n300.0 server_display_scale_144dpi\n5.0 CardsMore\n75.0 Cards\n")
            queue = os.path.join(folder, "queue")
            with contextlib.redirect_stdout(io.StringIO()) as printed:
                wine_suites.queue(listing, reports, times, queue)
            self.assertEqual(printed.getvalue(), "6\n", "the number of suites, for scripts/wine-tests")

            entries = [pathlib.Path(queue, name).read_text(encoding="utf-8").split("\n")[:2]
                       for name in sorted(os.listdir(queue))]
            self.assertEqual([suite for suite, _ in entries],
                             ["server_display_scale_144dpi", "Cards", "Dpi/DisplayScaleTest", "Fresh",
                              "server_display_scale_144dpi_more", "CardsMore"])
            # CTest's regular expressions agree with Python's on these anchored, escaped patterns.
            for name in TESTS:
                takers = [suite for suite, pattern in entries if re.search(pattern, name)]
                self.assertEqual(len(takers), 1, f"{name} taken by {takers}")

    def test_only_listed_entries_take_the_listed_tests_and_no_other_of_their_suites(self):
        listed = ["Cards.A", "Dpi/DisplayScaleTest.X/1", "server_display_scale_144dpi"]
        with tempfile.TemporaryDirectory() as folder:
            listing = os.path.join(folder, "tests.json")
            with open(listing, "w", encoding="utf-8") as out:
                json.dump({"tests": [{"name": name} for name in listed]}, out)
            queue = os.path.join(folder, "queue")
            with contextlib.redirect_stdout(io.StringIO()):
                wine_suites.queue(listing, folder, os.path.join(folder, "none"), queue, only_listed=True)
            patterns = [pathlib.Path(queue, name).read_text(encoding="utf-8").split("\n")[1]
                        for name in sorted(os.listdir(queue))]
            for name in TESTS:
                takers = [pattern for pattern in patterns if re.search(pattern, name)]
                self.assertEqual(len(takers), 1 if name in listed else 0, f"{name} taken by {takers}")

    def test_record_lists_report_times_longest_first(self):
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "suite-a.xml"), "w", encoding="utf-8") as out:
                out.write(report([("Short.A", 1.5), ("Long.A", 20), ("Long.B", 2.5)]))
            with open(os.path.join(folder, "suite-broken.xml"), "w", encoding="utf-8") as out:
                out.write("<testsuite>")  # a run cut short leaves such a file: it is passed over
            times = os.path.join(folder, "times")
            wine_suites.record(folder, times)
            with open(times, encoding="utf-8") as lines:
                self.assertEqual(lines.read().splitlines()[1:], ["22.5 Long", "1.5 Short"])


if __name__ == "__main__":
    unittest.main()
