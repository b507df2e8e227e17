#!/usr/bin/env python3
"""The test programs' launcher (kv_run_test_program in scripts/platform.sh): which starts it makes
again, how often, and that everything a program writes is passed on. wine is a stand-in here that
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


if __name__ == "__main__":
    unittest.main()
