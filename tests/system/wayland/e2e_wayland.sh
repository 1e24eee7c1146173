#!/usr/bin/env bash
# The real program as a native Wayland client, under a headless weston started
# here: it loads Qt's Wayland plugin, makes its settings file, prints nothing
# on the console (no tray there, so no X11 tray code complaining), and a second
# copy on the same Wayland display exits 0 without touching the file. SIGTERM
# ends it with 0, and the fresh file holds only the top start-up stores, as
# under X11: no position the session cannot report.
# e2e_wayland.sh <program>
set -uo pipefail
# For why_failed: the program's state, or how it ended, and the lock holders.
. "$(dirname "$0")/../../common/lib.sh"
app=""
program=$(readlink -f "${1:?program}")
command -v weston >/dev/null 2>&1 || { echo "SKIP: weston is missing"; exit 77; }
[ -n "$(find /usr/lib -path '*platforms/libqwayland-generic.so' -print -quit 2>/dev/null)" ] \
  || { echo "SKIP: Qt's Wayland plugin (qt6-wayland) is missing"; exit 77; }
work=$(mktemp -d)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; why_failed; for f in "$work"/*.log; do echo "--- $f"; tail -20 "$f"; done; exit 1; }
wait_until() { local i; for ((i = 0; i < $1 * 10; i++)); do "${@:2}" && return 0; sleep 0.1; done; "${@:2}"; }

mkdir -p "$work/runtime" "$work/run" "$work/home" "$work/config"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home" XDG_CONFIG_HOME="$work/config"
unset DISPLAY DBUS_SESSION_BUS_ADDRESS
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-system-bus"
export WAYLAND_DISPLAY=zv-wayland QT_QPA_PLATFORM=wayland

weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 \
  --width=1024 --height=768 >"$work/weston.log" 2>&1 &
pids+=("$!")
wait_until 10 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || fail "weston did not start"

ini="$work/run/$(id -un).ini"
(cd "$work/run" && exec "$program") >"$work/program.log" 2>&1 &
app=$!
pids+=("$app")
wait_until 15 test -s "$ini" || fail "no settings file"
sleep 2
kill -0 "$app" 2>/dev/null || fail "the program ended"
grep -q 'libqwayland' "/proc/$app/maps" || fail "the program did not load Qt's Wayland plugin"
grep -q 'libqxcb' "/proc/$app/maps" && fail "the program loaded the X11 plugin"

before=$(md5sum <"$ini")
(cd "$work/run" && exec timeout 10 "$program") >>"$work/second.log" 2>&1
rc=$?
[ "$rc" -eq 0 ] || fail "second copy ended with $rc"
[ "$(md5sum <"$ini")" = "$before" ] || fail "second copy wrote the settings file"
kill -0 "$app" 2>/dev/null || fail "the first copy ended"

[ -s "$work/program.log" ] && fail "the program printed on the console: $(head -5 "$work/program.log")"
[ -s "$work/second.log" ] && fail "the second copy printed on the console: $(head -5 "$work/second.log")"
kill -TERM "$app"
wait_until 15 sh -c "! kill -0 $app 2>/dev/null" || fail "SIGTERM did not end the program"
wait "$app"
rc=$?
[ "$rc" -eq 0 ] || fail "the program ended with $rc after SIGTERM"
positions=$(grep -iE '^(Left|Top|WeekLeft|WeekTop)=' "$ini" | tr '\n' ' ')
[ "$positions" = "Top=0 " ] || fail "the fresh settings file holds positions '$positions', not 'Top=0 '"
[ -s "$work/program.log" ] && fail "the program printed on the console: $(head -5 "$work/program.log")"
echo "PASS: native Wayland client, settings file made, silent console, second copy exits 0, no positions stored"
