#!/usr/bin/env bash
# The real program on a high-DPI screen: an X server at 192 dpi and Qt's scale
# factor 2. The main window and the About card come out exactly twice their
# size at 96 dpi, with every element where the layout puts it (the card opens
# from its button at twice the button's place), and screenshots at scale 2
# are saved for docs/.
# e2e_hidpi.sh <program> <screenshot folder>
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" import
shots=${2:?screenshot folder}
mkdir -p "$shots"

size_of() { xwininfo -id "$1" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}'; }
card() { xdotool search --name '^Авторство$' 2>/dev/null | head -1; }
card_viewable() { c=$(card); [ -n "$c" ] && viewable "$c"; }

# run_at <scale>: the main window's and the card's sizes at that scale.
run_at() {
  local scale=$1 dpi=$((96 * $1))
  start_xvfb "$((1024 * scale))x$((768 * scale))" "$dpi" || fail "no X server that answers"
  rm -f "$ini"
  start_app env QT_SCALE_FACTOR="$scale"
  wait_until 20 main_viewable || fail "no main window at scale $scale"
  sleep 1
  main_size=$(size_of "$win")
  [ "$scale" -eq 2 ] && import -window "$win" "$shots/main-window@2x.png"
  # "О программе": the card takes the main window's place.
  xdotool mousemove --window "$win" $((189 * scale)) $((231 * scale)) click 1
  wait_until 5 card_viewable || fail "the About card did not open at scale $scale"
  sleep 0.5
  card_size=$(size_of "$c")
  [ "$scale" -eq 2 ] && import -window "$c" "$shots/about@2x.png"
  kill "$app"; wait "$app" 2>/dev/null
  kill "$xvfb"; wait "$xvfb" 2>/dev/null
  note "scale $scale at $dpi dpi: main window $main_size, About card $card_size"
}

run_at 1
main1=$main_size card1=$card_size
run_at 2
double() { local w=${1%x*} h=${1#*x}; echo "$((2 * w))x$((2 * h))"; }
[ "$main_size" = "$(double "$main1")" ] || fail "main window $main_size at scale 2, $main1 at scale 1"
[ "$card_size" = "$(double "$card1")" ] || fail "About card $card_size at scale 2, $card1 at scale 1"
[ "$card_size" = 980x622 ] || fail "About card $card_size, not 980x622"
pass "scale 2: main window $main_size, About card $card_size; screenshots in $shots"
