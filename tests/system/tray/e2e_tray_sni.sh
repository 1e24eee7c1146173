#!/usr/bin/env bash
# The real program with a tray host of the StatusNotifierItem kind (KDE Plasma,
# GNOME's AppIndicator extension) on a private session bus. Such hosts report
# each click on the icon as one Activate call, never a double click: a single
# Activate leaves the hidden window hidden, two within the double-click
# interval show it, two further apart do not; ContextMenu opens the tray menu,
# whose items work as under the XEmbed tray.
# e2e_tray_sni.sh <program> <fake_snihost>
if [ -z "${ZV_SNI_SESSION:-}" ]; then
  command -v dbus-run-session >/dev/null 2>&1 || { echo "SKIP: dbus-run-session is missing"; exit 77; }
  ZV_SNI_SESSION=1 exec dbus-run-session -- "$0" "$@"
fi
session_bus=$DBUS_SESSION_BUS_ADDRESS
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" dbus-send
host=${2:?fake_snihost}
export DBUS_SESSION_BUS_ADDRESS=$session_bus
start_bare_x

"$host" >"$work/host.out" 2>>"$work/host.err" &
pids+=("$!")
wait_until 10 grep -q ready "$work/host.out" || fail "fake tray host did not start: $(cat "$work/host.err")"

printf '[Main]\nTop=20\nHideOnStart=1\n' >"$ini"
start_app
wait_until 15 grep -q '^item ' "$work/host.out" || fail "the program registered no StatusNotifierItem: $(cat "$work/out.log")"
read -r _ service path < <(grep '^item ' "$work/host.out" | head -1)
note "item $service at $path"
call() { # <method>: as the host calls it on a click, with the cursor's place
  dbus-send --session --type=method_call --dest="$service" "$path" \
    "org.kde.StatusNotifierItem.$1" int32:40 int32:700 || fail "calling $1 failed"
}

sleep 1
main_viewable && fail "window shown although HideOnStart=1"

call Activate
sleep 1.2
main_viewable && fail "a single activation showed the window"
call Activate # a second one, well past the double-click interval
sleep 1.2
main_viewable && fail "two activations a second apart showed the window"
note "single activations: nothing"

call Activate
call Activate
wait_until 5 main_viewable || fail "two quick activations did not show the window"
note "two quick activations showed the window"

find_menu() {
  local w
  menu=""
  for w in $(xdotool search --onlyvisible --class TfmTocsiner 2>/dev/null); do
    [ "$w" = "$(main_window)" ] || menu=$w
  done
  [ -n "$menu" ]
}
open_sni_menu() {
  call ContextMenu
  wait_until 5 find_menu || fail "ContextMenu did not open the tray menu"
  eval "$(xdotool getwindowgeometry --shell "$menu")"
  mx=$X my=$Y mw=$WIDTH mh=$HEIGHT
}

# "Спрятать" from the menu hides the window; two activations bring it back.
open_sni_menu
note "menu $menu at $mx,$my size ${mw}x$mh"
menu_item 0
wait_until 5 hidden || fail "Спрятать from the menu did not hide the window"
call Activate
call Activate
wait_until 5 main_viewable || fail "two quick activations did not show the window again"

# "Закрыть" ends the program with 0.
open_sni_menu
menu_item 2
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "Закрыть did not end the program"
wait "$app"; rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc"
pass "StatusNotifierItem host: single activations ignored, two quick ones show, menu works"
