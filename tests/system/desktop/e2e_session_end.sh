#!/usr/bin/env bash
# The end of the desktop session through the X session manager: asked to save
# itself for a shut-down (no interaction allowed) and then to die, the real
# program runs its shut-down as closing its window does (the window's place
# and the picker's keys stored), says it saved without cancelling the
# session's end, stays until Die and exits with 0. It asks never to be
# restarted by the manager: it comes back with the session through its own
# autostart entry only, in its own folder. Once with the main window shown and
# moved, once living in the tray only, as it was started at log-in with
# "Минимизироваться при запуске" (its main window never mapped).
. "$(dirname "$0")/../../common/lib.sh"
fake=${2:-}
[ -n "$fake" ] && [ -x "$fake" ] || { echo "SKIP: the fake session manager was not built (libSM/libICE)"; exit 77; }
e2e_init "${1:?program}"
start_bare_x
start_trayer
sm_log="$work/sm.log"
sm_fail() { echo "--- session manager"; cat "$sm_log"; fail "$@"; }

# start_session: a fresh fake manager, SESSION_MANAGER naming it.
start_session() {
  # The last round's log would name the last manager until the new one's
  # output truncates it.
  rm -f "$sm_log"
  "$fake" >"$sm_log" 2>&1 &
  sm=$!
  pids+=("$sm")
  wait_until 10 grep -q '^SESSION_MANAGER=' "$sm_log" || sm_fail "the fake session manager did not start"
  SESSION_MANAGER=$(sed -n 's/^SESSION_MANAGER=//p' "$sm_log")
  export SESSION_MANAGER
}

# end_session <round>: the manager ends the session; the program must go
# through its shut-down the way a session manager expects.
end_session() {
  wait_until 10 grep -q '^registered$' "$sm_log" || sm_fail "$1: the program did not register with the session manager"
  kill -USR1 "$sm"
  wait_until 20 sh -c "! kill -0 $app 2>/dev/null" || sm_fail "$1: the session's end did not end the program"
  wait "$app"
  local rc=$? hint
  wait_until 5 sh -c "! kill -0 $sm 2>/dev/null"
  note "$1: the session manager saw: $(sed '/^SESSION_MANAGER=/d' "$sm_log" | tr '\n' ' ')"
  [ "$rc" -eq 0 ] || sm_fail "$1: exit code $rc"
  grep -q '^save-yourself-done 1$' "$sm_log" || sm_fail "$1: no successful SaveYourselfDone"
  ! grep -q '^interact-done 1$' "$sm_log" || sm_fail "$1: the program cancelled the session's end"
  ! grep -q '^interact-request$' "$sm_log" || sm_fail "$1: the program asked to interact though not allowed"
  # Leaving between SaveYourselfDone and Die would lose the program when the
  # session's end is cancelled after all.
  grep -q '^die-sent$' "$sm_log" || sm_fail "$1: the program left before Die"
  hint=$(sed -n 's/^restart-hint //p' "$sm_log" | tail -1)
  [ "$hint" = 3 ] || sm_fail "$1: restart hint '$hint', not RestartNever (3)"
  ini_get Main WeekLeft >/dev/null && ini_get Main WeekHold >/dev/null ||
    sm_fail "$1: the picker's keys were not stored"
}

printf '[Main]\nTop=0\nLeft=0\nAutoRec=0\n' >"$ini"
start_session
start_app
wait_until 15 main_viewable || sm_fail "no main window"
# Somewhere else than stored; the picker's keys are written by the shut-down
# only.
xdotool windowmove "$win" 120 90
sleep 0.3
end_session "shown"
expect_key Main Left 120
expect_key Main Top 90

printf '[Main]\nTop=33\nLeft=44\nAutoRec=0\nHideOnStart=1\n' >"$ini"
start_session
start_app
wait_until 15 one_icon || sm_fail "no tray icon"
main_viewable && sm_fail "HideOnStart with a tray showed the main window"
end_session "in the tray"
expect_key Main Left 44
expect_key Main Top 33
pass "SaveYourself and Die end the program through its shut-down, shown or in the tray"
