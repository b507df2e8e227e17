#!/usr/bin/env python3
"""Reads CTest JUnit reports (ctest --output-junit), for scripts/test and scripts/wine-tests.

  test-counts.py REPORT...            prints "FAILED TOTAL" over all the reports
  test-counts.py --failed REPORT...   prints the failed tests' names, one a line

A test counts as failed unless CTest ran it and it passed; a missing or unreadable report counts
no test at all, which the scripts report as a run that ran nothing.
"""
import sys
import xml.etree.ElementTree as ElementTree


def cases(path):
    try:
        return list(ElementTree.parse(path).getroot().iter("testcase"))
    except (OSError, ElementTree.ParseError):
        return []


def failed(case):
    return case.get("status") != "run" or case.find("failure") is not None


def main(args):
    names = args[0] == "--failed"
    reports = args[1:] if names else args
    run = [c for path in reports for c in cases(path) if c.get("status") != "disabled"]
    if names:
        for case in run:
            if failed(case):
                print(case.get("name"))
    else:
        print(sum(1 for c in run if failed(c)), len(run))


if __name__ == "__main__":
    if not sys.argv[1:] or sys.argv[1:] == ["--failed"]:
        sys.exit("usage: test-counts.py [--failed] REPORT...")
    main(sys.argv[1:])
