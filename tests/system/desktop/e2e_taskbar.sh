#!/usr/bin/env bash
# The real program under openbox, as the window manager and a taskbar see it.
# With no tray: "Минимизироваться при запуске" maps the main window iconic
# (WM_STATE), and Alt+F4 on the About card brings the main window back. The
# About card and the alarm window carry the skip-taskbar state, so the
# taskbar lists the main window alone; the alarm window comes to the front,
# on every desktop, while the main window is minimised. Then a tray appears: a right click on
# its icon brings the shown main window in front of another program's window
# before the menu opens.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" trayer xmessage
start_x
avoid_midnight 90

# The program's windows a taskbar lists: managed, and without the
# skip-taskbar state.
taskbar_list() {
  local w
  for w in $(xprop -root _NET_CLIENT_LIST | sed 's/.*#//; s/,/ /g'); do
    xprop -id "$w" WM_CLASS 2>/dev/null | grep -q '"TfmTocsiner"' || continue
    xprop -id "$w" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_SKIP_TASKBAR && continue
    echo "$((w))"
  done
}
skips_taskbar() { xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR; }
wm_state() { xprop -id "$1" WM_STATE 2>/dev/null | awk '/window state:/ {print $3}'; }
# A viewable window of the program with this client width.
window_of_width() {
  local w
  for w in $(xdotool search --class TfmTocsiner 2>/dev/null); do
    viewable "$w" || continue
    [ "$(xwininfo -id "$w" | awk '/Width:/{print $2}')" = "$1" ] && { echo "$w"; return 0; }
  done
  return 1
}

# --- no tray: started minimised, iconic as the window manager sees it.
# A task due in a while, for the alarm window further on.
due=$(($(now_secs) + 14))
printf '[Main]\nTop=0\nLeft=0\nAutoRec=0\nHideOnStart=1\n[T]\nTime=%s\nDate=%s\nActiving=1\nMessage=Wake\n' \
  "$(hms "$due")" "$(date +%d.%m.%Y)" >"$ini"
start_app
iconic() { win=$(main_window); [ -n "$win" ] && [ "$(wm_state "$win")" = Iconic ]; }
wait_until 15 iconic || fail "HideOnStart without a tray: WM_STATE $(wm_state "$(main_window)"), not Iconic"
[ "$(taskbar_list | wc -l)" -eq 1 ] || fail "the minimised main window is not the one taskbar entry"
note "started iconic, one taskbar entry"
xdotool windowactivate "$win" 2>/dev/null
wait_main

# --- the About card, closed with Alt+F4, gives way to the main window.
click_main 189 231   # "О программе"
about() { about=$(window_of_width 490); }
wait_until 10 about || fail "no About card"
skips_taskbar "$about" || fail "the About card is listed in the taskbar"
hidden || fail "the main window stayed shown beside the About card"
xdotool windowactivate --sync "$about" 2>/dev/null
key alt+F4
wait_until 10 main_viewable || fail "Alt+F4 on the About card left the main window hidden"
viewable "$about" && fail "the About card is still shown"
note "About card: skips the taskbar; Alt+F4 brings the main window back"

# --- the alarm window in front of a minimised main window, out of the taskbar.
xdotool windowminimize "$win"
wait_until 5 sh -c "[ \"\$(xprop -id $win WM_STATE | awk '/window state:/ {print \$3}')\" = Iconic ]" ||
  fail "the main window did not minimise"
alarm() { alarm_win=$(window_of_width 244); }
wait_until 20 alarm || fail "no alarm window by $(date +%T), due $(hms "$due")"
skips_taskbar "$alarm_win" || fail "the alarm window is listed in the taskbar"
xprop -id "$alarm_win" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "the alarm window is not above"
front() { [ "$(active_window)" = "$alarm_win" ]; }
wait_until 5 front || fail "the alarm window is not in front"
[ "$(taskbar_list)" = "$((win))" ] || fail "taskbar lists $(taskbar_list | wc -l) windows, not the main one alone"
note "alarm window: in front of the minimised main window, not in the taskbar"
# On every desktop: still on the screen when the user moves to the next one.
xdotool set_desktop 1
on_desktop() { [ "$(xdotool get_desktop)" = "$1" ]; }
wait_until 5 on_desktop 1 || fail "openbox did not move to the second desktop"
sleep 0.3
viewable "$alarm_win" || fail "the alarm window stayed behind on the first desktop"
xdotool set_desktop 0
wait_until 5 on_desktop 0 || fail "openbox did not move back to the first desktop"
wait_until 5 viewable "$alarm_win" || fail "the alarm window is gone after moving back"
note "alarm window: on every desktop"
click "$alarm_win" 100 60   # "OK"
xdotool windowactivate "$win" 2>/dev/null
wait_main

# --- a tray appears; a right click on its icon brings the main window forward.
start_trayer
xmessage -geometry +20+20 'another program' &
pids+=("$!")
other() { other=$(xdotool search --name '^xmessage$' 2>/dev/null | head -1); [ -n "$other" ] && [ "$(active_window)" = "$other" ]; }
wait_until 10 other || { xdotool windowactivate "$(xdotool search --name '^xmessage$' | head -1)" 2>/dev/null; wait_until 5 other; } ||
  fail "the other program's window did not come to the front"
open_menu
main_front() { [ "$(active_window)" = "$win" ]; }
wait_until 5 main_front || fail "a right click on the icon left the main window behind"
key Escape
note "right click on the icon: main window in front, menu open"
close_app
pass "iconic start, About close, taskbar entries, alarm in front, right click"
