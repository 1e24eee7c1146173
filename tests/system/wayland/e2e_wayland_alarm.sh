#!/usr/bin/env bash
# A day's work of the real program as a native Wayland client under a headless
# weston started here, with a session bus that has no tray host, a private
# system bus with a fake logind, and the accessibility bus standing in for the
# user's hand (headless weston has no input): the main window and the pinned
# picker show, a switch-off task fires and its alarm window shows with its
# caption, stay-on-top goes off and on with the window staying on the screen, at the end of its 15-second countdown logind receives PowerOff,
# "Спрятать" minimises the main window (no tray) and hides the picker, SIGTERM
# ends the program with 0, the stored positions of the windows are kept as
# they were (Wayland reports none) and nothing is printed on the console.
#
# The windows are seen through weston's own debug streams: the scene graph
# lists the mapped top-level windows with their titles and owners, and the
# protocol dump shows what the program asked of the compositor.
# e2e_wayland_alarm.sh <program> <fake_logind>
. "$(dirname "$0")/../../common/lib.sh"
program=$(readlink -f "${1:?program}")
fake_logind=$(readlink -f "${2:?fake_logind path}")
atspi_launcher=/usr/libexec/at-spi-bus-launcher
for tool in weston weston-debug dbus-daemon gdbus "$atspi_launcher"; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing"; exit 77; }
done
[ -n "$(find /usr/lib -path '*platforms/libqwayland-generic.so' -print -quit 2>/dev/null)" ] \
  || { echo "SKIP: Qt's Wayland plugin (qt6-wayland) is missing"; exit 77; }

work=$(mktemp -d)
pids=()
trap e2e_cleanup EXIT
started_at=$(date +%s)
mkdir -p "$work/run" "$work/config" "$work/runtime" "$work/home"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset DISPLAY PULSE_SERVER PULSE_SINK
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-system-bus"
export WAYLAND_DISPLAY=zv-wayland-alarm QT_QPA_PLATFORM=wayland
ini="$work/run/$(id -un).ini"

weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 --debug \
  --width=1024 --height=768 >"$work/weston.log" 2>&1 &
pids+=("$!")
wait_until 10 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || fail "weston did not start"
weston-debug -o "$work/proto.log" proto 2>>"$work/weston.log" &
pids+=("$!")

# A session bus without a StatusNotifierItem watcher, and the accessibility
# bus its launcher starts.
dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/session_bus" \
  --print-address=1 >"$work/session.address" 2>"$work/session.log" &
pids+=("$!")
wait_until 10 test -s "$work/session.address" || fail "no session bus"
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/session.address")
export DBUS_SESSION_BUS_ADDRESS QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
"$atspi_launcher" --launch-immediately >"$work/atspi.log" 2>&1 &
pids+=("$!")
a11y_address() {
  a11y_bus=$(gdbus call --address "$DBUS_SESSION_BUS_ADDRESS" --dest org.a11y.Bus \
    --object-path /org/a11y/bus --method org.a11y.Bus.GetAddress 2>/dev/null | cut -d"'" -f2)
  [ -n "$a11y_bus" ]
}
wait_until 10 a11y_address || fail "no accessibility bus"
start_logind "$fake_logind"

# toplevel <title>: the program's mapped top-level window of that title is on
# the screen, by weston's scene graph.
toplevel() {
  timeout 5 weston-debug scene-graph 2>/dev/null >"$work/scene.txt"
  grep -qF "role xdg_toplevel, PID $app, surface ID" "$work/scene.txt" &&
    grep -F "PID $app," "$work/scene.txt" | grep -qF "top-level window '$1' of"
}
main_caption='Звонарька 2.5 by Korvel'

# Positions as a user left them under X11; the task falls due in a few seconds.
avoid_midnight 60
due=$(($(now_secs) + 8))
printf '[Main]\nLeft=300\nTop=200\nWeekLeft=444\nWeekTop=333\nWeekHold=1\nStayOnTop=1\n' >"$ini"
printf '[Off1]\nActiving=1\nDate=%s\nDayOrWeek=0\nDay=1\nTime=%s\nMessage=\nAction=2\nSound=0\nOnes=1\n' \
  "$(date +%d.%m.%Y)" "$(hms "$due")" >>"$ini"
start_app
wait_until 20 toplevel "$main_caption" || fail "the main window is not on the screen"
toplevel 'Неделя' || fail "the pinned picker is not on the screen"
note "main window and picker mapped; the task is due at $(hms "$due")"

