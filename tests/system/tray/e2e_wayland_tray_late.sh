#!/usr/bin/env bash
# The real program as a native Wayland client under a headless weston, with a
# StatusNotifierItem host that comes onto the session bus only after the
# program has started: the icon registers with it then, names the program,
# exports the tray menu in its order, and the menu's items work when the host
# clicks them.
# e2e_wayland_tray_late.sh <program> <fake_snihost>
. "$(dirname "$0")/../../common/lib.sh"
program=$(readlink -f "${1:?program}")
host=$(readlink -f "${2:?fake_snihost}")
for tool in weston weston-debug dbus-daemon dbus-send; do
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
export WAYLAND_DISPLAY=zv-wayland-tray QT_QPA_PLATFORM=wayland
ini="$work/run/$(id -un).ini"

weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 --debug \
  --width=1024 --height=768 >"$work/weston.log" 2>&1 &
pids+=("$!")
wait_until 10 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || fail "weston did not start"
dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/session_bus" \
  --print-address=1 >"$work/session.address" 2>"$work/session.log" &
pids+=("$!")
wait_until 10 test -s "$work/session.address" || fail "no session bus"
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/session.address")
export DBUS_SESSION_BUS_ADDRESS

toplevel() {
  timeout 5 weston-debug scene-graph 2>/dev/null >"$work/scene.txt"
  grep -F "PID $app," "$work/scene.txt" | grep -qF "top-level window '$1' of"
}
main_caption='Звонарька 2.5 by Korvel'

printf '[Main]\nTop=20\n' >"$ini"
start_app
wait_until 20 toplevel "$main_caption" || fail "the main window is not on the screen"
sleep 1
note "main window mapped; the tray host starts now"

"$host" >"$work/host.out" 2>>"$work/host.err" &
pids+=("$!")
wait_until 10 grep -q ready "$work/host.out" || fail "fake tray host did not start: $(cat "$work/host.err")"
wait_until 10 grep -q '^item ' "$work/host.out" || fail "the icon did not come to the host that started later"
read -r _ service path < <(grep '^item ' "$work/host.out" | head -1)
prop() {
  dbus-send --session --print-reply --dest="$service" "$path" \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem "string:$1" | tail -n +2
}
prop Title | grep -q 'string "Звонарька"$' || fail "the icon's title is $(prop Title)"
menu=$(prop Menu | grep -o '"/[^"]*"' | tr -d '"')
[ -n "$menu" ] && [ "$menu" != /NO_DBUSMENU ] || fail "the icon exports no menu: $(prop Menu)"
note "icon $service$path, titled Звонарька, menu at $menu"

# The menu as the host reads it: each item's id and label, in order.
dbus-send --session --print-reply --dest="$service" "$menu" com.canonical.dbusmenu.GetLayout \
  int32:0 int32:-1 array:string:label >"$work/layout.txt" || fail "GetLayout failed"
awk '/^ *int32 / { id = $2 } /string "label"/ { getline; sub(/.*string "/, ""); sub(/"$/, ""); print id, $0 }' \
  "$work/layout.txt" >"$work/items.txt"
[ "$(cut -d' ' -f2- "$work/items.txt" | tr '\n' '/')" = "Спрятать/Показать/Закрыть/" ] ||
  fail "the menu's items are: $(tr '\n' ' ' <"$work/items.txt")"
id_of() { awk -v l="$1" '$2 == l { print $1 }' "$work/items.txt"; }
click_item() {
  dbus-send --session --type=method_call --dest="$service" "$menu" com.canonical.dbusmenu.Event \
    "int32:$(id_of "$1")" string:clicked variant:int32:0 uint32:0 || fail "clicking $1 failed"
}

main_gone() { ! toplevel "$main_caption"; }
click_item Спрятать
wait_until 10 main_gone || fail "Спрятать from the host's menu left the main window on the screen"
click_item Показать
wait_until 10 toplevel "$main_caption" || fail "Показать from the host's menu did not show the main window"
note "hidden and shown from the host's menu"
click_item Закрыть
wait_until 15 sh -c "! kill -0 $app 2>/dev/null" || fail "Закрыть from the host's menu did not end the program"
wait "$app"
rc=$?
[ "$rc" -eq 0 ] || fail "the program ended with $rc"
pass "Wayland: a tray host started later gets the icon, its title and its working menu"
