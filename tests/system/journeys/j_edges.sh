#!/usr/bin/env bash
# Alarms at the edges of a day, on the real program under a clock faked by
# libfaketime (the monotonic clock stays real, as a suspend would leave it).
#
# Santiago, the night summer time starts at midnight (23:59:59 is followed by
# 01:00:00): the program starts with a box it cannot help (its autostart
# entry cannot be written) that nobody answers; two tasks are due in the same
# second, 23:59:59, the first with three cuckoos; two silent tasks (a program
# opened, no message) are due at 00:00:01 and 00:30:00, an hour the clock
# skips; and the process is stopped from 23:59:58.5 until after the change.
# Every task must fire, once, in due order; the windows must answer the window
# manager's ping while the cuckoos play; the alarm window shows one message at
# a time, each with its own caption, and the silent tasks leave it alone.
#
# Berlin, the night summer time starts at 02:00: a 30-minute countdown started
# at 01:59:50 ends 30 minutes later by the clock that does not change, at
# 03:29:50 on the wall, not at the change; the skipped hour's task still fires.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" faketime
ping_tool=$(readlink -f "${3:?wm_ping}")
use_faketime
zdump -v -c 2027,2028 America/Santiago 2>/dev/null | grep -q 'Sep  5 01:00:00 2027' ||
  { echo "SKIP: no time zone data for America/Santiago"; exit 77; }

# until_fake <local date and time with fraction>: sleeps until the faked
# clock reads that.
until_fake() {
  local offset target
  offset=$(tr -d '+' <"$clockfile")
  target=$(date -d "$1" +%s.%N)
  sleep "$(awk -v t="$target" -v o="$offset" -v n="$(date +%s.%N)" \
    'BEGIN { d = t - o - n; print (d > 0 ? d : 0) }')"
}
start_faked() {
  start_app env FAKETIME_TIMESTAMP_FILE="$clockfile" FAKETIME_NO_CACHE=1 DONT_FAKE_MONOTONIC=1 \
    LD_PRELOAD="$preload"
}

# Each task's program notes its process id and the task, once per firing.
: >"$work/fired.log"
task() { # <name> <date> <time> <message> <extra lines>
  printf '#!/bin/sh\necho "$$ %s" >>"%s"\n' "$1" "$work/fired.log" >"$work/$1.sh"
  chmod +x "$work/$1.sh"
  printf '[%s]\nActiving=1\nDate=%s\nDayOrWeek=0\nDay=1\nTime=%s\nMessage=%s\nAction=3\nApp=%s\n%s\n' \
    "$1" "$2" "$3" "$4" "$work/$1.sh" "$5"
}
# The tasks in the order the program started their programs: two firings a
# few milliseconds apart start two shells that may write in either order on a
# loaded machine, but process ids are handed out in the order of the starts
# (a wrap of the ids past pid_max is undone).
fired() {
  awk -v max="$(cat /proc/sys/kernel/pid_max)" '
    { pid[NR] = $1; name[NR] = $2; if ($1 > top) top = $1 }
    END { for (i = 1; i <= NR; i++) print (top - pid[i] > max / 2 ? pid[i] + max : pid[i]), name[i] }' \
    "$work/fired.log" | sort -n | awk '{ printf "%s ", $2 }'
}
alarm() { window_named ' - (Wake|Pills|Midnight|Skipped|Countdown)$'; }
alarm_caption() { local w; w=$(alarm) && xdotool getwindowname "$w"; }

# --- Santiago ---
export TZ=America/Santiago
# The autostart folder cannot be made: start-up has a box to show.
: >"$XDG_CONFIG_HOME/autostart"
{
  printf '[Main]\nTop=0\nLeft=0\nAutoload=1\n'
  task Wake 04.09.2027 23:59:59 Подъём $'Sound=1\nOnes=3'
  task Pills 04.09.2027 23:59:59 Таблетки $'Sound=0\nOnes=0'
  task Midnight 05.09.2027 00:00:01 "" $'Sound=0\nOnes=0'
  task Skipped 05.09.2027 00:30:00 "" $'Sound=0\nOnes=0'
} >"$ini"

