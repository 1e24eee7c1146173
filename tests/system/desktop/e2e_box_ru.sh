#!/usr/bin/env bash
# The real program in a Russian session (ru_RU.UTF-8) under openbox: the
# question whether to overwrite a task of the same name comes with Qt's own
# buttons in Russian, "Да" and "Нет", and "Нет" leaves the task as it was.
# The buttons are read and pressed through the accessibility bus.
# e2e_box_ru.sh <program>
if [ -z "${ZV_BOX_SESSION:-}" ]; then
  command -v dbus-run-session >/dev/null 2>&1 || { echo "SKIP: dbus-run-session is missing"; exit 77; }
  ZV_BOX_SESSION=1 exec dbus-run-session -- "$0" "$@"
fi
session_bus=$DBUS_SESSION_BUS_ADDRESS
. "$(dirname "$0")/../../common/lib.sh"
atspi_launcher=/usr/libexec/at-spi-bus-launcher
e2e_init "${1:?program}" gdbus "$atspi_launcher"
locale -a 2>/dev/null | grep -qix 'ru_RU.utf8' || { echo "SKIP: the locale ru_RU.UTF-8 is missing"; exit 77; }
export DBUS_SESSION_BUS_ADDRESS=$session_bus QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
"$atspi_launcher" --launch-immediately >"$work/atspi.log" 2>&1 &
pids+=("$!")
a11y_address() {
  a11y_bus=$(gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
    --method org.a11y.Bus.GetAddress 2>/dev/null | cut -d"'" -f2)
  [ -n "$a11y_bus" ]
}
wait_until 10 a11y_address || fail "no accessibility bus"
start_x

printf '[Main]\nTop=20\n[Journey]\nActiving=1\nDate=01.01.2030\nDayOrWeek=0\nDay=1\nTime=07:00:00\nMessage=Old\nAction=0\nSound=0\nOnes=1\n' >"$ini"
start_app env LC_ALL=ru_RU.UTF-8
wait_main

# Saving under the name of the task that is there asks before overwriting.
click_main 402 211 # evName
key ctrl+a
typetext "Journey"
key Return
question() { window_named '^Звонарька 2.5$' >/dev/null; }
wait_until 5 question || fail "no question box"

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
# The push buttons of the program's windows, "path name" a line, breadth first.
buttons() {
  local queue=(/org/a11y/atspi/accessible/root) p
  while [ ${#queue[@]} -gt 0 ]; do
    p=${queue[0]}
    queue=("${queue[@]:1}")
    if [ "$(a11y "$p" org.a11y.atspi.Accessible.GetRole)" = "(uint32 43,)" ]; then
      echo "$p $(a11y "$p" org.freedesktop.DBus.Properties.Get org.a11y.atspi.Accessible Name |
        sed "s/^(<'//; s/'>,)$//")"
    fi
    # shellcheck disable=SC2207
    queue+=($(a11y "$p" org.a11y.atspi.Accessible.GetChildren | grep -o '/org/a11y/atspi/accessible/[0-9]*'))
  done
}
buttons >"$work/buttons.txt"
note "push buttons: $(cut -d' ' -f2- "$work/buttons.txt" | tr '\n' '|')"
yes_button=$(awk '$2 == "Да" { print $1 }' "$work/buttons.txt" | head -1)
no_button=$(awk '$2 == "Нет" { print $1 }' "$work/buttons.txt" | head -1)
[ -n "$yes_button" ] && [ -n "$no_button" ] || fail "the question's buttons are not Да and Нет"
grep -qE ' (Yes|No)$' "$work/buttons.txt" && fail "English buttons beside the Russian ones"

[ "$(a11y "$no_button" org.a11y.atspi.Action.DoAction 0)" = "(true,)" ] || fail "could not press Нет"
no_question() { ! question; }
wait_until 5 no_question || fail "Нет did not close the question"
expect_key Journey Message Old
close_app
pass "Russian session: the question's buttons are Да and Нет"
