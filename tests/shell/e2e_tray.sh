#!/usr/bin/env bash
# The real program on a private X server with a real tray host: its icon docks,
# a double click shows the hidden window, a right click opens the tray menu,
# and "Закрыть" from that menu ends the program, which stores its position.
set -uo pipefail
program=$(readlink -f "${1:?program path}")
for tool in Xvfb trayer xdotool xwininfo; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- program output"; cat "$work/out.log" 2>/dev/null; exit 1; }

# Xvfb picks a free display itself and tells its number, so parallel tests
# never collide.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$work/display")"
unset WAYLAND_DISPLAY
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
xwininfo -root >/dev/null 2>&1 || fail "Xvfb does not answer on $DISPLAY"

trayer --edge bottom --align left --widthtype pixel --width 120 --height 32 --expand false \
       --transparent false --tint 0xffffff >/dev/null 2>&1 &
pids+=($!)
sleep 1

mkdir -p "$work/run" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
# Start hidden, so the first double click is what shows the window.
printf '[Main]\nTop=20\nHideOnStart=1\n' > "$work/run/$(id -un).ini"
(cd "$work/run" && exec "$program") >"$work/out.log" 2>&1 &
app=$!
pids+=($app)

# The caption's ASCII tail: xdotool's pattern matching is not safe with
# Cyrillic in every locale.
main_window() { xdotool search --name ' by Korvel$' 2>/dev/null | head -1; }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
# Docked icons: small viewable windows of the program other than its main window.
tray_icons() {
  local main w geo width
  main=$(main_window)
  for w in $(xdotool search --class TfmTocsiner 2>/dev/null); do
    [ "$w" = "$main" ] && continue
    geo=$(xwininfo -id "$w" 2>/dev/null) || continue
    echo "$geo" | grep -q 'Map State: IsViewable' || continue
    width=$(echo "$geo" | awk '/Width:/{print $2}')
    [ "${width:-0}" -le 64 ] && echo "$w"
  done
}
find_icon() {
  icon=""
  for _ in $(seq 100); do
    icon=$(tray_icons | head -1)
    [ -n "$icon" ] && break
    sleep 0.1
  done
  [ -n "$icon" ] || fail "no tray icon docked"
  eval "$(xdotool getwindowgeometry --shell "$icon")"
  ix=$((X + WIDTH / 2)); iy=$((Y + HEIGHT / 2))
}
wait_viewable() {
  for _ in $(seq 50); do
    win=$(main_window)
    [ -n "$win" ] && viewable "$win" && return 0
    sleep 0.1
  done
  return 1
}

find_icon
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
grep -q '^StayOnTop=1' "$work/run/$(id -un).ini" || fail "StayOnTop not stored"
sleep 0.5
count=$(tray_icons | wc -l)
[ "$count" -eq 1 ] || fail "$count tray icons after the toggles"
echo "stay on top: one icon, window above"

# "Спрятать" hides it; the icon still answers a double click.
xdotool mousemove --window "$win" 189 187 click 1
sleep 0.7
win=$(main_window)
[ -n "$win" ] && viewable "$win" && fail "Спрятать did not hide the window"
find_icon
xdotool mousemove "$ix" "$iy" click --repeat 2 --delay 80 1
wait_viewable || fail "the icon did not answer after the toggles"
echo "icon still answers"

# A second copy while the first runs, shown or hidden: it exits 0 at once,
# shows nothing and writes nothing.
ini="$work/run/$(id -un).ini"
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
find_icon
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
ini="$work/run/$(id -un).ini"
grep -q '^Left=' "$ini" || fail "Left not stored"
grep -q '^Top=' "$ini" || fail "Top not stored"
echo "PASS"