wait_until 30 toplevel 'Звонарька - Off1' || fail "no alarm window 'Звонарька - Off1' by $(date +%T)"
shown=$(date +%s.%N)
note "alarm window mapped"
calls() { grep -c . "$work/logind.calls"; }
[ "$(calls)" -eq 0 ] || fail "logind was called as the alarm window showed"
powered() { [ "$(calls)" -ge 1 ]; }
wait_until 25 powered || fail "no PowerOff 25 s after the alarm window showed"
after=$(awk -v s="$shown" -v n="$(date +%s.%N)" 'BEGIN { printf "%.1f", n - s }')
note "logind received '$(tr '\n' ' ' <"$work/logind.calls")' ${after}s after the alarm window"
grep -qx 'PowerOff.*' "$work/logind.calls" || fail "logind received $(cat "$work/logind.calls"), not PowerOff"
awk -v a="$after" 'BEGIN { exit !(a >= 13 && a <= 19) }' || fail "PowerOff ${after}s after the alarm window, not 15"
toplevel 'Звонарька - Off1' || fail "the alarm window closed by itself at zero"

# "Спрятать", pressed through the program's accessibility tree.
app_name=""
find_app() {
  local n
  for n in $(gdbus call --address "$a11y_bus" --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.ListNames | grep -o "':1\.[0-9]*'" | tr -d "'"); do
    [ "$(gdbus call --address "$a11y_bus" --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
      --method org.freedesktop.DBus.GetConnectionUnixProcessID "$n" 2>/dev/null)" = "(uint32 $app,)" ] &&
      app_name=$n && return 0
  done
  return 1
}
wait_until 10 find_app || fail "the program is not on the accessibility bus"
a11y() { gdbus call --address "$a11y_bus" --dest "$app_name" --object-path "$1" --method "$2" "${@:3}" 2>/dev/null; }
# The first object named so, breadth first from the application.
find_object() {
  local queue=(/org/a11y/atspi/accessible/root) p
  while [ ${#queue[@]} -gt 0 ]; do
    p=${queue[0]}
    queue=("${queue[@]:1}")
    [ "$(a11y "$p" org.freedesktop.DBus.Properties.Get org.a11y.atspi.Accessible Name)" = "(<'$1'>,)" ] &&
      { echo "$p"; return 0; }
    # shellcheck disable=SC2207
    queue+=($(a11y "$p" org.a11y.atspi.Accessible.GetChildren | grep -o '/org/a11y/atspi/accessible/[0-9]*'))
  done
  return 1
}
press() { [ "$(a11y "$1" org.a11y.atspi.Action.DoAction 0)" = "(true,)" ] || fail "could not press $1"; }

# Stay-on-top off and on again: Qt makes the window anew each time; it must
# come back on the screen, the key follow the box, and nothing be printed.
on_top=$(find_object 'Держаться поверх всех окон') || fail "no stay-on-top box in the accessibility tree"
for value in 0 1; do
  press "$on_top"
  stored() { [ "$(ini_get Main StayOnTop)" = "$value" ]; }
  wait_until 5 stored || fail "StayOnTop is not $value after the box was pressed"
  wait_until 10 toplevel "$main_caption" || fail "the main window left the screen with stay-on-top $value"
done

hide_button=$(find_object 'Спрятать') || fail "no 'Спрятать' in the accessibility tree"
minimise_requests() { grep -c 'xdg_toplevel@[0-9]*\.set_minimized()' "$work/proto.log"; }
before=$(minimise_requests)
press "$hide_button"
main_gone() { ! toplevel "$main_caption"; }
wait_until 10 main_gone || fail "'Спрятать' left the main window on the screen"
minimised() { [ "$(minimise_requests)" -gt "$before" ]; }
wait_until 5 minimised || fail "'Спрятать' did not ask the compositor to minimise the main window"
toplevel 'Неделя' && fail "'Спрятать' left the picker on the screen"
kill -0 "$app" 2>/dev/null || fail "the program ended"
# The session bus has no tray host, so no icon may have been offered there.
gdbus call --address "$DBUS_SESSION_BUS_ADDRESS" --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.ListNames | grep -q StatusNotifierItem && fail "a tray icon was registered with no host"
note "'Спрятать' minimised the main window"

kill -TERM "$app"
wait_until 15 sh -c "! kill -0 $app 2>/dev/null" || fail "SIGTERM did not end the program"
wait "$app"
rc=$?
[ "$rc" -eq 0 ] || fail "the program ended with $rc after SIGTERM"
for kv in Left=300 Top=200 WeekLeft=444 WeekTop=333 StayOnTop=1; do
  expect_key Main "${kv%%=*}" "${kv#*=}"
done
[ "$(calls)" -eq 1 ] || fail "logind received $(calls) calls"
[ -s "$work/out.log" ] && fail "the program printed on the console: $(head -5 "$work/out.log")"
pass "Wayland: windows shown, alarm caption, PowerOff after the countdown, Спрятать minimises, positions kept"
