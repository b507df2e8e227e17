#!/usr/bin/env python3
"""The test programs' launcher (kv_run_test_program in scripts/platform.sh): which starts it makes
again, how often, and that everything a program writes is passed on; and the making of a prefix
(kv_make_prefix in scripts/wine-session.sh, through kv_wine_retried). wine is a stand-in here that
ends each attempt as a plan says."""
import os
import pathlib
import signal
import subprocess
import tempfile
import unittest

SCRIPTS = pathlib.Path(__file__).resolve().parent
SEGV = 128 + signal.SIGSEGV

# Each attempt of the stand-in, by name: what it writes, then how it ends.
FAKE_WINE = r"""#!/usr/bin/env bash
count=$(($(cat "$PLAN_DIR/count" 2>/dev/null || echo 0) + 1))
echo "$count" >"$PLAN_DIR/count"
echo "$WINEDEBUG" >"$PLAN_DIR/winedebug"
read -ra plan <<<"$PLAN"
aborted="err:virtual:virtual_alloc_first_teb wine: failed to map the shared user data: c0000018"
case "${plan[$((count - 1))]}" in
  passed) echo "[  PASSED  ] 1 test." ;;
  failed) echo "[  FAILED  ] 1 test."; exit 1 ;;
  aborted) echo "$aborted" >&2; exit 1 ;;
  aborted-then-more) echo "$aborted" >&2; echo "err:virtual:other" >&2; exit 1 ;;
  aborted-with-3) echo "$aborted" >&2; exit 3 ;;
  wrote-then-aborted) echo "[==========] Running 1 test"; echo "$aborted" >&2; exit 1 ;;
  silent-0) ;;
  silent-1) exit 1 ;;
  silent-segv) ulimit -c 0; kill -SEGV $$ ;;
  warned-then-0) echo "warning" >&2 ;;
esac
"""


def launch(plan):
    """Runs the launcher with the stand-in following PLAN: (status, attempts, stdout, stderr, the
    program's WINEDEBUG)."""
    with tempfile.TemporaryDirectory() as folder:
        wine = pathlib.Path(folder, "wine")
        wine.write_text(FAKE_WINE, encoding="utf-8")
        wine.chmod(0o755)
        env = dict(os.environ, PLAN=" ".join(plan), PLAN_DIR=folder, KV_WINE=str(wine), WINEDEBUG="-all")
        run = subprocess.run(["bash", "-c", f'source "{SCRIPTS}/platform.sh"; kv_run_test_program prog.exe --x'],
                             env=env, capture_output=True, text=True, timeout=60, check=False)
        attempts = int(pathlib.Path(folder, "count").read_text(encoding="utf-8"))
        winedebug = pathlib.Path(folder, "winedebug").read_text(encoding="utf-8").strip()
        return run.returncode, attempts, run.stdout, run.stderr, winedebug


class LauncherTest(unittest.TestCase):
    def test_only_starts_wine_aborted_are_made_again_and_at_most_three_times(self):
        # plan; then the status, the attempts and the retry notes the launcher ends with
        rows = [
            (["passed"], 0, 1, 0),
            (["failed"], 1, 1, 0),
            (["aborted", "passed"], 0, 2, 1),
            (["aborted", "aborted", "failed"], 1, 3, 2),
            (["aborted", "aborted", "aborted", "passed"], 1, 3, 3),
            # only that start: anything else, and a program that wrote, is its own result at once
            (["aborted-then-more", "passed"], 1, 1, 0),
            (["aborted-with-3", "passed"], 3, 1, 0),
            (["wrote-then-aborted", "passed"], 1, 1, 0),
            (["silent-1", "passed"], 1, 1, 0),
            (["silent-segv", "passed"], SEGV, 1, 0),
            (["warned-then-0", "failed"], 0, 1, 0),
            # a test program that ended with 0 having written nothing never ran: not a pass
            (["silent-0", "passed"], 1, 1, 0),
        ]
        for plan, status, attempts, notes in rows:
            with self.subTest(plan=plan):
                got_status, got_attempts, _, stderr, _ = launch(plan)
                self.assertEqual((got_status, got_attempts), (status, attempts))
                self.assertEqual(stderr.count("in its own start-up"), notes)

    def test_output_is_passed_on_and_each_retry_is_said(self):
        status, _, stdout, stderr, winedebug = launch(["aborted", "warned-then-0"])
        self.assertEqual((status, stdout, winedebug), (0, "", "-all,err+virtual"))
        self.assertEqual(stderr.splitlines()[-2:], ["wine aborted prog.exe in its own start-up (attempt 1 of 3)",
                                                    "warning"])
        self.assertEqual(launch(["passed"])[2], "[  PASSED  ] 1 test.\n")
        self.assertIn("prog.exe ended with 0 without writing anything: it never ran", launch(["silent-0"])[3])


