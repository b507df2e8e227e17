# Sourced by the scripts: which Windows build runs on this machine, and how wine runs it.
#
# The product is 32-bit, since the outside libraries it calls are. Some machines cannot execute 32-bit
# programs at all (no IA-32 emulation in the kernel); there the same sources run as 64-bit programs
# under wine64. Both builds are compiled everywhere; this decides which of them runs.

KV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KV_BUILD=$KV_ROOT/build
# wine's .NET and HTML engines, which wine would offer to download, have no place on a board. (The
# menu builder that every new wine session starts in the background stays: it opens the session's
# desktop with no descriptor of ours, and without it the first program with a window does, handing
# its output pipe to the desktop, which closes 2 s after that program's end.)
KV_DLL_OVERRIDES="mscoree,mshtml="

# A complete 32-bit x86 Linux program of 93 bytes: ELF header, one loadable segment, and
# "xor ebx,ebx; mov bl,42; xor eax,eax; inc eax; int 0x80" (exit(42)). It needs no library, so it
# runs wherever the kernel executes 32-bit code, whatever is installed.
kv_write_ia32_probe() {
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'                    # identification
  printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'          # exec, i386, entry
  printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' # sizes, 1 segment
  printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'          # PT_LOAD at 0x8048000
  printf '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'          # 93 bytes, r-x
  printf '\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80'                                      # exit(42)
}

# Sets KV_RUN_WIDTH, the build that the board, the demo and the benchmark run (32 or 64),
# KV_TEST_WIDTHS, the builds whose wine tests run, and KV_WIDTH_REASON. KV_WIDTH=32 or 64 in the
# environment limits both to that width.
kv_choose_width() {
  case "${KV_WIDTH:-}" in
    32 | 64)
      KV_RUN_WIDTH=$KV_WIDTH KV_TEST_WIDTHS=$KV_WIDTH KV_WIDTH_REASON="chosen by KV_WIDTH=$KV_WIDTH"
      return 0 ;;
    "") ;;
    *) echo "KV_WIDTH must be 32 or 64, not '$KV_WIDTH'" >&2; return 1 ;;
  esac
  local probe status
  probe=$(mktemp "${TMPDIR:-/tmp}/kelvane-ia32-probe.XXXXXX") || return 1
  kv_write_ia32_probe >"$probe" && chmod +x "$probe"
  status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  if [ $status -eq 42 ]; then
    KV_RUN_WIDTH=32 KV_TEST_WIDTHS="32 64"
    KV_WIDTH_REASON="this machine executes 32-bit programs"
  else
    KV_RUN_WIDTH=64 KV_TEST_WIDTHS=64
    KV_WIDTH_REASON="this machine cannot execute 32-bit programs (a 32-bit test program did not run)"
  fi
}

# kv_use_width 32|64: the build tree, the wine loader and server, and the prefix of that width.
# KV_WINEPREFIX, if set, names a prefix of one's own (for boards and tests run side by side); the
# 64-bit prefix is the same name with "64" appended.
kv_use_width() {
  local width=$1
  case "$width" in
    32)
      KV_PRESET=win32
      KV_WINE=/usr/lib/wine/wine
      # The 32-bit loader works with either server; the 32-bit one where it is there, as always.
      if [ -x /usr/lib/wine/wineserver32 ]; then WINESERVER=/usr/lib/wine/wineserver32
      else WINESERVER=/usr/lib/wine/wineserver64; fi
      export WINEARCH=win32
      ;;
    64)
      KV_PRESET=win64
      KV_WINE=/usr/lib/wine/wine64
      WINESERVER=/usr/lib/wine/wineserver64
      export WINEARCH=win64
      ;;
    *) echo "kv_use_width: 32 or 64, not '$width'" >&2; return 1 ;;
  esac
  KV_WIN_BUILD=$KV_BUILD/$KV_PRESET
  # The 64-bit loader must be used directly: /usr/bin/wine runs the 32-bit one whenever it exists.
  export WINELOADER=$KV_WINE WINESERVER
  WINEPREFIX=${KV_WINEPREFIX:-$KV_BUILD/wine-prefix}
  [ "$width" = 64 ] && WINEPREFIX=${WINEPREFIX}64
  export WINEPREFIX
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-$KV_DLL_OVERRIDES}
  export KV_WIN_WIDTH=$width KV_PRESET KV_WIN_BUILD KV_WINE
}

# wine, wineserver and wine's tools, for the width chosen by kv_use_width.
kv_wine() { "$KV_WINE" "$@"; }
kv_wineserver() { "$WINESERVER" "$@"; }
kv_winepath() { "$KV_WINE" winepath "$@" 2>/dev/null | tr -d '\r'; }

