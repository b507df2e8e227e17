#!/usr/bin/env python3
"""Prints "FAILED TOTAL" for a CTest JUnit report (ctest --output-junit), for scripts/test.

A test counts as failed unless CTest ran it and it passed; a missing or unreadable report counts
no test at all, which scripts/test reports as a run that ran nothing.
"""
import sys
import xml.etree.ElementTree as ElementTree


def counts(path):
    try:
        cases = ElementTree.parse(path).getroot().iter("testcase")
    except (OSError, ElementTree.ParseError):
        return 0, 0
    failed = total = 0
    for case in cases:
        if case.get("status") == "disabled":
            continue
        total += 1
        if case.get("status") != "run" or case.find("failure") is not None:
            failed += 1
    return failed, total


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: test-counts.py JUNIT-REPORT")
    print(*counts(sys.argv[1]))
