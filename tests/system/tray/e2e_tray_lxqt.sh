#!/usr/bin/env bash
# The real program beside a real StatusNotifierItem host, LXQt's panel with
# only its status notifier plugin, on a private session bus under openbox.
# The host draws the tray menu itself from what the icon exports: a right
# click on the icon opens it at the icon with "Спрятать", "Показать" and
# "Закрыть", and each works from there; as it opens, the shown main window
# comes up over another program's window. The icon calls itself by the
# program's name.
# e2e_tray_lxqt.sh <program>
if [ -z "${ZV_LXQT_SESSION:-}" ]; then
  command -v dbus-run-session >/dev/null 2>&1 || { echo "SKIP: dbus-run-session is missing"; exit 77; }
  ZV_LXQT_SESSION=1 exec dbus-run-session -- "$0" "$@"
fi
session_bus=$DBUS_SESSION_BUS_ADDRESS
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" lxqt-panel dbus-send xmessage
export DBUS_SESSION_BUS_ADDRESS=$session_bus
start_x

mkdir -p "$XDG_CONFIG_HOME/lxqt"
cat >"$XDG_CONFIG_HOME/lxqt/panel.conf" <<'CONF'
[General]
__userfile__=true
panels=panel1

[panel1]
alignment=-1
position=Bottom
panelSize=32
iconSize=22
lineCount=1
width=100
width-percent=true
hidable=false
plugins=tray

[tray]
type=statusnotifier
CONF
lxqt-panel >"$work/panel.log" 2>&1 &
pids+=("$!")
watcher() { # <property>
  dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher "string:$1" 2>/dev/null
}
host_up() { watcher IsStatusNotifierHostRegistered | grep -q 'boolean true'; }
wait_until 20 host_up || fail "lxqt-panel registered no tray host: $(tail -5 "$work/panel.log")"
panel() {
  local w
  for w in $(xdotool search --onlyvisible --class lxqt-panel 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ "$HEIGHT" -eq 32 ] && [ "$WIDTH" -gt 500 ] && { panel=$w py=$Y; return 0; }
  done
  return 1
}
wait_until 10 panel || fail "no panel on the screen"

printf '[Main]\nTop=20\n' >"$ini"
start_app
wait_main
item() { watcher RegisteredStatusNotifierItems | grep -o '":[0-9.]*/StatusNotifierItem"' | tr -d '"'; }
wait_until 15 item >/dev/null || fail "the program's icon did not register with the host"
service=$(item | head -1)
service=${service%%/*}
prop() {
  dbus-send --session --print-reply --dest="$service" /StatusNotifierItem \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem "string:$1" | tail -n +2
}
prop Title | grep -q 'string "Звонарька"$' || fail "the icon's title is $(prop Title)"
prop ToolTip | grep -q 'Звонарька 2.5' || fail "the icon's tooltip is $(prop ToolTip)"
note "icon $service registered, titled Звонарька"

# The panel's only plugin holds the only item, at its left end.
ix=14 iy=$((py + 16))
find_host_menu() {
  local w
  menu=""
  for w in $(xdotool search --onlyvisible --class lxqt-panel 2>/dev/null); do
    [ "$w" = "$panel" ] || menu=$w
  done
  [ -n "$menu" ]
}
open_host_menu() {
  xdotool mousemove "$ix" "$iy" click 3
  wait_until 5 find_host_menu || fail "a right click on the icon opened no menu"
  eval "$(xdotool getwindowgeometry --shell "$menu")"
  mx=$X my=$Y mw=$WIDTH mh=$HEIGHT
  # Three items and a separator, not an empty menu.
  [ "$mh" -ge 50 ] && [ "$mw" -ge 60 ] || fail "the host's menu is ${mw}x$mh, too small for three items"
  # At the icon: beside it and right above the panel.
  [ $((mx - ix)) -le 40 ] && [ $((ix - mx)) -le 40 ] && [ $((py - my - mh)) -le 40 ] &&
    [ $((my + mh)) -le $((py + 8)) ] || fail "the menu at $mx,$my ${mw}x$mh is not at the icon $ix,$iy"
}
host_item() { # <0..2>: "Спрятать", "Показать", separator, "Закрыть"
  local at=(16 48 83)
  xdotool mousemove $((mx + mw / 2)) $((my + mh * ${at[$1]} / 100)) click 1
  sleep 0.3
}

# Another program's window over the main window.
xmessage -geometry +20+20 'another program' &
pids+=("$!")
other() { other=$(xdotool search --name '^xmessage$' 2>/dev/null | head -1); [ -n "$other" ] && [ "$(active_window)" = "$other" ]; }
wait_until 10 other || { xdotool windowactivate "$(xdotool search --name '^xmessage$' | head -1)" 2>/dev/null; wait_until 5 other; } ||
  fail "the other program's window did not come to the front"
# Whether the main window lies over the other one, by the manager's stacking.
main_over_other() {
  xprop -root _NET_CLIENT_LIST_STACKING | tr -d ',' | tr ' ' '\n' | grep '^0x' |
    awk -v m="$(printf '0x%x' "$win")" -v o="$(printf '0x%x' "$other")" \
      '$1 == m { mi = NR } $1 == o { oi = NR } END { exit !(mi > oi) }'
}
main_over_other && fail "the main window is over the other one before the menu opens"

open_host_menu
note "menu $menu at $mx,$my size ${mw}x$mh"
wait_until 5 main_over_other || fail "opening the host's menu left the main window under the other one"
host_item 0
wait_until 5 hidden || fail "Спрятать from the host's menu did not hide the window"
open_host_menu
host_item 1
wait_until 10 main_shown || fail "Показать from the host's menu did not show the window"
note "hidden and shown from the host's menu"

open_host_menu
host_item 2
wait_until 15 sh -c "! kill -0 $app 2>/dev/null" || fail "Закрыть from the host's menu did not end the program"
wait "$app"; rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc"
ini_get Main Left >/dev/null || fail "Left not stored on close"
pass "LXQt's panel: the menu opens at the icon and each of its items works"
