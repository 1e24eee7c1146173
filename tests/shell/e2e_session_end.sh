#!/usr/bin/env bash
# The end of the desktop session through the X session manager: asked to save
# itself for a shut-down (no interaction allowed) and then to die, the real
# program runs its shut-down as closing its window does (the window's place
# and the picker's keys stored), says it saved without cancelling the
# session's end, stays until Die and exits with 0. It asks never to be
# restarted by the manager: it comes back with the session through its own
# autostart entry only, in its own folder.
. "$(dirname "$0")/../e2e/lib.sh"
fake=${2:-}
[ -n "$fake" ] && [ -x "$fake" ] || { echo "SKIP: the fake session manager was not built (libSM/libICE)"; exit 77; }
e2e_init "${1:?program}"
start_bare_x
printf '[Main]\nTop=0\nLeft=0\nAutoRec=0\n' >"$ini"

sm_log="$work/sm.log"
"$fake" >"$sm_log" 2>&1 &
sm=$!
pids+=("$sm")
wait_until 10 grep -q '^SESSION_MANAGER=' "$sm_log" || fail "the fake session manager did not start: $(cat "$sm_log")"
SESSION_MANAGER=$(sed -n 's/^SESSION_MANAGER=//p' "$sm_log")
export SESSION_MANAGER
sm_fail() { echo "--- session manager"; cat "$sm_log"; fail "$@"; }

start_app
wait_until 15 main_viewable || sm_fail "no main window"
wait_until 10 grep -q '^registered$' "$sm_log" || sm_fail "the program did not register with the session manager"
# Somewhere else than stored; the picker's keys are written by the shut-down
# only.
xdotool windowmove "$win" 120 90
sleep 0.3
kill -USR1 "$sm"
wait_until 20 sh -c "! kill -0 $app 2>/dev/null" || sm_fail "the session's end did not end the program"
wait "$app"
rc=$?
wait_until 5 sh -c "! kill -0 $sm 2>/dev/null"
note "session manager saw: $(tr '\n' ' ' <"$sm_log" | sed 's/SESSION_MANAGER=[^ ]* //')"
[ "$rc" -eq 0 ] || sm_fail "exit code $rc"
grep -q '^save-yourself-done 1$' "$sm_log" || sm_fail "no successful SaveYourselfDone"
! grep -q '^interact-done 1$' "$sm_log" || sm_fail "the program cancelled the session's end"
! grep -q '^interact-request$' "$sm_log" || sm_fail "the program asked to interact though not allowed"
# Leaving between SaveYourselfDone and Die would lose the program when the
# session's end is cancelled.
grep -q '^die-sent$' "$sm_log" || sm_fail "the program left before Die"
hint=$(sed -n 's/^restart-hint //p' "$sm_log" | tail -1)
[ "$hint" = 3 ] || sm_fail "restart hint '$hint', not RestartNever (3)"
expect_key Main Left 120
expect_key Main Top 90
ini_get Main WeekLeft >/dev/null && ini_get Main WeekHold >/dev/null ||
  sm_fail "the picker's keys were not stored"
pass "SaveYourself and Die end the program through its shut-down"
