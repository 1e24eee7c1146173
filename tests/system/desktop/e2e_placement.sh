#!/usr/bin/env bash
# Places and sizes from the settings file, and the ways back without a tray,
# under openbox.
# - Width=Height=0, -1 and 100000, a place far off the screen, a picker off
#   the screen: every window is mapped, the main window at least its own
#   minimum and at most the screen, on the screen; the file keeps its values
#   until the shut-down writes the real place.
# - Left=Top=0 and a start-up box (a read-only file): the title bar is on
#   the screen.
# - No tray: the About card comes up at the main window's place, 0,0
#   included; after "Спрятать" and a restore from the taskbar the pinned
#   picker is back, and leaving the About card brings the main window back
#   normal and in front, with its picker.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}"
start_x

wm_state() { xprop -id "$1" WM_STATE 2>/dev/null | awk '/window state:/ {print $3}'; }
# geometry <window>: client x, y, width, height and the frame's x, y.
geometry() {
  xwininfo -id "$1" | awk '
    /Absolute upper-left X/ {ax=$4} /Absolute upper-left Y/ {ay=$4}
    /Relative upper-left X/ {rx=$4} /Relative upper-left Y/ {ry=$4}
    /Width:/ {w=$2} /Height:/ {h=$2}
    END {print ax, ay, w, h, ax-rx, ay-ry}'
}
window_of_width() {
  local w
  for w in $(xdotool search --class TfmTocsiner 2>/dev/null); do
    viewable "$w" || continue
    [ "$(xwininfo -id "$w" | awk '/Width:/{print $2}')" = "$1" ] && { echo "$w"; return 0; }
  done
  return 1
}
picker() { picker=$(window_of_width 117); }
end_app() {
  kill -TERM "$app"
  wait_until 10 sh -c "! kill -0 $app 2>/dev/null" || fail "the program did not end"
  wait "$app"
}

# --- sizes and places from the file.
for stored in "Width=0 Height=0" "Width=-1 Height=-1" "Width=100000 Height=100000" \
  "Left=5000 Top=-4000 WeekLeft=-3000 WeekTop=9000 WeekHold=1"; do
  { echo "[Main]"; echo "Left=0"; echo "Top=0"; printf '%s\n' $stored; echo "AutoRec=0"; } >"$ini"
  start_app
  wait_until 15 main_shown || fail "$stored: the main window was never mapped"
  sleep 0.5
  read -r cx cy w h fx fy <<<"$(geometry "$win")"
  [ "$w" -ge 247 ] && [ "$h" -ge 264 ] || fail "$stored: ${w}x$h, below the window's minimum"
  [ "$w" -le 1024 ] && [ "$h" -le 768 ] || fail "$stored: ${w}x$h, beyond the screen"
  [ "$fx" -ge 0 ] && [ "$fy" -ge 0 ] && [ "$cx" -lt 1024 ] && [ "$cy" -lt 768 ] ||
    fail "$stored: off the screen at $fx,$fy"
  if [[ $stored == *WeekHold* ]]; then
    wait_until 5 picker || fail "$stored: the pinned picker is not shown"
    read -r px py _ <<<"$(geometry "$picker")"
    [ "$px" -ge 0 ] && [ "$px" -lt 1024 ] && [ "$py" -ge 0 ] && [ "$py" -lt 768 ] ||
      fail "$stored: the picker is off the screen at $px,$py"
  fi
  # Nothing but the shut-down writes the place; no resize wrote the size.
  for kv in $stored; do
    case $kv in Width=* | Height=*) expect_key Main "${kv%%=*}" "${kv#*=}" ;; esac
  done
  end_app
  note "$stored: mapped at $fx,$fy, ${w}x$h"
done

# --- a start-up box with the window at 0,0.
printf '[Main]\nTop=0\nLeft=0\nAutoRec=0\n' >"$ini"
chmod 444 "$ini"
start_app
box() { box=$(xdotool search --onlyvisible --name '^Звонарька 2.5$' 2>/dev/null | head -1); [ -n "$box" ]; }
wait_until 15 box || fail "no start-up box for the read-only file"
xdotool windowactivate --sync "$box" 2>/dev/null
key Return
wait_until 15 main_shown || fail "no main window after the start-up box"
framed_at_origin() { read -r _ _ _ _ fx fy <<<"$(geometry "$win")"; [ "$fx" -eq 0 ] && [ "$fy" -eq 0 ]; }
wait_until 5 framed_at_origin || fail "after a start-up box the frame is at $fx,$fy, not 0,0"
end_app
chmod 644 "$ini"
note "start-up box: the title bar on the screen"

# --- no tray: the About card's place and the ways back.
printf '[Main]\nTop=0\nLeft=0\nAutoRec=0\nWeekHold=1\nWeekLeft=600\nWeekTop=300\n' >"$ini"
start_app
wait_main
wait_until 5 picker || fail "the pinned picker is not shown at start"
click_main 189 231 # "О программе"
about() { about=$(window_of_width 490); }
wait_until 10 about || fail "no About card"
card_placed() { read -r ax ay _ <<<"$(geometry "$about")"; [ "$ax" -eq 0 ] && [ "$ay" -eq 0 ]; }
wait_until 5 card_placed || fail "the About card is at $ax,$ay, not at the main window's 0,0"
xdotool windowactivate --sync "$about" 2>/dev/null
key alt+F4
wait_until 10 main_shown || fail "leaving the About card left the main window hidden"
note "About card at the main window's 0,0"

click_main 189 187 # "Спрятать": minimised, without a tray
iconic() { [ "$(wm_state "$win")" = Iconic ]; }
wait_until 5 iconic || fail "Спрятать did not minimise the main window"
gone_picker() { ! picker; }
wait_until 5 gone_picker || fail "the picker stayed beside the minimised window"
xdotool windowactivate "$win" 2>/dev/null # the taskbar's restore
normal_in_front() { [ "$(wm_state "$win")" = Normal ] && viewable "$win" && [ "$(active_window)" = "$win" ]; }
wait_until 10 normal_in_front || fail "the taskbar's restore: WM_STATE $(wm_state "$win")"
wait_until 5 picker || fail "the taskbar's restore left the pinned picker hidden"
note "taskbar restore: normal, in front, with the pinned picker"

# A restored window takes clicks once Qt has seen it exposed again.
sleep 0.5
click_main 189 231
wait_until 5 about || { click_main 189 231; wait_until 10 about; } || fail "no About card the second time"
xdotool windowactivate --sync "$about" 2>/dev/null
key alt+F4
wait_until 10 normal_in_front || fail "leaving the About card: WM_STATE $(wm_state "$win"), not normal in front"
wait_until 5 picker || fail "leaving the About card left the pinned picker hidden"
note "leaving the About card after a restore: normal, in front, with the pinned picker"
end_app
pass "places and sizes made usable; every way back without a tray shows the main window"
