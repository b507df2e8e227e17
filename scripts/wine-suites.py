#!/usr/bin/env python3
"""The queue of test suites for scripts/wine-tests, and the record of how long each suite takes.

  wine-suites.py queue [--only-listed] CTEST-JSON REPORTS-DIR TIMES-FILE QUEUE-DIR
      One file per suite in QUEUE-DIR, named so that sorted names put the longest suite first; each
      holds the suite's name and the CTest regular expression that selects its tests: all of them, or
      with --only-listed just those in CTEST-JSON (a listing that a pattern of the caller's chose).
      CTEST-JSON is `ctest -N --show-only=json-v1`. A suite's length is its time in the JUnit
      reports of the last run in REPORTS-DIR, else the recorded time in TIMES-FILE, else 60 s.
  wine-suites.py record REPORTS-DIR TIMES-FILE
      Writes the suites' times in the reports to TIMES-FILE ("seconds suite" lines).

A suite is a GoogleTest test suite ("Suite" of "Suite.Test", parameterised ones with their prefix) or
a test of its own (a name without a dot). A suite's tests always run together, in one board: they
share the files beside their program.
"""
import json
import os
import re
import sys
import xml.etree.ElementTree as ElementTree

UNKNOWN_SECONDS = 60.0


def suite_of(test_name):
    return test_name.split(".", 1)[0]


def selector(suite, has_dot):
    return "^" + re.escape(suite) + (r"\." if has_dot else "$")


def report_times(reports_dir):
    times = {}
    if not os.path.isdir(reports_dir):
        return times
    for name in sorted(os.listdir(reports_dir)):
        if not (name.startswith("suite-") and name.endswith(".xml")):
            continue
        try:
            cases = ElementTree.parse(os.path.join(reports_dir, name)).getroot().iter("testcase")
            for case in cases:
                suite = suite_of(case.get("name", ""))
                times[suite] = times.get(suite, 0.0) + float(case.get("time", "0") or 0)
        except (OSError, ElementTree.ParseError, ValueError):
            continue
    return times


def recorded_times(times_file):
    times = {}
    try:
        with open(times_file, encoding="utf-8") as lines:
            for line in lines:
                fields = line.split()
                if len(fields) == 2 and not line.startswith("#"):
                    times[fields[1]] = float(fields[0])
    except (OSError, ValueError):
        pass
    return times


def listed_selector(names):
    return "^(" + "|".join(re.escape(name) for name in names) + ")$"


def queue(ctest_json, reports_dir, times_file, queue_dir, only_listed=False):
    with open(ctest_json, encoding="utf-8") as listing:
        tests = [t["name"] for t in json.load(listing).get("tests", [])]
    suites = {}
    for name in tests:
        suites.setdefault(suite_of(name), []).append(name)
    known = recorded_times(times_file)
    known.update(report_times(reports_dir))
    order = sorted(suites, key=lambda s: (-known.get(s, UNKNOWN_SECONDS), s))
    os.makedirs(queue_dir, exist_ok=True)
    for index, suite in enumerate(order):
        with open(os.path.join(queue_dir, f"{index:04d}"), "w", encoding="utf-8") as entry:
            names = suites[suite]
            pattern = listed_selector(names) if only_listed else selector(suite, "." in names[0])
            entry.write(f"{suite}\n{pattern}\n")
    print(len(order))


def record(reports_dir, times_file):
    times = report_times(reports_dir)
    with open(times_file, "w", encoding="utf-8") as out:
        out.write("# seconds suite: the wine suites' times, longest first (scripts/wine-suites.py record)\n")
        for suite, seconds in sorted(times.items(), key=lambda item: (-item[1], item[0])):
            out.write(f"{seconds:.1f} {suite}\n")


if __name__ == "__main__":
    if len(sys.argv) == 6 and sys.argv[1] == "queue":
        queue(*sys.argv[2:])
    elif len(sys.argv) == 7 and sys.argv[1:3] == ["queue", "--only-listed"]:
        queue(*sys.argv[3:], only_listed=True)
    elif len(sys.argv) == 4 and sys.argv[1] == "record":
        record(*sys.argv[2:])
    else:
        sys.exit(__doc__)
