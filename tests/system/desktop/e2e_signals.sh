#!/usr/bin/env bash
# The end of a session by signal: SIGTERM (the session's manager, logind),
# SIGHUP (a closed terminal) and SIGINT (Ctrl+C) each run the real program's
# shut-down as closing its window does: the window's place and the picker's
# keys are stored and the exit code is 0.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}"
start_bare_x
printf '[Main]\nTop=0\nLeft=0\nAutoRec=0\n' >"$ini"

n=0
for sig in TERM HUP INT; do
  n=$((n + 1))
  start_app
  wait_until 15 main_viewable || fail "SIG$sig: no main window"
  # Somewhere else than stored; the picker's keys are written by the
  # shut-down only.
  xdotool windowmove "$win" $((40 * n)) $((30 * n))
  sleep 0.3
  kill -"$sig" "$app"
  wait_until 15 sh -c "! kill -0 $app 2>/dev/null" || fail "SIG$sig did not end the program"
  wait "$app"
  rc=$?
  [ "$rc" -eq 0 ] || fail "SIG$sig: exit code $rc"
  expect_key Main Left $((40 * n))
  expect_key Main Top $((30 * n))
  ini_get Main WeekLeft >/dev/null && ini_get Main WeekHold >/dev/null ||
    fail "SIG$sig: the picker's keys were not stored"
  note "SIG$sig: exit code 0, place and picker's keys stored"
  sed -i '/^Week/d' "$ini"
done
pass "SIGTERM, SIGHUP and SIGINT end the program through its shut-down"