# kv_run_test_program PROGRAM [ARGS...]: a test program under wine (KV_WINE), its output passed on
# as it comes. A start that wine aborted in its own start-up is made again, three attempts in all,
# each retry said on standard error; anything else is the program's own result, given at once.
# Without a preloader, wine places the shared user data at its fixed address before anything else;
# now and then (3 in 24,000 starts of 64-bit programs on a loaded machine) something is there
# already, and wine ends the process with 1. Its error channel is on for that line, which is then
# all the program wrote. A test program writes from the first line of its main, so one that ended
# with 0 having written nothing never ran: that is a failure (1), never a pass. Its body is a
# process of its own, whose exit removes its pipes also when a signal ends it (an interrupted run).
kv_run_test_program() (
  local outputs attempt status out_copy err_copy
  outputs=$(mktemp -d "${TMPDIR:-/tmp}/kelvane-run.XXXXXX") || exit 1
  # shellcheck disable=SC2064
  trap "rm -rf $(printf %q "$outputs")" EXIT
  mkfifo "$outputs/out" "$outputs/err" || exit 1
  for attempt in 1 2 3; do
    tee "$outputs/out.copy" <"$outputs/out" &
    out_copy=$!
    tee "$outputs/err.copy" <"$outputs/err" >&2 &
    err_copy=$!
    WINEDEBUG=${WINEDEBUG:--all},err+virtual "$KV_WINE" "$@" >"$outputs/out" 2>"$outputs/err"
    status=$?
    wait "$out_copy" "$err_copy"
    if [ "$status" -eq 0 ] && [ ! -s "$outputs/out.copy" ] && [ ! -s "$outputs/err.copy" ]; then
      echo "$1 ended with 0 without writing anything: it never ran" >&2
      status=1
      break
    fi
    kv_wine_start_aborted "$status" "$outputs/out.copy" "$outputs/err.copy" || break
    echo "wine aborted $1 in its own start-up (attempt $attempt of 3)" >&2
  done
  exit "$status"
)

# kv_wine_start_aborted STATUS OUT ERR: whether a start that ended with STATUS, having written the
# files OUT and ERR, is one that wine aborted in its own start-up.
kv_wine_start_aborted() {
  [ "$1" -eq 1 ] && [ ! -s "$2" ] &&
    grep -qxE 'err:virtual:virtual_alloc_first_teb wine: failed to map the shared user data: [0-9a-f]+' "$3" &&
    [ "$(wc -l <"$3")" -eq 1 ]
}

# The width of a Windows program, from its PE header: 32 (i386), 64 (x86-64), or nothing.
kv_program_width() {
  local pe machine
  pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$pe" ] || return 1
  machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
  case "$machine" in
    014c) echo 32 ;;
    8664) echo 64 ;;
    *) return 1 ;;
  esac
}

# kv_copy_prefix FROM TO: a copy of a prepared wine prefix that another wineserver can own. wine's
# own DLL folders, which nothing here writes, are hard-linked (most of a prefix's size); the rest,
# the registry and the programs' folders, is copied. TO is replaced whole, and appears only once
# complete.
kv_copy_prefix() {
  local from=$1 to=$2 shared=(windows/system32 windows/syswow64 windows/winsxs)
  rm -rf "$to" "$to.new" || return 1
  mkdir -p "$to.new" || return 1
  local excludes=() folder
  for folder in "${shared[@]}"; do excludes+=(--exclude="./drive_c/$folder"); done
  tar -C "$from" "${excludes[@]}" -cf - . | tar -C "$to.new" -xf - || return 1
  for folder in "${shared[@]}"; do
    [ -d "$from/drive_c/$folder" ] || continue
    cp -al "$from/drive_c/$folder" "$to.new/drive_c/$folder" || return 1
  done
  mv "$to.new" "$to"
}

# Stopping on a signal. A script that starts processes in the background traps SIGINT, SIGTERM and
# SIGHUP with kv_trap_signals; the handler ends everything the script started (kv_end_descendants),
# so that nothing new starts, then runs the script's own clean-up for what left its process tree
# (wineservers), and exits with 128 + the signal's number. Long steps run as
# `kv_step COMMAND...`, in the background with the script waiting, so that a signal is handled at
# once and not only once the step is over.

# kv_descendants PID: every process PID started, and every process those started, one a line.
kv_descendants() {
  local child
  for child in $(pgrep -P "$1"); do
    echo "$child"
    kv_descendants "$child"
  done
}

# kv_end_descendants: SIGTERM to every process this shell started, and theirs; those still there
# after 30 s (a script among them stops what it started first) get SIGKILL. Returns once this
# shell's own children have ended.
kv_end_descendants() {
  local self=$BASHPID pids i
  pids=$(kv_descendants "$self" | paste -sd,)
  [ -n "$pids" ] || return 0
  kill -TERM ${pids//,/ } 2>/dev/null
  for i in $(seq 1 300); do
    kv_any_alive "$pids" || break
    sleep 0.1
  done
  kill -KILL ${pids//,/ } 2>/dev/null
  wait 2>/dev/null
}

# kv_any_alive PID,PID...: whether any of them still runs (one that has ended and waits to be
# reaped does not).
kv_any_alive() { ps -o stat= -p "$1" 2>/dev/null | grep -qv '^Z'; }

# kv_trap_signals CLEANUP: on SIGINT, SIGTERM or SIGHUP, ends everything this shell started, runs
# CLEANUP (a command, may be ":") and exits with 130, 143 or 129.
kv_trap_signals() {
  local signal
  for signal in INT TERM HUP; do
    # shellcheck disable=SC2064
    trap "kv_on_signal $signal $(printf %q "$1")" "$signal"
  done
}
kv_on_signal() {  # kv_on_signal SIGNAL CLEANUP
  trap '' INT TERM HUP
  kv_end_descendants
  eval "$2"
  exit $((128 + $(kill -l "$1")))
}

kv_step() { "$@" & wait $!; }
