#!/usr/bin/env python3
"""Reads the board's journal (simctl journal, JSON lines) and prints the server's start-up as the
journal saw it: every run of calls to one library, with the time that passed before it. Start-up
runs from the ACPI open (the first thing the main window's creation does) to the last call before
the message loop's first quiet second; what happens before the open (loading the program, making
the main window) is not in the journal. The wait after the open is mandated; the rest is work."""
import json
import pathlib
import re
import sys

# The wait as the server states it.
COUNTERS = pathlib.Path(__file__).resolve().parent.parent / "server/core/StartupCounters.h"
MANDATED_WAIT_US = 1000 * int(re.search(r"kStartWaitMs = (\d+);", COUNTERS.read_text()).group(1))
QUIET_US = 1_000_000  # the first default run comes 2 s after start-up: nothing else is that quiet

calls = [json.loads(line) for line in sys.stdin if line.strip()]
opens = [c for c in calls if c["library"] == "nuacpi" and c["entry"] == "Open"]
if not opens:
    sys.exit("startup-times: the journal has no ACPI open: the server did not start on this board")
server = opens[0]["pid"]
mine = [c for c in calls if c["pid"] == server and c["seq"] >= opens[0]["seq"]]
end = len(mine)
for i in range(1, len(mine)):
    if mine[i]["us"] - mine[i - 1]["us"] > QUIET_US and mine[i - 1]["us"] - mine[0]["us"] > MANDATED_WAIT_US:
        end = i
        break
startup = mine[:end]
t0 = startup[0]["us"]

print("ms after the open   gap before (ms)   library        calls")
run_start = 0
for i in range(1, len(startup) + 1):
    if i < len(startup) and startup[i]["library"] == startup[run_start]["library"]:
        continue
    first = startup[run_start]
    gap = (first["us"] - startup[run_start - 1]["us"]) / 1000 if run_start else 0.0
    print(f"{(first['us'] - t0) / 1000:16.1f}   {gap:15.1f}   {first['library']:<13}  {i - run_start}")
    run_start = i

total = startup[-1]["us"] - t0
print(f"start-up from the open to its last call: {total / 1000:.1f} ms; "
      f"work besides the {MANDATED_WAIT_US // 1000} ms wait: {(total - MANDATED_WAIT_US) / 1000:.1f} ms")