# Each attempt at a prefix, by name; the stand-in first notes whether a prefix was already there.
FAKE_WINEBOOT = r"""#!/usr/bin/env bash
count=$(($(cat "$PLAN_DIR/count" 2>/dev/null || echo 0) + 1))
echo "$count" >"$PLAN_DIR/count"
[ -e "$WINEPREFIX" ] && echo "$count" >>"$PLAN_DIR/found-a-prefix"
read -ra plan <<<"$PLAN"
case "${plan[$((count - 1))]}" in
  made) mkdir -p "$WINEPREFIX" && touch "$WINEPREFIX/system.reg" ;;
  aborted) echo "err:virtual:virtual_alloc_first_teb wine: failed to map the shared user data: c0000018" >&2; exit 1 ;;
  half-made) mkdir -p "$WINEPREFIX/drive_c"; echo "err:module:import_dll Library X not found" >&2; exit 1 ;;
  said-0-made-nothing) ;;
esac
"""


def prepare(plan):
    """Makes a prefix with the stand-in following PLAN: (status, attempts, stderr, attempts that found
    a prefix already there, whether the prefix is there at the end)."""
    with tempfile.TemporaryDirectory() as folder:
        wine = pathlib.Path(folder, "wine")
        wine.write_text(FAKE_WINEBOOT, encoding="utf-8")
        wine.chmod(0o755)
        prefix = pathlib.Path(folder, "prefix64")
        env = dict(os.environ, PLAN=" ".join(plan), PLAN_DIR=folder, KV_WINE=str(wine), WINESERVER="true",
                   WINEPREFIX=str(prefix), KV_WIN_WIDTH="64")
        script = f'source "{SCRIPTS}/wine-session.sh"; kv_wine_retried "wine\'s set-up" "{folder}/log" kv_make_prefix'
        run = subprocess.run(["bash", "-c", script],
                             env=env, capture_output=True, text=True, timeout=60, check=False)
        attempts = int(pathlib.Path(folder, "count").read_text(encoding="utf-8"))
        found = pathlib.Path(folder, "found-a-prefix")
        found_at = found.read_text(encoding="utf-8").split() if found.exists() else []
        return run.returncode, attempts, run.stderr, found_at, prefix.joinpath("system.reg").exists()


class PrefixTest(unittest.TestCase):
    def test_a_failed_set_up_is_said_with_wines_words_and_made_again_from_nothing(self):
        # plan; then the status, the attempts, the failures said, and whether a prefix is there at the end
        rows = [
            (["made"], 0, 1, 0, True),
            (["aborted", "made"], 0, 2, 1, True),
            (["half-made", "aborted", "made"], 0, 3, 2, True),
            (["said-0-made-nothing", "made"], 0, 2, 1, True),
            (["half-made", "half-made", "half-made", "made"], 1, 3, 3, False),
        ]
        for plan, status, attempts, notes, made in rows:
            with self.subTest(plan=plan):
                got_status, got_attempts, stderr, found_at, got_made = prepare(plan)
                self.assertEqual((got_status, got_attempts, got_made), (status, attempts, made))
                # every attempt starts without the last one's half-made prefix
                self.assertEqual(found_at, [])
                self.assertEqual(stderr.count("wine's set-up failed"), notes)

        stderr = prepare(["half-made", "made"])[2]
        self.assertIn("(status 1, attempt 1 of 3)", stderr)
        self.assertIn("err:module:import_dll Library X not found", stderr)


if __name__ == "__main__":
    unittest.main()
