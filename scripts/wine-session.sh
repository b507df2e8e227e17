# Sourced by the scripts: the project's wine prefix, an X display, and a persistent wineserver.
# kv_wine_up starts what is missing and remembers what it started; kv_wine_down stops exactly that.

KV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KV_BUILD=$KV_ROOT/build
# KV_WINEPREFIX: a prefix of one's own, so that tests run side by side do not stop each other's wineserver.
export WINEPREFIX=${KV_WINEPREFIX:-$KV_BUILD/wine-prefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
KV_STARTED_XVFB=""

kv_display_works() {
  [ -n "${DISPLAY:-}" ] || return 1
  local n=${DISPLAY#*:}; n=${n%%.*}
  [ -S "/tmp/.X11-unix/X$n" ]
}

kv_start_xvfb() {
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    KV_STARTED_XVFB=$!
    local i
    for i in $(seq 1 100); do
      [ -S "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      sleep 0.05
    done
    kill "$KV_STARTED_XVFB" 2>/dev/null; KV_STARTED_XVFB=""
  done
  echo "cannot start Xvfb" >&2
  return 1
}

kv_wine_up() {
  mkdir -p "$KV_BUILD"
  kv_display_works || kv_start_xvfb || return 1
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "preparing the wine prefix in $WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
  fi
  wineserver -p
  # Warm the server with every descriptor detached, so that no wine helper holds a caller's pipe.
  wine cmd /c exit </dev/null >/dev/null 2>&1
}

kv_wine_down() {
  wineserver -k 2>/dev/null || true
  if [ -n "$KV_STARTED_XVFB" ]; then
    kill "$KV_STARTED_XVFB" 2>/dev/null || true
    wait "$KV_STARTED_XVFB" 2>/dev/null || true
    KV_STARTED_XVFB=""
  fi
}
