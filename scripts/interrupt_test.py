#!/usr/bin/env python3
"""An interrupted wine test run leaves nothing behind: scripts/wine-tests is started on boards of its
own, and once every board is up (its log says so) it gets a signal, as a user's Ctrl-C, a `kill` or a
closed terminal would send it. Then it must end with 128 + the signal's number, and none of its
processes may be left: nothing of its session (boards, CTest, test programs, displays) and no
process of its wine prefixes (the wineservers, which leave the session, and what they serve); nor
any temporary file of ours (the run gets a temporary folder of its own to look in).

  scripts/interrupt_test.py WIDTH [SIGNAL...]    (default: INT TERM HUP)
"""
import contextlib
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import time
import unittest

ROOT = pathlib.Path(__file__).resolve().parent.parent
PATIENCE_S = 120  # a wait ends when its event comes: only a failing run reaches this
SUITES = r"^(FaultMatrix|Cards|Tray)\."  # long suites that start the server: every board is busy


def wait_for(what, condition):
    deadline = time.monotonic() + PATIENCE_S
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(f"not within {PATIENCE_S} s: {what}")
        time.sleep(0.2)


def default_signals():
    """As a terminal's shell starts a command: a shell script run in the background (as the test command
    runs this test) ignores SIGINT, and what it starts would inherit that."""
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, signal.SIG_DFL)


def processes():
    """Every live process (zombies are dead): pid -> (session id, WINEPREFIX or "", command line)."""
    found = {}
    for entry in pathlib.Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            stat = (entry / "stat").read_text()
            fields = stat[stat.rindex(")") + 2:].split()
            if fields[0] == "Z":
                continue
            environ = (entry / "environ").read_bytes().split(b"\0")
            prefix = next((v[len(b"WINEPREFIX="):].decode() for v in environ if v.startswith(b"WINEPREFIX=")), "")
            command = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
            found[int(entry.name)] = (int(fields[3]), prefix, command)
        except (OSError, ValueError):
            continue  # ended while being read
    return found


class InterruptTest(unittest.TestCase):
    width = "64"
    signals = ["INT", "TERM", "HUP"]

    def test_a_signal_once_the_boards_are_up_leaves_nothing_running(self):
        for name in self.signals:
            with self.subTest(signal=name):
                self.interrupt(getattr(signal, "SIG" + name))

    def interrupt(self, number):
        out = ROOT / "build" / f"interrupt-test-{self.width}"
        shutil.rmtree(out, ignore_errors=True)
        temporary = out / "tmp"
        temporary.mkdir(parents=True)
        run = subprocess.Popen([str(ROOT / "scripts" / "wine-tests"), "--out", str(out), self.width, SUITES],
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               env=dict(os.environ, TMPDIR=str(temporary)),
                               start_new_session=True, preexec_fn=default_signals)
        def left():
            return {pid: command for pid, (session, prefix, command) in processes().items()
                    if session == run.pid or prefix.startswith(str(out) + "/")}
        try:
            def boards_up():
                logs = [log.read_text(errors="replace") for log in out.glob("board*.log")]
                return len(logs) == 3 and all(re.search(r"^board \d+: up", log, re.M) for log in logs)
            wait_for("three boards up", lambda: run.poll() is not None or boards_up())
            self.assertIsNone(run.poll(), "wine-tests ended before its boards were up")
            run.send_signal(number)
            output = run.communicate(timeout=PATIENCE_S)[0].decode(errors="replace")
            self.assertEqual(run.returncode, 128 + number, output)
            try:
                wait_for("every process of the run ended", lambda: not left())
            except AssertionError:
                self.fail(f"left running: {left()}")
            # wine keeps its servers' socket folders (wine-XXXXXX) after every run, interrupted or not
            ours = sorted(entry.name for entry in temporary.iterdir() if not entry.name.startswith("wine-"))
            self.assertEqual(ours, [], "temporary files left")
        finally:
            for pid in left():  # a failed run's leftovers go, so that the next test finds none
                with contextlib.suppress(OSError):
                    os.kill(pid, signal.SIGKILL)
        shutil.rmtree(out, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) > 1:
        InterruptTest.width = sys.argv.pop(1)
    if len(sys.argv) > 1:
        InterruptTest.signals = sys.argv[1:]
        del sys.argv[1:]
    unittest.main()
