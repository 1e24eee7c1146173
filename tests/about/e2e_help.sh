#!/usr/bin/env bash
# The real program, installed in a folder whose path holds spaces and
# Cyrillic, on a private X server: "Помощь" hands the desktop's opener
# (xdg-open, faked here first on PATH) the guide beside the program as one
# argument.
set -uo pipefail
bindir=$(readlink -f "${1:?program folder}")
for tool in Xvfb xdotool xwininfo; do
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

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$work/display")"
unset WAYLAND_DISPLAY
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

folder="$work/my apps/Звонарька 2.5"
mkdir -p "$folder" "$work/fakebin" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
cp -r "$bindir/." "$folder/"
[ -f "$folder/help/help.htm" ] || fail "the build left no help/help.htm beside the program"

# Each argument on a line of its own, so a path split at its blanks shows.
cat > "$work/fakebin/xdg-open" <<FAKE
#!/bin/sh
for a in "\$@"; do printf '%s\n' "\$a" >> "$work/opened"; done
FAKE
chmod +x "$work/fakebin/xdg-open"

export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" LC_ALL=C.UTF-8
(cd "$folder" && PATH="$work/fakebin:/usr/bin:/bin" exec "$folder/zvonarka") >"$work/out.log" 2>&1 &
pids+=($!)

win=""
for _ in $(seq 50); do
  win=$(xdotool search --name ' by Korvel$' 2>/dev/null | head -1)
  [ -n "$win" ] && xwininfo -id "$win" | grep -q IsViewable && break
  sleep 0.1
done
[ -n "$win" ] || fail "the main window did not show"

# sbHelp: 152,242,75,22 in the window.
xdotool mousemove --window "$win" 189 253 click 1
for _ in $(seq 50); do [ -s "$work/opened" ] && break; sleep 0.1; done
[ -s "$work/opened" ] || fail "nothing was handed to xdg-open"
sleep 0.3

lines=$(wc -l < "$work/opened")
[ "$lines" -eq 1 ] || fail "xdg-open got $lines arguments: $(cat "$work/opened")"
arg=$(cat "$work/opened")
path=$(python3 -c 'import sys, urllib.parse as u; a = sys.argv[1]; print(u.unquote(u.urlparse(a).path) if a.startswith("file:") else a)' "$arg")
[ "$path" = "$folder/help/help.htm" ] || fail "xdg-open got '$arg', not the guide at '$folder/help/help.htm'"
[ -f "$path" ] || fail "the argument names no file"
echo "PASS: xdg-open got one argument, $arg"
