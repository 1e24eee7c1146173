#!/usr/bin/env bash
# A second copy, started beside a first one that is shown and then hidden,
# ends with 0 at once: no window, no activation of the first copy, no write
# to the settings file, no autostart entry touched.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" md5sum trayer
start_x
start_trayer
start_app
wait_main
first=$app
note "first copy shown: $win"

snapshot() {
  (cd "$work" && find run config home -type f -exec md5sum {} + 2>/dev/null | sort
   stat -c '%n %s %y %i' run/* 2>/dev/null)
}
top_windows() { xwininfo -root -children | grep -c '^ *0x'; }

for state in shown hidden; do
  if [ "$state" = hidden ]; then
    click_main 189 187
    wait_until 5 hidden || fail "Спрятать did not hide the window"
  fi
  before=$(snapshot)
  windows=$(top_windows)
  active=$(active_window)
  t0=$(date +%s%N)
  (cd "$work/run" && exec timeout 20 "$program") >>"$work/out.log" 2>&1
  rc=$?
  ms=$((($(date +%s%N) - t0) / 1000000))
  [ "$rc" -eq 0 ] || fail "second copy ($state) ended with $rc"
  sleep 0.5
  [ "$(snapshot)" = "$before" ] || fail "second copy ($state) changed files: $(diff <(echo "$before") <(snapshot))"
  [ "$(top_windows)" -eq "$windows" ] || fail "second copy ($state) left a window"
  [ "$(active_window)" = "$active" ] || fail "second copy ($state) changed the active window"
  kill -0 "$first" 2>/dev/null || fail "the first copy died"
  if [ "$state" = hidden ]; then
    viewable "$win" && fail "the hidden first copy was shown"
  fi
  note "second copy beside a $state first one: exit 0 in $ms ms, nothing changed"
done

# The first copy still answers its icon, and ends normally.
double_click_icon
wait_until 10 main_shown || fail "the first copy no longer answers its icon"
close_app
pass "second copy"
