#!/usr/bin/env bash
# The real program's main window under a real window manager (openbox on a
# private X server): outer size and place at the first start, dragging by a
# bare spot with any button, the outer size stored on resize, the position
# stored on close and restored at the next start.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}"
start_x

start() {
  start_app
  wait_until 10 main_shown || fail "no main window, or the window manager did not frame it"
  sleep 0.8   # the frame and the size correction settle
}
# Outer frame: left top width height.
outer() {
  local ext l r t b x y w h
  ext=$(xprop -id "$win" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  read -r l r t b <<<"$ext"
  x=$(xwininfo -id "$win" | awk '/Absolute upper-left X/{print $4}')
  y=$(xwininfo -id "$win" | awk '/Absolute upper-left Y/{print $4}')
  w=$(xwininfo -id "$win" | awk '/Width:/{print $2}')
  h=$(xwininfo -id "$win" | awk '/Height:/{print $2}')
  echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}

# First start in an empty folder.
start
read -r ox oy ow oh <<<"$(outer)"
echo "first start: frame at $ox,$oy size ${ow}x$oh"
[ "$ox $oy $ow $oh" = "0 0 510 314" ] || fail "first start frame $ox,$oy ${ow}x$oh, not 0,0 510x314"
[ "$(cat "$ini")" = "$(printf '[Main]\nTop=0\nAutoRec=0')" ] || fail "first start wrote: $(cat "$ini")"

# Dragging by a bare spot, with each button.
for b in 1 3 2; do
  read -r x0 y0 _ <<<"$(outer)"
  xdotool mousemove --window "$win" 150 140 mousedown "$b"
  sleep 0.2
  xdotool mousemove_relative --sync 30 20
  sleep 0.2
  xdotool mouseup "$b"
  sleep 0.4
  read -r x1 y1 _ <<<"$(outer)"
  [ $((x1 - x0)) -eq 30 ] && [ $((y1 - y0)) -eq 20 ] || fail "button $b moved the window by $((x1 - x0)),$((y1 - y0))"
done
# A press on a control does not move it.
read -r x0 y0 _ <<<"$(outer)"
xdotool mousemove --window "$win" 30 10 mousedown 1   # Label4
xdotool mousemove_relative --sync 30 20
xdotool mouseup 1
sleep 0.4
read -r x1 y1 _ <<<"$(outer)"
[ "$x1 $y1" = "$x0 $y0" ] || fail "a press on a label moved the window"
echo "drag: moves by bare spots with buttons 1, 3, 2; not by a label"

# Resizing stores the outer size.
xdotool windowsize "$win" 600 400
sleep 0.6
read -r ox oy ow oh <<<"$(outer)"
grep -qx "Height=$oh" "$ini" && grep -qx "Width=$ow" "$ini" || fail "stored size is not the outer ${ow}x$oh: $(cat "$ini")"
echo "resize: stored outer ${ow}x$oh"

# The close box of the frame (openbox puts it at the title bar's right end)
# ends the program, which stores the frame's place.
xdotool mousemove $((ox + ow - 11)) $((oy + 9)) click 1
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the close box did not end the program ($(xwininfo -id "$win" 2>&1 | grep -E 'Map State|error'))"
wait "$app"; rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc"
grep -qx "Left=$ox" "$ini" && grep -qx "Top=$oy" "$ini" || fail "stored place is not $ox,$oy: $(cat "$ini")"
echo "close: stored place $ox,$oy"

# The next start puts the window back, the same size.
start
read -r nx ny nw nh <<<"$(outer)"
[ "$nx $ny $nw $nh" = "$ox $oy $ow $oh" ] || fail "restart: $nx,$ny ${nw}x$nh, not $ox,$oy ${ow}x$oh"
echo "restart: same place and size"
pass "first place and size, drag, stored size and place, restored"
