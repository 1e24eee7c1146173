#!/usr/bin/env bash
# The real program, installed in a folder whose path holds spaces and
# Cyrillic, on a private X server: "Помощь" hands the desktop's opener
# (xdg-open, faked here first on PATH) the guide beside the program as one
# argument.
. "$(dirname "$0")/../../common/lib.sh"
bindir=$(readlink -f "${1:?program folder}")
e2e_init "$bindir/zvonarka"
start_bare_x

folder="$work/my apps/Звонарька 2.5"
mkdir -p "$folder" "$work/fakebin"
cp -r "$bindir/." "$folder/"
[ -f "$folder/help/help.htm" ] || fail "the build left no help/help.htm beside the program"

# Each argument on a line of its own, so a path split at its blanks shows.
cat > "$work/fakebin/xdg-open" <<FAKE
#!/bin/sh
for a in "\$@"; do printf '%s\n' "\$a" >> "$work/opened"; done
FAKE
chmod +x "$work/fakebin/xdg-open"

export LC_ALL=C.UTF-8
(cd "$folder" && PATH="$work/fakebin:/usr/bin:/bin" exec "$folder/zvonarka") >"$work/out.log" 2>&1 &
pids+=($!)
wait_until 10 main_viewable || fail "the main window did not show"

# sbHelp: 152,242,75,22 in the window.
xdotool mousemove --window "$win" 189 253 click 1
wait_until 5 test -s "$work/opened" || fail "nothing was handed to xdg-open"
sleep 0.3

lines=$(wc -l < "$work/opened")
[ "$lines" -eq 1 ] || fail "xdg-open got $lines arguments: $(cat "$work/opened")"
arg=$(cat "$work/opened")
path=$(python3 -c 'import sys, urllib.parse as u; a = sys.argv[1]; print(u.unquote(u.urlparse(a).path) if a.startswith("file:") else a)' "$arg")
[ "$path" = "$folder/help/help.htm" ] || fail "xdg-open got '$arg', not the guide at '$folder/help/help.htm'"
[ -f "$path" ] || fail "the argument names no file"
pass "xdg-open got one argument, $arg"
