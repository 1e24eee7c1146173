#!/usr/bin/env bash
# Hide to the tray and back under a real window manager and tray host:
# "Спрятать" hides the window, a double click on the icon shows it again and
# makes it the active window, the tray menu shows, hides and closes, and stay
# on top toggled three times leaves one working icon and a window above the
# others.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" trayer
start_x
start_trayer
start_app
wait_main
note "first start: main window $win"

# "Спрятать": the window goes, the icon stays.
click_main 189 187
wait_until 5 hidden || fail "Спрятать did not hide the window"
icon_point
note "hidden; icon $icon at $ix,$iy"

# A double click brings it back, in front and active.
double_click_icon
wait_until 10 main_shown || fail "the double click did not show the window"
wait_until 5 sh -c "[ \"\$(xdotool getactivewindow)\" = $win ]" || fail "the shown window is not active"
note "double click showed and activated the window"

# The menu: "Спрятать", then "Показать".
open_menu
menu_item 0
wait_until 5 hidden || fail "the menu's Спрятать did not hide the window"
open_menu
menu_item 1
wait_until 10 main_shown || fail "the menu's Показать did not show the window"
note "tray menu: hide and show"

# Stay on top, three times: ticked at the end, one working icon.
for i in 1 2 3; do
  wait_until 10 main_shown || fail "the window did not come back after toggle $i"
  click_main 260 264
  sleep 0.5
done
wait_until 10 main_shown || fail "the window did not come back after the toggles"
expect_key Main StayOnTop 1
above() { xprop -id "$(main_window)" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }
wait_until 5 above || fail "the window is not kept above the others"
sleep 0.5
wait_until 10 one_icon || fail "$(tray_icons | wc -l) tray icons after three toggles"
click_main 189 187
wait_until 5 hidden || fail "Спрятать after the toggles did not hide the window"
double_click_icon
wait_until 10 main_shown || fail "the icon no longer answers after the toggles"
note "stay on top toggled three times: one icon that works, window above"

# "Закрыть" from the menu while hidden: the program ends and stores its place.
click_main 189 187
wait_until 5 hidden || fail "could not hide before closing"
open_menu
menu_item 2
wait_until 15 sh -c "! kill -0 $app 2>/dev/null" || fail "the menu's Закрыть did not end the program"
wait "$app"; rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc"
ini_get Main Left >/dev/null || fail "Left not stored on close"
expect_key Main StayOnTop 1
pass "tray journey"
