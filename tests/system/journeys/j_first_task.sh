#!/usr/bin/env bash
# First start in an empty folder, then a new task typed in the editor: its
# time a few seconds ahead, a message, the cuckoo twice, saved with Enter in
# the name box. It fires at its second: the alarm window opens with the
# message and the cuckoo goes out to the sound server; the window is closed
# with "Отключить задание" ticked and the file then holds "Activing=0".
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}"
start_x
start_pulse
start_app
wait_main

# First start: the file named after the login name, "Main" first.
[ "$(cat "$ini")" = "$(printf '[Main]\nTop=0\nAutoRec=0')" ] || fail "first start wrote: $(cat "$ini")"
note "first start: $(tr '\n' ' ' <"$ini")"

# The time, about 20 s ahead (never across midnight: the journey would need a
# date as well).
avoid_midnight 60
due=$(($(now_secs) + 20))
due_text=$(hms "$due")
click_main 117 74          # edTime
key ctrl+a
typetext "${due_text//:/}"
click_main 120 160         # edMsg
typetext "Wake up, journey"
click_main 409 45          # cbEvSound: its list opens
key Down Return            # "кукушкой"
click_main 490 40          # udOnes, upper arrow: twice
click_main 402 211         # evName
key ctrl+a
typetext "Journey"
key Return
wait_until 5 has_section Journey || fail "Enter in the name box saved nothing"
expect_key Journey Activing 1
expect_key Journey Time "$due_text"
expect_key Journey Message "Wake up, journey"
expect_key Journey Action 0
expect_key Journey Sound 1
expect_key Journey Ones 2
ini_get Journey TimeGap >/dev/null && fail "a clock task got a TimeGap"
note "saved: $(sed -n '/^\[Journey\]/,$p' "$ini" | tr '\n' ' ')"

record_start "$work/fire.raw"
day=$(date -d 00:00 +%s)
# The two cuckoos play before the window opens, each after a wait of 1.5 s
# that blocks the program: the first sound starts 1.5 s after the firing
# second, the second 1.5 s later, and the window follows it.
alarm() { alarm_win=$(window_named '^Звонарька - Journey$'); }
wait_until 40 alarm || fail "no alarm window by $(date +%T) for $due_text"
seen=$(date +%s.%N)
sleep 2
record_stop
read -r first last <<<"$(loud_span "$work/fire.raw")"
[ "$first" != none ] || fail "no sound went out (peak $(peak "$work/fire.raw"))"
ms() { awk -v a="$1" -v b="$2" -v d="$day" -v t="$due" 'BEGIN { printf "%.0f", (a + b - d - t) * 1000 }'; }
sound_late=$(ms "$rec_start" "$first")
window_late=$(ms "$seen" 0)
note "sound from $sound_late ms to $(ms "$rec_start" "$last") ms after $due_text (peak $(peak "$work/fire.raw")); window seen at $window_late ms"
fire_late=$((sound_late - 1500))
note "fired ${fire_late} ms after its second, by the first cuckoo"
[ "$fire_late" -ge -100 ] || fail "fired ${fire_late} ms early"
[ "$fire_late" -le 500 ] || fail "fired ${fire_late} ms late"
# The second cuckoo: sound from the first start to 1.5 s plus one cuckoo later.
awk -v f="$first" -v l="$last" 'BEGIN { exit !(l - f > 2.0 && l - f < 3.0) }' ||
  fail "not two cuckoos 1.5 s apart (sound from $first to $last s)"
[ "$window_late" -ge 2900 ] || fail "the window opened before the two cuckoos were through ($window_late ms)"
[ "$window_late" -le 6000 ] || fail "the window opened $window_late ms after the due time"

# The alarm window stays above the others; the fired task moved on a day.
xprop -id "$alarm_win" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "the alarm window is not kept above"
expect_key Journey Date "$(date -d tomorrow +%d.%m.%Y)"

# The alarm window: "Отключить задание", then "OK".
click "$alarm_win" 9 44
click "$alarm_win" 124 67
gone() { ! viewable "$alarm_win"; }
wait_until 5 gone || fail "OK did not close the alarm window"
wait_until 5 sh -c "grep -q '^Activing=0' '$ini'" || fail "Activing is not 0 after Отключить задание"
expect_key Journey Activing 0
expect_key Journey Message "Wake up, journey"
close_app
pass "first task"
