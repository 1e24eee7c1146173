#!/usr/bin/env bash
# The real program, its clock set ten seconds before a full hour with
# libfaketime, on a private X server, with "кукукнуть" chosen as the hourly
# chime and a private PulseAudio whose only sink is a null sink. Its monitor is
# recorded before and after the hour: silent before, the cuckoo after.
# Skipped (77) only when one of the tools is missing.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" faketime
start_pulse
start_bare_x

# Item 1, "кукукнуть": one cuckoo at every full hour.
printf '[Main]\nTop=0\nSound=1\n' >"$ini"

record() { # file seconds
  timeout "$2" parec -d zvnull.monitor --raw --format=s16le --rate=44100 --channels=1 >"$1"
}

# The clock starts at 10:59:50 when the program starts and runs at its real
# pace; the chime is due ten seconds in.
start_app faketime -m -f "@2026-12-08 10:59:50"
record "$work/before.raw" 8
kill -0 "$app" 2>/dev/null || fail "the program ended early"
record "$work/after.raw" 8
kill -0 "$app" 2>/dev/null || fail "the program ended during the chime"

[ -s "$work/before.raw" ] && [ -s "$work/after.raw" ] || fail "nothing was recorded"
before=$(peak "$work/before.raw")
after=$(peak "$work/after.raw")
note "peak before the hour: $before, after: $after"
awk -v b="$before" 'BEGIN { exit !(b < 0.01) }' || fail "sound before the hour (peak $before)"
awk -v a="$after" 'BEGIN { exit !(a > 0.05) }' || fail "no chime after the hour (peak $after)"
expect_key Main Sound 1
pass "the hourly chime was heard at 11:00"
