#!/usr/bin/env bash
# A week-day task made with the picker: "по дням недели" opens the picker,
# two days are ticked, the main window is activated again (the picker's loss
# of activation builds the pending week string) and "Ok" stores "Week" and the
# next due "Date". Then, with auto-record on and the task chosen in the list,
# one more tick and a loss of activation store the new days and a new date at
# once, without "Ok".
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}"
start_x
start_app
wait_main

# The task's time is one second past midnight: always passed today, so the
# next due day is the first chosen day after today.
next_date() { # <week string>: the date the week-day rule gives, dd.MM.yyyy
  local t first="" d c
  t=$(($(date +%u) - 1))
  for ((c = 0; c < ${#1}; c++)); do
    d=${1:c:1}
    [ "$d" -gt "$t" ] && { first=$((d - t)); break; }
  done
  [ -n "$first" ] || first=$((7 - t + ${1:0:1}))
  date -d "+$first days" +%d.%m.%Y
}
picker() { pick=$(window_named '^Неделя$'); }
# Rows of the picker's day list: 14 pixels each from its top, box at the left.
tick_day() { click "$pick" 12 $((10 + 14 * $1)); }

avoid_midnight 60
picker && fail "the week-day picker is open at start"
click_main 131 113                  # rgDays, "по дням недели"
wait_until 5 picker || fail "по дням недели did not open the picker"
note "picker $pick opened"
# It opens over the task list; moved aside, as a user would drag it.
xdotool windowmove --sync "$pick" 600 300
tick_day 1                          # вторник
tick_day 4                          # пятница
click_main 120 160                  # back to the main window: the picker loses activation
main_active() { [ "$(active_window)" = "$win" ]; }
wait_until 5 main_active || fail "the main window did not take the activation"
picker || fail "the picker closed when it lost activation"
has_section Weekly && fail "a new task was written before Ok"

click_main 117 74                   # edTime
key ctrl+a
typetext 000001
click_main 402 211                  # evName
key ctrl+a
typetext Weekly
click_main 484 210                  # "Ok"
wait_until 5 has_section Weekly || fail "Ok saved nothing"
expect_key Weekly DayOrWeek 1
expect_key Weekly Week 14
expect_key Weekly Time 00:00:01
expect_key Weekly Date "$(next_date 14)"
note "saved: Week=14 Date=$(ini_get Weekly Date)"

# Pinned, the picker stays on top of everything; "Ok" on the same name asks
# "Переписать?". Moved over that question's buttons, the picker must still
# lie under the box: the window under the pointer there is the box, and the
# box is stacked above the picker.
click "$pick" 10 107                # cbHold, "Закрепить окно"
click_main 117 74                   # edTime
key ctrl+a
typetext 000002
click_main 484 210                  # "Ok": the name is taken
box_shown() { box=$(window_named '^Звонарька 2\.5$'); }
wait_until 5 box_shown || fail "no Переписать? box"
# geom <window> <prefix>: where the window itself lies, without its frame.
geom() {
  eval "$(xwininfo -id "$1" | awk -v p="$2" '
    /Absolute upper-left X/ { print p "x=" $4 } /Absolute upper-left Y/ { print p "y=" $4 }
    /Width:/ { print p "w=" $2 } /Height:/ { print p "h=" $2 }')"
}
geom "$box" b
# The picker over the right end of the box's button row, where Yes and No
# are: its top left at tx,ty, the move corrected once by where it landed (the
# frame's offsets).
tx=$((bx + bw - 150)) ty=$((by + bh - 60))
xdotool windowmove --sync "$pick" "$tx" "$ty"
geom "$pick" p
xdotool windowmove --sync "$pick" $((2 * tx - px)) $((2 * ty - py))
sleep 0.5
stacked_above() { # <upper> <lower>: in _NET_CLIENT_LIST_STACKING, bottom to top
  local w n=0 pu=0 pl=0
  for w in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/^.*# //; s/,/ /g'); do
    n=$((n + 1))
    [ "$((w))" -eq "$1" ] && pu=$n
    [ "$((w))" -eq "$2" ] && pl=$n
  done
  [ "$pu" -gt 0 ] && [ "$pl" -gt 0 ] && [ "$pu" -gt "$pl" ]
}
stacked_above "$box" "$pick" || fail "the Переписать? box is stacked under the pinned picker"
# The window under the pointer is the box or the frame the window manager put around it.
holds() {
  local tree
  tree=$(xwininfo -tree -id "$1" 2>/dev/null)
  [ "$1" = "$2" ] || grep -qi "$(printf '0x%x' "$2") " <<<"$tree"
}
geom "$pick" p
for x in $((bx + bw - 130)) $((bx + bw - 50)); do
  y=$((by + bh - 20))
  # Only points where the picker lies too.
  ((x > px && x < px + pw && y > py && y < py + ph)) || fail "the picker was not moved over the buttons ($x,$y; box $bx,$by ${bw}x$bh; picker $px,$py ${pw}x$ph)"
  xdotool mousemove "$x" "$y"
  sleep 0.2
  eval "$(xdotool getmouselocation --shell)"
  holds "$WINDOW" "$box" || fail "the pinned picker covers the box's buttons at $x,$y"
done
key Return                          # Yes, the default
wait_until 5 sh -c "grep -q '^Time=00:00:02' '$ini'" || fail "Yes did not overwrite the task"
xdotool windowmove --sync "$pick" 600 300
note "the Переписать? box came above the pinned picker"

# Auto-record on, the task chosen: a third day goes to the file when the
# picker loses activation.
click_main 260 236                  # cbARec
expect_key Main AutoRec 1
click_main 300 99                   # the task's row in clbEvents
sleep 0.5
picker || fail "choosing a week-day task did not show the picker"
tick_day 2                          # среда
expect_key Weekly Week 14           # ticking alone stores nothing
click_main 120 160
wait_until 5 sh -c "grep -q '^Week=124' '$ini'" || fail "the loss of activation did not store Week=124"
expect_key Weekly Date "$(next_date 124)"
note "auto-record: Week=124 Date=$(ini_get Weekly Date)"

# Back to every day: "Week" stays, "DayOrWeek" follows, the picker stays.
click_main 14 113                   # rgDays, "каждый день"
wait_until 5 sh -c "grep -q '^DayOrWeek=0' '$ini'" || fail "DayOrWeek not stored as 0"
expect_key Weekly Week 124
picker || fail "switching back to every day hid the picker"
close_app
pass "week-day task"
