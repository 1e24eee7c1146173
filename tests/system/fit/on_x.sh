#!/usr/bin/env bash
# Runs a window test on a private Xvfb at 96 dpi, then at 192 dpi with
# QT_SCALE_FACTOR=2.   on_x.sh <test binary> [test arguments...]
set -uo pipefail
command -v Xvfb >/dev/null 2>&1 || { echo "SKIP: Xvfb is missing"; exit 77; }
work=$(mktemp -d)
xvfb=
cleanup() { [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
unset WAYLAND_DISPLAY QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS

run_at() { # scale dpi
  local scale=$1 dpi=$2 i
  shift 2
  [ -n "$xvfb" ] && { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; }
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 $((1024 * scale))x$((768 * scale))x24 -dpi "$dpi" -nolisten tcp -noreset \
    3>"$work/display" >>"$work/xvfb.log" 2>&1 &
  xvfb=$!
  for ((i = 0; i < 100; i++)); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
  echo "--- scale $scale, $dpi dpi"
  DISPLAY=":$(head -1 "$work/display")" QT_SCALE_FACTOR=$scale "$@" -platform xcb
}
test=$1
shift
rc=0
run_at 1 96 "$test" "$@" || rc=1
run_at 2 192 "$test" "$@" || rc=1
exit $rc
