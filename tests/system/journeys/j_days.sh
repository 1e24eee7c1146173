#!/usr/bin/env bash
# Days in a row: the real program left running while its clock, faked by
# libfaketime, passes eight midnights. A daily task, an every-3-days task and
# a Monday-Wednesday-Friday-Sunday task each open a program of their own (a
# script noting the task and the faked day) and show their alarm. The faked
# clock is moved only between days; midnight itself passes at real speed, but
# once the machine "sleeps" over it (the clock jumps from 23:59:52 past
# the midnight tick). Every task must fire on each of its due days and on no other,
# and each alarm window must carry its own task's name.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" faketime
use_faketime

fake_now() { FAKETIME_TIMESTAMP_FILE="$clockfile" FAKETIME_NO_CACHE=1 LD_PRELOAD="$preload" date "$@"; }

# Each task's program: one line "<task> <faked day>" per firing, and one in
# leaked.env when the program's own display switches reached it.
for t in Daily Every3 Weekdays; do
  printf '#!/bin/sh\necho "%s $(date +%%F)" >>"%s"\n[ -z "${QT_XCB_NO_MITSHM+set}" ] || echo "%s" >>"%s"\n' \
    "$t" "$work/fired.log" "$t" "$work/leaked.env" >"$work/$t.sh"
  chmod +x "$work/$t.sh"
done
: >"$work/fired.log"

# Monday 1 March 2027 just before midnight. Every3 starts on Tuesday; the
# week task is due on Monday, Wednesday, Friday and Sunday.
task() { # <name> <date> <time> <rule lines>
  printf '[%s]\nActiving=1\nDate=%s\n%s\nTime=%s\nMessage=%s\nAction=3\nApp=%s\nSound=0\nOnes=0\n' \
    "$1" "$2" "$4" "$3" "$1" "$work/$1.sh"
}
{
  printf '[Main]\nTop=0\nLeft=0\n'
  task Daily 01.03.2027 00:00:02 $'DayOrWeek=0\nDay=1'
  task Every3 02.03.2027 00:00:04 $'DayOrWeek=0\nDay=3'
  task Weekdays 01.03.2027 00:00:06 $'DayOrWeek=1\nWeek=0246'
} >"$ini"

start_x
fake_at "2027-03-01 23:59:56"
start_app env FAKETIME_TIMESTAMP_FILE="$clockfile" FAKETIME_NO_CACHE=1 DONT_FAKE_MONOTONIC=1 \
  LD_PRELOAD="$preload"
wait_main
note "started at a faked $(fake_now '+%F %T')"

# The alarm window's captions, as the window manager sees them, while a day
# begins. The window shows one alarm at a time: each is answered with OK as
# it is seen, and the next one comes.
watch_captions() {
  while :; do
    for w in $(xdotool search --onlyvisible --name ' - (Daily|Every3|Weekdays)$' 2>/dev/null); do
      xdotool getwindowname "$w" 2>/dev/null
      sleep 0.3
      xdotool mousemove --window "$w" 124 67 click 1 2>/dev/null
    done
    sleep 0.1
  done
}

# live_day <day> <expected tasks...>: midnight before <day> passes (at real
# speed, or jumped over when $sleep_over is set); the tasks due that day must
# fire, each with its own caption, and nothing else.
live_day() {
  local day=$1 t
  shift
  local before
  before=$(date -d "$day -1 day" +%F)
  if [ -n "${sleep_over:-}" ]; then
    # Asleep from 23:59:50 until just after midnight: the tick at midnight
    # never comes, the first one of the day a second later.
    fake_at "$before 23:59:50"
    sleep 2
    fake_at "$day 00:00:00"
  else
    fake_at "$before 23:59:58"
  fi
  : >"$work/captions"
  watch_captions >>"$work/captions" &
  local watcher=$!
  pids+=("$watcher")
  # The last task fires at 00:00:06; give the loaded machine a margin.
  local until_secs=$(($(date +%s) + 12))
  while [ "$(date +%s)" -lt "$until_secs" ]; do sleep 0.2; done
  kill "$watcher" 2>/dev/null
  wait "$watcher" 2>/dev/null
  local fired
  fired=$(grep " $day\$" "$work/fired.log" | cut -d' ' -f1 | tr '\n' ' ')
  [ "$fired" = "$* " ] || fail "on $day fired '$fired', expected '$* '"
  for t in "$@"; do
    grep -qx "Звонарька - $t" "$work/captions" || fail "on $day no alarm window for $t: $(sort -u "$work/captions" | tr '\n' ';')"
  done
  local seen
  seen=$(sort -u "$work/captions" | sed 's/^Звонарька - //' | tr '\n' ' ')
  for t in $seen; do
    case " $* " in *" $t "*) ;; *) fail "on $day an alarm window for $t" ;; esac
  done
  note "$day ($(date -d "$day" +%a)): $*"
  # OK closes the window before the next day.
  alarm_win=$(window_named ' - (Daily|Every3|Weekdays)$') && click "$alarm_win" 124 67
  sleep_over=""
}

live_day 2027-03-02 Daily Every3                 # Tuesday
live_day 2027-03-03 Daily Weekdays               # Wednesday
live_day 2027-03-04 Daily                        # Thursday
live_day 2027-03-05 Daily Every3 Weekdays        # Friday
sleep_over=1
live_day 2027-03-06 Daily                        # Saturday, slept over midnight
live_day 2027-03-07 Daily Weekdays               # Sunday
live_day 2027-03-08 Daily Every3 Weekdays        # Monday
live_day 2027-03-09 Daily                        # Tuesday
[ ! -s "$work/leaked.env" ] || fail "QT_XCB_NO_MITSHM passed on to the programs of: $(sort -u "$work/leaked.env" | tr '\n' ' ')"
[ "$(wc -l <"$work/fired.log")" -eq 15 ] || fail "$(wc -l <"$work/fired.log") firings: $(cat "$work/fired.log")"
expect_key Daily Date 10.03.2027
expect_key Every3 Date 11.03.2027
expect_key Weekdays Date 10.03.2027
close_app
pass "days in a row"
