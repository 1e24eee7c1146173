#!/usr/bin/env bash
# Switch-off tasks against a fake logind on a private system bus. The first
# fires, its alarm window counts 15 seconds down with "Отмена!" on its button,
# and at zero logind receives PowerOff. The second fires and is cancelled with
# "Отмена!": logind receives nothing more.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" dbus-daemon
fake_logind=$(readlink -f "${2:?fake_logind path}")
start_x
start_logind "$fake_logind"
start_app
wait_main
calls() { grep -c . "$work/logind.calls"; }

# new_task <name> <seconds ahead>: a switch-off task saved with "Ok".
new_task() {
  click_main 375 187                # "Новое задание"
  avoid_midnight 60
  due=$(($(now_secs) + $2))
  click_main 117 74                 # edTime
  key ctrl+a
  typetext "$(hms "$due" | tr -d :)"
  click_main 14 234                 # rgChoose, "Выключить комп "
  click_main 402 211                # evName
  key ctrl+a
  typetext "$1"
  click_main 484 210                # "Ok"
  wait_until 5 has_section "$1" || fail "Ok saved nothing for $1"
  expect_key "$1" Action 2
  expect_key "$1" Time "$(hms "$due")"
}
wait_alarm() { # <name>
  alarm_name=$1
  alarm() { alarm_win=$(window_named "^Звонарька - $alarm_name\$"); }
  wait_until 30 alarm || fail "no alarm window for $1 by $(date +%T), due $(hms "$due")"
  shown=$(date +%s.%N)
}

new_task Off1 20
note "Off1 due at $(hms "$due")"
wait_alarm Off1
note "Off1 fired: alarm window $alarm_win"
[ "$(calls)" -eq 0 ] || fail "logind was called at once"
sleep 3
[ "$(calls)" -eq 0 ] || fail "logind was called before the countdown ended"
powered() { [ "$(calls)" -ge 1 ]; }
wait_until 25 powered || fail "no PowerOff 25 s after the alarm"
after=$(awk -v s="$shown" -v n="$(date +%s.%N)" 'BEGIN { printf "%.1f", n - s }')
note "logind received: $(tr '\n' ' ' <"$work/logind.calls")${after}s after the window opened"
grep -qx 'PowerOff.*' "$work/logind.calls" || fail "logind received $(cat "$work/logind.calls"), not PowerOff"
awk -v a="$after" 'BEGIN { exit !(a >= 14 && a <= 18) }' || fail "switched off ${after}s after the window opened, not 15"
gone() { ! viewable "$alarm_win"; }
kill -0 "$app" 2>/dev/null || fail "the program ended after switching off"
# The window stays at zero until its button is pressed.
sleep 1
viewable "$alarm_win" || fail "the alarm window closed by itself at zero"
click "$alarm_win" 124 67
wait_until 5 gone || fail "the button did not close the alarm window after zero"
[ "$(calls)" -eq 1 ] || fail "logind received $(calls) calls"

# The second one is cancelled.
wait_until 5 main_shown || fail "the main window is gone"
new_task Off2 20
wait_alarm Off2
sleep 2
click "$alarm_win" 124 67           # "Отмена!"
wait_until 5 gone || fail "Отмена! did not close the alarm window"
note "Off2 cancelled 2 s into its countdown"
sleep 18
[ "$(calls)" -eq 1 ] || fail "logind received $(calls) calls after the cancel: $(cat "$work/logind.calls")"
note "nothing more received 18 s later"
close_app
pass "switch-off"
