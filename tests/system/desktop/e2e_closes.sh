#!/usr/bin/env bash
# The real program closed many times in a row on an X server with no window
# manager, each time as soon as its window is shown, with the editor's time
# field holding the keyboard focus: by
# "Закрыть", by "Закрыть" of the tray menu and by the close box (the close
# request a window manager sends). Every run must end with exit code 0 and
# store its place; a handler that runs while the windows are being destroyed
# would find the settings file released and crash the program.
# A round spends most of its time waiting for the program to start and to
# end, not computing: the rounds are dealt out to lanes that run side by
# side, each with an X server and a tray of its own. Every lane closes by all
# three ways in turn, so the rounds of each way stay as many.
#   e2e_closes.sh <program> <wm_delete helper> [rounds] [lanes]
rounds=${3:-200}
lanes=${4:-4}
if [ -z "${closes_lane:-}" ]; then
  lane_pids=()
  for ((l = 0; l < lanes; l++)); do
    closes_lane=$l "$0" "$@" > >(sed -u "s/^/[lane $l] /") 2>&1 &
    lane_pids+=("$!")
  done
  passed=0 skipped=0
  for p in "${lane_pids[@]}"; do
    wait "$p"
    case $? in 0) passed=$((passed + 1)) ;; 77) skipped=$((skipped + 1)) ;; esac
  done
  sleep 0.2 # the lanes' last lines through sed
  [ "$skipped" -eq "$lanes" ] && exit 77
  [ "$passed" -eq "$lanes" ] || { echo "FAIL: $((lanes - passed)) of $lanes lanes failed"; exit 1; }
  echo "PASS: $rounds closes in $lanes lanes, each with exit code 0"
  exit 0
fi
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" trayer
wm_delete=${2:?wm_delete helper}
start_bare_x
start_trayer
printf '[Main]\nTop=0\nLeft=0\nAutoRec=1\n[Будильник]\nTime=07:00:00\nMessage=Пора\nActiving=1\n' >"$ini"

ended() { ! kill -0 "$app" 2>/dev/null; }

crashes=0 done_rounds=0
for ((i = closes_lane; i < rounds; i += lanes)); do
  : >"$work/out.log"
  start_app
  # Closed as soon as it is shown: the keyboard focus is still where the
  # window put it, in its first editor field, the masked time field.
  wait_until 15 main_viewable || fail "round $i: no main window"
  mode=$((i % 3))
  case $mode in
    0) click_main 189 209 ;;                                 # "Закрыть"
    1) open_menu; menu_item 2 ;;                             # the tray menu's "Закрыть"
    2) "$wm_delete" "$win" || fail "round $i: close request not sent" ;; # the close box
  esac
  wait_until 15 ended || fail "round $i (way $mode): the program did not end"
  wait "$app"
  rc=$?
  if [ "$rc" -ne 0 ]; then
    echo "round $i (way $mode): exit code $rc"
    tail -5 "$work/out.log"
    crashes=$((crashes + 1))
  fi
  ini_get Main Left >/dev/null || fail "round $i: Left was not stored"
  done_rounds=$((done_rounds + 1))
  [ $((done_rounds % 10)) -eq 0 ] && note "$done_rounds closes, $crashes failed"
  [ "$crashes" -ge 10 ] && break
done
[ "$crashes" -eq 0 ] || fail "$crashes of $done_rounds closes did not end with exit code 0"
pass "$done_rounds closes, each with exit code 0"
