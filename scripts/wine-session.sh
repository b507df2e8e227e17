# Sourced by the scripts: the project's wine prefix, an X display, and a persistent wineserver.
# kv_wine_up starts what is missing and remembers what it started; kv_wine_down stops exactly that.
# Call kv_use_width (scripts/platform.sh) first.

source "$(dirname "${BASH_SOURCE[0]}")/platform.sh"
KV_STARTED_XVFB=""

kv_display_works() {
  [ -n "${DISPLAY:-}" ] || return 1
  local n=${DISPLAY#*:}; n=${n%%.*}
  [ -S "/tmp/.X11-unix/X$n" ] || return 1
  # A server that ended without cleaning up leaves its socket behind: its lock names a process gone.
  local lock=/tmp/.X$n-lock
  [ ! -f "$lock" ] || kill -0 "$(tr -d ' ' < "$lock")" 2>/dev/null
}

kv_start_xvfb() {
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    KV_STARTED_XVFB=$!
    local i
    for i in $(seq 1 100); do
      # The display is ours when its lock names our server: another start may have taken the number.
      if [ -S "/tmp/.X11-unix/X$n" ] && [ "$(tr -d ' ' < "/tmp/.X$n-lock" 2>/dev/null)" = "$KV_STARTED_XVFB" ]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$KV_STARTED_XVFB" 2>/dev/null || break
      sleep 0.05
    done
    kill "$KV_STARTED_XVFB" 2>/dev/null; KV_STARTED_XVFB=""
  done
  echo "cannot start Xvfb" >&2
  return 1
}

# Starts the display (unless one works), prepares the prefix and starts a persistent wineserver.
# On failure it stops whatever it started.
kv_wine_up() {
  mkdir -p "$KV_BUILD"
  kv_display_works || kv_start_xvfb || return 1
  # A prefix of the other width (one made before the builds had a prefix each) cannot be used: it is
  # the build folder's own, so it is made again.
  if [ -f "$WINEPREFIX/system.reg" ] && ! grep -qx "#arch=$WINEARCH" "$WINEPREFIX/system.reg"; then
    echo "the wine prefix in $WINEPREFIX is not a $WINEARCH prefix: making it again"
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "preparing the $KV_WIN_WIDTH-bit wine prefix in $WINEPREFIX"
    if ! kv_wine_retried "wine's set-up of the prefix" "$WINEPREFIX-setup.log" kv_make_prefix; then
      echo "cannot prepare the wine prefix with $KV_WINE" >&2
      kv_wine_down
      return 1
    fi
  fi
  # Every descriptor detached (the output goes to a file): neither the server nor a helper it starts
  # may hold a caller's pipe.
  if ! kv_wineserver -p </dev/null >/dev/null 2>&1 ||
    ! kv_wine_retried "wine's start" "$WINEPREFIX-start.log" kv_wine cmd /c exit; then
    echo "cannot start wine ($KV_WINE, $WINESERVER)" >&2
    kv_wine_down
    return 1
  fi
}

# kv_wine_retried WHAT LOG COMMAND...: COMMAND (wine's starts and what waits for them), wine's output
# with its errors in LOG, three attempts in all. wine may abort any process in its own start-up
# (scripts/platform.sh), and a prefix's set-up starts a dozen: 1 set-up in 20 failed so on a loaded
# machine. So a failed attempt is said with the end of LOG, and made again.
kv_wine_retried() {
  local what=$1 log=$2 attempt status
  shift 2
  for attempt in 1 2 3; do
    status=0
    WINEDEBUG=fixme-all "$@" </dev/null >"$log" 2>&1 || status=$?
    [ "$status" -eq 0 ] && return 0
    echo "$what failed (status $status, attempt $attempt of 3); the end of $log:" >&2
    tail -n 20 "$log" >&2
  done
  return 1
}

# A new prefix of the width, from nothing (what an earlier attempt left is removed first); returns
# once every process of its set-up has ended.
kv_make_prefix() {
  kv_wineserver -k 2>/dev/null
  kv_wineserver -w
  rm -rf "$WINEPREFIX"
  kv_wine wineboot -i && kv_wineserver -w && [ -f "$WINEPREFIX/system.reg" ]
}

kv_wine_down() {
  kv_wineserver -k 2>/dev/null || true
  if [ -n "$KV_STARTED_XVFB" ]; then
    kill "$KV_STARTED_XVFB" 2>/dev/null || true
    wait "$KV_STARTED_XVFB" 2>/dev/null || true
    KV_STARTED_XVFB=""
  fi
}

# kv_prefix_pid PATTERN: the Linux pid of the first process whose command line starts with PATTERN
# (a regular expression) and that runs in this prefix; other prefixes, other sessions' programs among
# them, may run programs of the same name. wine's launcher hands a program to a process that carries
# the program's name.
kv_prefix_pid() {
  local pid
  for pid in $(pgrep -f "^$1"); do
    if tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      echo "$pid"
      return 0
    fi
  done
  return 1
}
