#!/usr/bin/env bash
# A countdown: "'Звонок' через чч.мм.сс." with 00:00:25, saved; then, with
# auto-record on and the task chosen, the interval changed to 00:00:35 while
# it runs. The end moves by the change (ten seconds), nothing fires at the
# first end, and the alarm window opens at the moved end.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}"
start_x
start_app
wait_main

alarm() { alarm_win=$(window_named '^Звонарька - Count$'); }
avoid_midnight 90
click_main 260 236                  # cbARec
expect_key Main AutoRec 1
click_main 8 56                     # cbHours
click_main 117 74                   # edTime
key ctrl+a
typetext 000025
click_main 402 211                  # evName
key ctrl+a
typetext Count
t0=$(now_secs)
click_main 484 210                  # "Ok"
wait_until 5 has_section Count || fail "Ok saved nothing"
expect_key Count TimeGap 00:00:25
end1=$(secs_of "$(ini_get Count Time)")
d=$(((end1 - t0 + 86400) % 86400))
[ "$d" -ge 24 ] && [ "$d" -le 27 ] || fail "the countdown ends ${d}s after the save, not 25"
note "countdown saved, ends at $(hms "$end1")"

click_main 300 99                   # the task's row
sleep 0.3
click_main 117 74                   # edTime
key ctrl+a
typetext 000035
click_main 120 160                  # leave it: the interval is recorded
moved() { [ "$(ini_get Count TimeGap)" = 00:00:35 ]; }
wait_until 5 moved || fail "the changed interval was not recorded"
end2=$(secs_of "$(ini_get Count Time)")
[ $((end2 - end1)) -eq 10 ] || fail "the end moved by $((end2 - end1))s, not 10"
[ "$(now_secs)" -lt "$end1" ] || fail "the change came after the first end (machine too slow)"
note "changed while running: ends at $(hms "$end2")"

while [ "$(now_secs)" -lt $((end1 + 2)) ]; do
  alarm && fail "fired at the first end $(hms "$end1")"
  sleep 0.2
done
note "nothing at the first end"
wait_until 20 alarm || fail "no alarm window by $(date +%T), end $(hms "$end2")"
seen=$(date +%s.%N)
late=$(awk -v s="$seen" -v d="$end2" -v day="$(date -d 00:00 +%s)" 'BEGIN { printf "%.0f", (s - day - d) * 1000 }')
note "alarm window ${late} ms after the moved end"
[ "$late" -ge -50 ] && [ "$late" -le 1500 ] || fail "fired ${late} ms off the moved end"
click "$alarm_win" 124 67           # "OK"
gone() { ! viewable "$alarm_win"; }
wait_until 5 gone || fail "OK did not close the alarm window"
expect_key Count Activing 1
close_app
pass "countdown"
