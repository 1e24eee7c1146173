#!/usr/bin/env bash
# The real program on a private X server with a real tray host: its icon docks,
# a double click shows the hidden window, a right click opens the tray menu,
# and "Закрыть" from that menu ends the program, which stores its position.
# No window manager here: the tray must work on a bare X server too.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}"
start_bare_x
start_trayer
# Start hidden, so the first double click is what shows the window.
printf '[Main]\nTop=20\nHideOnStart=1\n' >"$ini"
start_app

wait_viewable() { wait_until 5 main_viewable; }

icon_point
echo "tray icon $icon at $ix,$iy"

win=$(main_window)
[ -n "$win" ] && viewable "$win" && fail "window shown although HideOnStart=1"

# A single click does nothing.
xdotool mousemove "$ix" "$iy" click 1
sleep 0.8
win=$(main_window)
[ -n "$win" ] && viewable "$win" && fail "a single click showed the window"

# A double click shows it.
xdotool mousemove "$ix" "$iy" click --repeat 2 --delay 80 1
wait_viewable || fail "double click did not show the window"
echo "double click showed the window"
xprop -id "$win" WM_CLASS | grep -q '"TfmTocsiner"' || fail "X11 class is not TfmTocsiner"

# Stay on top, toggled three times: the window is recreated each time, and
# exactly one working icon remains.
for _ in 1 2 3; do
  win=$(main_window)
  xdotool mousemove --window "$win" 260 264 click 1   # cbStayOnTop in Panel1
  sleep 0.7
done
wait_viewable || fail "the window did not come back after the stay-on-top toggles"
xprop -id "$win" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "not above other windows"
grep -q '^StayOnTop=1' "$ini" || fail "StayOnTop not stored"
sleep 0.5
count=$(tray_icons | wc -l)
[ "$count" -eq 1 ] || fail "$count tray icons after the toggles"
echo "stay on top: one icon, window above"

# "Спрятать" hides it; the icon still answers a double click.
xdotool mousemove --window "$win" 189 187 click 1
sleep 0.7
win=$(main_window)
[ -n "$win" ] && viewable "$win" && fail "Спрятать did not hide the window"
icon_point
xdotool mousemove "$ix" "$iy" click --repeat 2 --delay 80 1
wait_viewable || fail "the icon did not answer after the toggles"
echo "icon still answers"

# A second copy while the first runs, shown or hidden: it exits 0 at once,
# shows nothing and writes nothing.
for state in shown hidden; do
  if [ "$state" = hidden ]; then
    xdotool mousemove --window "$(main_window)" 189 187 click 1
    sleep 0.7
  fi
  before=$(stat -c '%Y.%y %s' "$ini"; md5sum < "$ini")
  windows_before=$(xwininfo -root -children | grep -c '^ *0x')
  (cd "$work/run" && exec timeout 10 "$program") >>"$work/out.log" 2>&1
  rc=$?
  [ "$rc" -eq 0 ] || fail "second copy ($state) ended with $rc"
  [ "$(stat -c '%Y.%y %s' "$ini"; md5sum < "$ini")" = "$before" ] || fail "second copy ($state) wrote the settings file"
  [ "$(xwininfo -root -children | grep -c '^ *0x')" -eq "$windows_before" ] || fail "second copy ($state) left a window"
  [ "$(tray_icons | wc -l)" -eq 1 ] || fail "second copy ($state) added a tray icon"
done
echo "second copy: exit 0, nothing shown or written"
icon_point
xdotool mousemove "$ix" "$iy" click --repeat 2 --delay 80 1
wait_viewable || fail "the first copy no longer answers"

# The right button: the menu pops up at the cursor when the button is released.
xdotool mousemove "$ix" "$iy" mousedown 3
sleep 0.5
menu=""
for w in $(xdotool search --onlyvisible --class TfmTocsiner 2>/dev/null); do
  [ "$w" = "$win" ] || [ "$w" = "$icon" ] || menu=$w
done
[ -z "$menu" ] || fail "the menu opened on the press, not the release"
xdotool mouseup 3
for _ in $(seq 30); do
  for w in $(xdotool search --onlyvisible --class TfmTocsiner 2>/dev/null); do
    [ "$w" = "$win" ] || [ "$w" = "$icon" ] || menu=$w
  done
  [ -n "$menu" ] && break
  sleep 0.1
done
[ -n "$menu" ] || fail "right click did not open the tray menu"
eval "$(xdotool getwindowgeometry --shell "$menu")"
echo "menu $menu at $X,$Y size ${WIDTH}x$HEIGHT (cursor $ix,$iy)"
# The tray sits at the bottom: the menu opens upwards, its left edge at the
# cursor, its bottom edge at the cursor or Qt's one-pixel nudge from it.
[ "$X" -eq "$ix" ] || fail "menu's left edge $X is not at the cursor $ix"
bottom=$((Y + HEIGHT))
[ $((bottom - iy)) -le 1 ] && [ $((iy - bottom)) -le 1 ] || fail "menu's bottom $bottom is not at the cursor $iy"

# "Закрыть" is the last item: the program ends and stores its position.
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 8)) click 1
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "Закрыть did not end the program"
wait "$app"; rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc"
grep -q '^Left=' "$ini" || fail "Left not stored"
grep -q '^Top=' "$ini" || fail "Top not stored"
pass "docked icon, double click, stay on top, second copy, tray menu"
