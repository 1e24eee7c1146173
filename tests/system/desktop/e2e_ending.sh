#!/usr/bin/env bash
# The end of the program waits for nobody, whatever the file and the session
# do. A settings file that turned read-only while the program ran: SIGTERM
# ends it at once with 0, the refused write told on standard error instead
# of in a box, the file as it was. A start-up box (a read-only file) open
# when SIGTERM, SIGHUP or SIGINT comes: the program ends within 2 s with 0
# rather than starting on. The X server going first (a plain window
# manager's logout), with and without a window manager: the program stores
# what its shut-down stores and ends with 0. SIGTERM while a task's nine
# rooster calls play (22 s): it ends within 2 s.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" md5sum
start_bare_x

top_windows() { xwininfo -root -children | grep -c '^ *0x'; }
# gone_within <seconds>: the program ended that soon; $rc holds its code.
gone_within() {
  local limit=$(($1 * 10)) i
  for ((i = 0; i < limit; i++)); do
    kill -0 "$app" 2>/dev/null || { wait "$app"; rc=$?; return 0; }
    sleep 0.1
  done
  return 1
}
# The box of a refused write, a window of the program's own titled as its boxes are.
box_shown() {
  local w
  for w in $(xdotool search --onlyvisible --name '^Звонарька 2.5$' 2>/dev/null); do
    viewable "$w" && return 0
  done
  return 1
}

# --- a refused write at the end is reported, not shown.
printf '[Main]\nTop=0\nLeft=0\nAutoRec=0\n' >"$ini"
start_app
wait_until 15 main_viewable || fail "no main window"
xdotool windowmove "$win" 60 40
sleep 0.3
chmod 444 "$ini"
before=$(md5sum <"$ini")
: >"$work/out.log"
kill -TERM "$app"
gone_within 2 || { box_shown && fail "the end waits on a box: $(top_windows) windows"; fail "SIGTERM did not end the program within 2 s"; }
[ "$rc" -eq 0 ] || fail "read-only file at the end: exit code $rc"
[ "$(md5sum <"$ini")" = "$before" ] || fail "the read-only file changed"
grep -q "Unable to write to .*$(basename "$ini")" "$work/out.log" ||
  fail "the refused write was not told on standard error"
[ "$(grep -c 'Unable to write to' "$work/out.log")" -eq 1 ] || fail "the refused write was told more than once"
note "read-only file at the end: exit 0 at once, one line on standard error, file as it was"

# --- a signal while a start-up box is open.
for sig in TERM HUP INT; do
  printf '[Main]\nTop=0\nLeft=0\nAutoRec=0\n' >"$ini"
  chmod 444 "$ini"
  start_app
  wait_until 15 box_shown || fail "SIG$sig: no start-up box for the read-only file"
  sleep 0.3
  kill -"$sig" "$app"
  gone_within 2 || fail "SIG$sig during a start-up box did not end the program within 2 s"
  [ "$rc" -eq 0 ] || fail "SIG$sig during a start-up box: exit code $rc"
  note "SIG$sig during a start-up box: exit 0 within 2 s"
done
chmod 644 "$ini"

# --- a task's nine rooster calls take 22 s; SIGTERM ends the program at once anyway.
avoid_midnight 60
due=$(($(now_secs) + 3))
printf '[Main]\nTop=0\nLeft=0\nAutoRec=0\n[Rooster]\nTime=%s\nDate=%s\nActiving=1\nSound=2\nOnes=9\n' \
  "$(hms "$due")" "$(date +%d.%m.%Y)" >"$ini"
start_app
wait_until 15 main_viewable || fail "rooster: no main window"
due_passed() { [ "$(now_secs)" -ge $((due + 2)) ]; }
wait_until 10 due_passed
kill -TERM "$app"
gone_within 2 || fail "SIGTERM during a task's sounds did not end the program within 2 s"
[ "$rc" -eq 0 ] || fail "SIGTERM during a task's sounds: exit code $rc"
# The end did not wait for the firing to finish: the sounds come before the
# task's next date is written, and it is still today's. (The next start's
# recalculation moves a date whose time has passed, so nothing fires twice.)
[ "$(ini_get Rooster Date)" = "$(date +%d.%m.%Y)" ] || fail "rooster: the end waited for the sounds"
note "SIGTERM during a task's sounds: exit 0 within 2 s"

# --- the X server goes first.
lose_display() { # <label> [framed]
  printf '[Main]\nTop=0\nLeft=0\nAutoRec=0\n' >"$ini"
  start_app
  wait_until 15 main_viewable || fail "$1: no main window"
  xdotool windowmove "$win" 70 50
  sleep 0.5
  wait_until 5 sh -c "xwininfo -id $win | grep -q 'Absolute upper-left X: *[1-9]'" ||
    fail "$1: the window did not move"
  # The frame's place, as the shut-down stores it: the client's less its
  # offset in the frame, where a window manager framed it.
  local x=70 y=50
  if [ "${2:-}" = framed ]; then
    x=$(xwininfo -id "$win" | awk '/Absolute upper-left X/{a=$4} /Relative upper-left X/{r=$4} END{print a-r}')
    y=$(xwininfo -id "$win" | awk '/Absolute upper-left Y/{a=$4} /Relative upper-left Y/{r=$4} END{print a-r}')
  fi
  kill -TERM "$xvfb"
  gone_within 10 || fail "$1: the program outlived its display"
  [ "$rc" -eq 0 ] || fail "$1: exit code $rc when the display went ($(tail -3 "$work/out.log"))"
  expect_key Main Left "$x"
  expect_key Main Top "$y"
  ini_get Main WeekLeft >/dev/null && ini_get Main WeekHold >/dev/null ||
    fail "$1: the picker's keys were not stored"
  note "$1: the display went; place and picker's keys stored, exit 0"
}
lose_display "no window manager"
start_x
lose_display "openbox" framed
pass "the end waits for nobody: read-only file, start-up box, a task's sounds, lost display"
