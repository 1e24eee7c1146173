#!/usr/bin/env bash
# The hourly chime at a full hour: the program started under faketime 30
# seconds before 11:00, "кукукнуть" chosen in the drop-down list, and the
# cuckoo heard once on a private PulseAudio's null sink when the hour begins,
# silence before it and no second chime after it.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" faketime
start_x
start_pulse
record_start "$work/chime.raw"
launch=$(date +%s.%N)
start_app faketime -m -f "@2026-12-08 10:59:30"
wait_main
note "started at a faked 10:59:30"

click_main 436 21                   # cbSound: its list opens
key Down Return                     # "кукукнуть"
chosen() { [ "$(ini_get Main Sound)" = 1 ]; }
wait_until 5 chosen || fail "the choice was not stored"
note "кукукнуть chosen"

# The faked hour begins 30 s after the launch; listen until 15 s after it.
hour=$(awk -v l="$launch" 'BEGIN { printf "%.3f", l + 30 }')
while awk -v h="$hour" -v n="$(date +%s.%N)" 'BEGIN { exit !(n < h + 15) }'; do sleep 0.5; done
record_stop
kill -0 "$app" 2>/dev/null || fail "the program ended"

span=$(loud_span "$work/chime.raw")
[ "$span" != none ] || fail "no chime was heard (peak $(peak "$work/chime.raw"))"
read -r first last <<<"$span"
onset=$(awk -v r="$rec_start" -v f="$first" -v h="$hour" 'BEGIN { printf "%.0f", (r + f - h) * 1000 }')
length=$(awk -v f="$first" -v l="$last" 'BEGIN { printf "%.0f", (l - f) * 1000 }')
note "chime heard ${onset} ms after the faked hour, lasting ${length} ms (peak $(peak "$work/chime.raw"))"
# The launch moment is known to a few hundred milliseconds only.
[ "$onset" -ge -500 ] || fail "the chime came ${onset} ms before the hour"
[ "$onset" -le 1500 ] || fail "the chime came ${onset} ms after the hour"
[ "$length" -le 1400 ] || fail "more than one cuckoo (${length} ms of sound)"
expect_key Main Sound 1
close_app
expect_key Main Sound 1
pass "hourly chime"
