#!/usr/bin/env bash
# The firing path with its real parts: a task saved with "кукушкой" three times
# and "Перегрузить машинку" fires at its second in the real program. The sound
# module plays three whole cuckoo calls into a private PulseAudio's null sink
# while the program waits 1.5 s before each, and only then the power module
# asks a fake logind on a private system bus to Reboot.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" dbus-daemon
fake_logind=$(readlink -f "${2:?fake_logind path}")
start_x
start_pulse
start_logind "$fake_logind"

due=$(($(now_secs) + 8))
[ "$due" -lt 86380 ] || { echo "SKIP: too close to midnight"; exit 77; }
today=$(date +%d.%m.%Y)
tomorrow=$(date -d tomorrow +%d.%m.%Y)
# C.UTF-8's short date has a month name; the program then keeps dd.MM.yyyy.
printf '[Main]\nTop=0\n[Cuckoo]\nActiving=1\nDate=%s\nDayOrWeek=0\nDay=1\nTime=%s\nMessage=\nAction=1\nSound=1\nOnes=3\n' \
  "$today" "$(hms "$due")" >"$ini"
start_app
wait_main
record_start "$work/rec.raw"
recorded_from=$(date +%s.%N)
note "task due at $(hms "$due")"

called() { grep -q . "$work/logind.calls"; }
wait_until 25 called || fail "logind received nothing"
called_at=$(date +%s.%N)
sleep 1.5 # the third call plays on after the restart request
record_stop
due_epoch=$(date -d "$(hms "$due")" +%s)
after=$(awk -v c="$called_at" -v d="$due_epoch" 'BEGIN { printf "%.2f", c - d }')
note "logind received '$(tr '\n' ' ' <"$work/logind.calls")' ${after}s after the task's second"
grep -qx 'Reboot false' "$work/logind.calls" || fail "logind received $(cat "$work/logind.calls"), not Reboot"
[ "$(grep -c . "$work/logind.calls")" -eq 1 ] || fail "logind was called more than once"
# Three waits of 1.5 s come first: the request cannot come before 4.5 s.
awk -v a="$after" 'BEGIN { exit !(a >= 4.4 && a <= 6.5) }' ||
  fail "Reboot came ${after}s after the task's second, not after three 1.5 s waits"
expect_key Cuckoo Date "$tomorrow"

# The calls in the recording: loud stretches separated by more than 0.3 s of
# quiet, each with its start (seconds from the task's second) and length.
offset=$(awk -v r="$recorded_from" -v d="$due_epoch" 'BEGIN { printf "%.3f", d - r }')
calls=$(python3 - "$work/rec.raw" "$offset" <<'PY'
import sys, array
data = array.array('h', open(sys.argv[1], 'rb').read())
offset = float(sys.argv[2])
win = 441  # 10 ms
loud = [max(abs(v) for v in data[i:i + win]) > 1600 for i in range(0, len(data) - win, win)]
calls, start, last = [], None, None
for k, on in enumerate(loud):
    if on:
        if start is None or k - last > 30:
            if start is not None:
                calls.append((start, last))
            start = k
        last = k
if start is not None:
    calls.append((start, last))
for a, b in calls:
    print("%.2f %.2f" % (a / 100.0 - offset, (b - a + 1) / 100.0))
PY
)
note "calls (start after the second, length): $(echo "$calls" | tr '\n' ';')"
[ "$(echo "$calls" | grep -c .)" -eq 3 ] || fail "recorded $(echo "$calls" | grep -c .) calls, not 3"
# Each whole (the wave is 0.95 s, its loud part about 0.85 s), each 1.5 s after
# the one before, the first 1.5 s after the second.
echo "$calls" | awk 'NR == 1 { prev = $1 - 1.5 }
  { if ($2 < 0.7 || $2 > 1.1) exit 1; if ($1 - prev < 1.3 || $1 - prev > 1.8) exit 1; prev = $1 }' ||
  fail "the calls are not three whole calls 1.5 s apart"
kill -0 "$app" 2>/dev/null || fail "the program ended"
pass "three cuckoo calls, then Reboot"