start_x
fake_at "2027-09-04 23:59:52"
start_faked
box_open() { window_named ' 2\.5$' >/dev/null; }
wait_until 15 box_open || fail "no start-up box"
note "the start-up box is open; nobody answers it"

# Stopped over midnight and over the change of the clock.
until_fake "2027-09-04 23:59:58.5"
kill -STOP "$app"
sleep 3.5
kill -CONT "$app"
note "stopped until $(FAKETIME_TIMESTAMP_FILE="$clockfile" FAKETIME_NO_CACHE=1 LD_PRELOAD="$preload" date '+%F %T %Z')"

# The cuckoos play for 4.5 s before Wake's firing goes on: the program
# answers the window manager all the while.
win=$(main_window)
pings=0
for i in 1 2 3 4 5 6; do
  ms=$("$ping_tool" "$win" 1000) || fail "no answer to the window manager's ping $i while the sounds play"
  pings=$((pings + 1))
  sleep 0.5
done
note "$pings pings answered during the cuckoos, the last in $ms ms"

all_fired() { [ "$(wc -l <"$work/fired.log")" -ge 4 ]; }
wait_until 15 all_fired || fail "fired: $(fired)"
sleep 1
case "$(fired)" in
"Wake Pills Midnight Skipped " | "Pills Wake Midnight Skipped ") ;;
*) fail "fired '$(fired)', expected Wake and Pills, then Midnight, then Skipped" ;;
esac
# One alarm on screen, and the silent tasks that fired after it left it alone.
first=$(alarm_caption) || fail "no alarm window"
case "$first" in
*" - Wake" | *" - Pills") ;;
*) fail "the alarm window shows '$first'" ;;
esac
box_open || fail "the start-up box went away by itself"
click "$(alarm)" 124 67
wait_until 5 sh -c "[ \"\$(xdotool getwindowname \$(xdotool search --onlyvisible --name ' - (Wake|Pills)\$' | head -1) 2>/dev/null)\" != '$first' ]" ||
  fail "the second message did not follow the first"
second=$(alarm_caption)
[ "${first% - *}" = "${second% - *}" ] && [ "$first" != "$second" ] ||
  fail "after '$first' came '$second'"
click "$(alarm)" 124 67
sleep 0.5
! alarm >/dev/null || fail "an alarm window is left: $(alarm_caption)"
expect_key Wake Date 05.09.2027
expect_key Pills Date 05.09.2027
expect_key Midnight Date 06.09.2027
expect_key Skipped Date 06.09.2027
note "Santiago: $(fired)"
kill "$app"
wait "$app" 2>/dev/null

# --- Berlin ---
export TZ=Europe/Berlin
rm -f "$XDG_CONFIG_HOME/autostart"
: >"$work/fired.log"
{
  printf '[Main]\nTop=0\nLeft=0\n'
  task Countdown 28.03.2027 00:00:00 "" $'TimeGap=00:30:00\nSound=0\nOnes=0'
  task Skipped 28.03.2027 02:30:00 "" $'Sound=0\nOnes=0'
} >"$ini"
fake_at "2027-03-28 01:59:50"
start_faked
wait_main
# Started from the moment the program started, whole seconds.
countdown_end=$(ini_get Countdown Time)
case "$countdown_end" in
03:29:5[01]) ;;
*) fail "a 30-minute countdown started at 01:59:50 ends at $countdown_end" ;;
esac
until_fake "2027-03-28 03:00:03"
[ "$(fired)" = "Skipped " ] || fail "over the change fired '$(fired)', expected the skipped hour's task alone"
fake_at "2027-03-28 03:29:40"
sleep 4
[ "$(fired)" = "Skipped " ] || fail "before the countdown's end fired '$(fired)'"
until_fake "2027-03-28 ${countdown_end}.9"
sleep 1
[ "$(fired)" = "Skipped Countdown " ] || fail "at the countdown's end fired '$(fired)'"
note "Berlin: $(fired)"
close_app
pass "alarms at the edges of a day"
