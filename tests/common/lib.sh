# shellcheck shell=bash
# Shared pieces of the end-to-end journeys: a private X server with a real
# window manager (openbox) and, on request, the tray host trayer, a private
# PulseAudio with a null sink, a private system bus with a fake logind, and the
# real program started in a fresh working folder of its own. Every wait polls
# with a time limit, so a loaded machine slows a journey down instead of
# failing it.
#
# A journey script sources this file, calls e2e_init with the tools it needs,
# starts what it needs and ends with "pass". The benchmarks that need the real
# program on an X server use it too.

set -uo pipefail
[ -n "${E2E_TRACE:-}" ] && set -x

# e2e_init <program> <tool>...: exits 77 when a tool is missing.
e2e_init() {
  program=$(readlink -f "${1:?program path}")
  shift
  local tool
  for tool in Xvfb xdotool xwininfo xprop "$@"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing"; exit 77; }
  done
  work=$(mktemp -d)
  pids=()
  trap e2e_cleanup EXIT
  mkdir -p "$work/run" "$work/config" "$work/runtime" "$work/home"
  chmod 700 "$work/runtime"
  export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
  unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS PULSE_SERVER PULSE_SINK
  # Nothing of a journey may reach the machine's own system bus.
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-system-bus"
  ini="$work/run/$(id -un).ini"
  app=""
  started_at=$(date +%s)
}

# use_faketime: $preload names libfaketime, the journey's faked clock reads
# real time plus the whole seconds in $clockfile at every call, and fake_at
# <local date and time> sets it to read that now; timers keep running on the
# real monotonic clock. Exits 77 without libfaketime.
use_faketime() {
  preload=""
  local lib
  for lib in /usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1 \
    /usr/lib/*/faketime/libfaketimeMT.so.1; do
    [ -f "$lib" ] && { preload=$lib; break; }
  done
  [ -n "$preload" ] || { echo "SKIP: libfaketime is missing"; exit 77; }
  clockfile="$work/faketime"
}
fake_at() { echo "+$(($(date -d "$1" +%s) - $(date +%s)))" >"$clockfile"; }

e2e_cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  [ -n "${E2E_KEEP:-}" ] && { echo "kept $work"; return; }
  rm -rf "$work"
}

note() { echo "[$(($(date +%s) - started_at))s] $*"; }

fail() {
  echo "FAIL: $*"
  why_failed
  echo "--- settings file"; cat "$ini" 2>/dev/null; echo
  echo "--- program output"; tail -40 "$work/out.log" 2>/dev/null
  [ -f "$work/pulse.log" ] && { echo "--- pulseaudio"; tail -10 "$work/pulse.log"; }
  exit 1
}

# What a failure needs to be understood without a rerun: whether the program
# still runs or how it ended, whether the X server still answers, and a
# screenshot of the whole screen in the build folder (test-failures/).
why_failed() {
  if [ -z "${app:-}" ]; then
    echo "--- the program was not started"
  elif kill -0 "$app" 2>/dev/null; then
    echo "--- the program is running (pid $app), state $(awk '{print $3}' "/proc/$app/stat" 2>/dev/null)," \
      "waiting in $(cat "/proc/$app/wchan" 2>/dev/null)"
    # Where it waits, when it waits instead of showing its window.
    if command -v gdb >/dev/null 2>&1; then
      echo "--- its threads"
      timeout 30 gdb -p "$app" -batch -nx -ex 'thread apply all bt 12' 2>/dev/null |
        grep -E '^(Thread|#)' | head -60
    fi
  else
    wait "$app" 2>/dev/null
    echo "--- the program has ended, exit status $?"
  fi
  # A copy that found its desktop's lock taken ends with 0 and shows nothing:
  # who holds the locks of this display, and of any display, now.
  echo "--- this display: ${DISPLAY:-none}; copies' lock sockets:"
  ss -xlp 2>/dev/null | grep -F '@zvonarka/' | awk '{print $5, $NF}' | head -10
  [ -n "${DISPLAY:-}" ] || return 0
  if ! xwininfo -root >/dev/null 2>&1; then
    echo "--- the X server $DISPLAY does not answer"; tail -5 "$work/xvfb.log" 2>/dev/null
    return 0
  fi
  # A window manager that took the screen and then stopped answering leaves
  # every window it should map unmapped: a black screen.
  if [ -n "${wm_pid:-}" ]; then
    if kill -0 "$wm_pid" 2>/dev/null; then
      echo "--- the window manager runs, state $(awk '{print $3}' "/proc/$wm_pid/stat" 2>/dev/null)," \
        "waiting in $(cat "/proc/$wm_pid/wchan" 2>/dev/null)"
      command -v gdb >/dev/null 2>&1 &&
        timeout 30 gdb -p "$wm_pid" -batch -nx -ex 'bt 15' 2>/dev/null | grep -E '^#' | head -15
    else
      echo "--- the window manager has ended"
    fi
    # What openbox did with the main window: managed, iconified, unmanaged.
    local main
    main=$(main_window)
    [ -n "$main" ] && grep -F "$(printf '0x%x' "$main")" "$work/openbox.log" 2>/dev/null | tail -10
    tail -3 "$work/openbox.log" 2>/dev/null
  fi
  echo "--- top-level windows (id, map state, name)"
  local w
  for w in $(xwininfo -root -children 2>/dev/null | awk '/^ +0x/ {print $1}'); do
    echo "$w $(xwininfo -id "$w" 2>/dev/null | awk -F': ' '/Map State/ {print $2}')" \
      "$(xprop -id "$w" WM_NAME 2>/dev/null | sed -n 's/^WM_NAME([^)]*) = //p')"
  done | head -30
  local dir=$PWD shot
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] || dir=$work
  mkdir -p "$dir/test-failures"
  shot="$dir/test-failures/$(basename "$0" .sh)-$(date +%Y%m%d-%H%M%S).png"
  if import -window root "$shot" 2>/dev/null; then
    echo "--- screenshot: $shot"
  else
    echo "--- no screenshot (import failed)"
  fi
}

pass() { note "PASS: $*"; exit 0; }

# wait_until <seconds> <command...>: polls every 0.1 s.
wait_until() {
  local limit=$(($1 * 10)) i
  shift
  for ((i = 0; i < limit; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
}

# launch_xvfb <width>x<height> <dpi>: one private X server, started in the
# background as $xvfb, on a display number drawn at random from a wide range
# rather than the lowest free one: a number freed a moment ago by another
# test's server is then not taken again at once, while that test's program,
# which has just lost its display, may still hold the one-copy lock named by
# it (a copy started on the reused number would take itself for a second one
# and end). Sets DISPLAY once the server says it is ready; status 1 when no
# server came up.
launch_xvfb() {
  local try n
  for try in 1 2 3 4 5 6 7 8; do
    n=$((RANDOM % 20000 + 1000))
    : >"$work/display"
    exec 3>"$work/display"
    # -noreset: a server that resets as its last client leaves refuses a client
    # connecting at that moment, which looks like a program without a window.
    Xvfb ":$n" -displayfd 3 -screen 0 "$1x24" -dpi "$2" -nolisten tcp -noreset >>"$work/xvfb.log" 2>&1 &
    xvfb=$!
    pids+=("$xvfb")
    exec 3>&-
    # A number in use: that server ends at once, and the next number is tried.
    if wait_until 10 sh -c "test -s '$work/display' || ! kill -0 $xvfb 2>/dev/null" &&
      [ -s "$work/display" ]; then
      export DISPLAY=":$(head -1 "$work/display")"
      return 0
    fi
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
  done
  return 1
}

# start_xvfb [<width>x<height> <dpi>]: one private X server that answers,
# 1024x768 at 96 dpi unless told; status 1 when it does not.
start_xvfb() {
  launch_xvfb "${1:-1024x768}" "${2:-96}" || return 1
  wait_until 10 xwininfo -root >/dev/null 2>&1 && return 0
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  return 1
}

# start_bare_x: a private X server without a window manager.
start_bare_x() {
  local server
  for server in 1 2 3; do
    start_xvfb && return 0
  done
  fail "no X server came up: $(cat "$work/xvfb.log" 2>/dev/null)"
}

# start_x: a private X server with openbox managing it.
start_x() {
  command -v openbox >/dev/null 2>&1 || { echo "SKIP: openbox is missing"; exit 77; }
  wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
  # Openbox names itself on the root window early in its start-up. Events that
  # come after that but before its event loop runs are read and then left
  # waiting until the next event arrives: a window mapped at that moment
  # stays unmapped, on a private display where nothing else happens. So a
  # probe window must be framed before the display is handed over, and while
  # it is not, a change of a root property (which openbox listens for) is
  # that next event.
  wm_frames_probe() {
    probe_win=$(xdotool search --name "^$probe_name\$" 2>/dev/null | head -1)
    [ -n "$probe_win" ] && framed "$probe_win" && return 0
    xprop -root -f _ZV_NUDGE 32c -set _ZV_NUDGE "$RANDOM" 2>/dev/null
    return 1
  }
  wm_serving() {
    local probe
    probe_name="wm-probe-$$"
    xev -name "$probe_name" -geometry 8x8+0+0 >/dev/null 2>&1 &
    probe=$!
    wait_until 20 wm_frames_probe
    local status=$?
    kill "$probe" 2>/dev/null
    wait "$probe" 2>/dev/null
    return $status
  }
  # Now and then, on a busy machine, openbox never takes the screen, or cannot
  # open a display that answered a moment before: start a second one after the
  # first is gone and, failing that, a whole new X server.
  local server attempt wm
  for server in 1 2 3; do
    start_xvfb || continue
    # The first key a test sends through XTEST switches the server's keyboard
    # to XTEST's own, with a keymap change openbox answers by dropping and
    # taking again its key bindings: a test's Alt+F4 that comes while they
    # are dropped reaches the focused window instead. One key before openbox
    # starts makes that switch while nobody listens.
    xdotool key shift 2>/dev/null
    for attempt in 1 2; do
      # --debug: a failure report tells what openbox did with each window.
      openbox --debug >>"$work/openbox.log" 2>&1 &
      wm=$!
      wm_pid=$wm
      pids+=("$wm")
      wait_until 20 wm_running && wm_serving && return 0
      echo "openbox attempt $server.$attempt did not take the screen" >>"$work/openbox.log"
      kill "$wm" 2>/dev/null
      wait "$wm" 2>/dev/null
      xwininfo -root >/dev/null 2>&1 || break
    done
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
  done
  fail "no X server with openbox came up: $(cat "$work/openbox.log" "$work/xvfb.log" 2>/dev/null)"
}

start_trayer() {
  command -v trayer >/dev/null 2>&1 || { echo "SKIP: trayer is missing"; exit 77; }
  trayer --edge bottom --align left --widthtype pixel --width 120 --height 32 --expand false \
    --transparent false --tint 0xffffff >/dev/null 2>&1 &
  pids+=("$!")
  tray_owned() { xprop -root 2>/dev/null | grep -q . && xdotool search --class trayer >/dev/null 2>&1; }
  wait_until 10 tray_owned || fail "trayer did not start"
}

# A sound server of the journey's own, reached through $XDG_RUNTIME_DIR/pulse,
# whose only sink is a null sink that never suspends.
start_pulse() {
  local tool
  for tool in pulseaudio pactl parec sox; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing"; exit 77; }
  done
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --disable-shm=yes \
    --use-pid-file=no --log-target=stderr \
    -L module-native-protocol-unix -L "module-null-sink sink_name=zvnull" \
    >"$work/pulse.log" 2>&1 &
  pids+=("$!")
  pulse_ready() { pactl info 2>/dev/null | grep -q '^Default Sink: zvnull$'; }
  wait_until 15 pulse_ready || fail "private PulseAudio did not start"
}

# record_start <file>: records the null sink's monitor until record_stop.
# Connecting takes a moment on a busy machine: rec_start is the moment the
# recording's first sample was taken, worked out from the first data seen.
record_start() {
  parec -d zvnull.monitor --raw --format=s16le --rate=44100 --channels=1 --latency-msec=20 >"$1" &
  recorder=$!
  pids+=("$recorder")
  local i size=0
  for ((i = 0; i < 500; i++)); do
    size=$(stat -c %s "$1" 2>/dev/null || echo 0)
    [ "$size" -gt 0 ] && break
    sleep 0.02
  done
  [ "$size" -gt 0 ] || fail "parec recorded nothing"
  rec_start=$(awk -v n="$(date +%s.%N)" -v b="$size" 'BEGIN { printf "%.3f", n - b / 2 / 44100 }')
}
record_stop() { kill "$recorder" 2>/dev/null; wait "$recorder" 2>/dev/null; }
# peak <file>: the largest amplitude, 0 to 1.
peak() {
  [ -s "$1" ] || { echo 0; return; }
  sox -t raw -r 44100 -e signed -b 16 -c 1 "$1" -n stat 2>&1 | awk '/^Maximum amplitude/ {print $3}'
}
# loud_span <file>: the first and last moment, in seconds from the start of
# the recording to a hundredth, at which the sound rises above the noise floor.
loud_span() {
  od -An -v -td2 -w882 "$1" | awk '
    { m = 0; for (i = 1; i <= NF; i++) { v = $i < 0 ? -$i : $i; if (v > m) m = v } }
    m > 1600 { if (first == "") first = NR - 1; last = NR - 1 }
    END { if (first == "") print "none"; else printf "%.2f %.2f\n", first / 100, last / 100 }'
}

# A private system bus and a fake logind on it recording each call in
# $work/logind.calls.
start_logind() {
  local fake=${1:?fake_logind path}
  command -v dbus-daemon >/dev/null 2>&1 || { echo "SKIP: dbus-daemon is missing"; exit 77; }
  cat >"$work/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/system_bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
EOF
  dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile --print-address=1 \
    >"$work/bus.address" 2>"$work/bus.log" &
  pids+=("$!")
  wait_until 10 test -s "$work/bus.address" || fail "private system bus did not start"
  DBUS_SYSTEM_BUS_ADDRESS=$(head -1 "$work/bus.address")
  export DBUS_SYSTEM_BUS_ADDRESS
  : >"$work/logind.calls"
  "$fake" "$work/logind.calls" >"$work/logind.out" 2>&1 &
  pids+=("$!")
  wait_until 10 grep -q ready "$work/logind.out" || fail "fake logind did not start"
}

# start_app [command prefix...]: the program in its own working folder, as
# the autostart entry starts it.
start_app() {
  (cd "$work/run" && exec "$@" "$program") >>"$work/out.log" 2>&1 &
  app=$!
  pids+=("$app")
}

# The caption's ASCII tail: xdotool's name patterns are not safe with Cyrillic
# in every locale.
main_window() { xdotool search --name ' by Korvel$' 2>/dev/null | head -1; }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
# main_viewable: the main window mapped; $win names it.
main_viewable() { win=$(main_window); [ -n "$win" ] && viewable "$win"; }
framed() { xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '='; }
main_shown() {
  win=$(main_window)
  [ -n "$win" ] && viewable "$win" && framed "$win"
}
active_window() { xdotool getactivewindow 2>/dev/null; }
# wait_main: the main window shown, framed and active.
wait_main() {
  main_is_active() { main_shown && [ "$(active_window)" = "$win" ]; }
  wait_until 20 main_shown || fail "no main window"
  if ! wait_until 5 main_is_active; then
    xdotool windowactivate --sync "$win" 2>/dev/null
  fi
  sleep 0.3
}
# Viewable windows of a class whose name matches, excluding the main one.
window_named() { # <name regex>
  local w
  for w in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
    viewable "$w" && { echo "$w"; return 0; }
  done
  return 1
}

# click <window> <x> <y>: a left click at client coordinates.
click() {
  xdotool mousemove --window "$1" "$2" "$3" sleep 0.05 click 1
  sleep 0.25
}
# click_main <x> <y>: a click in the main window, by the layout's positions.
click_main() { click "$win" "$1" "$2"; }
key() { xdotool key --clearmodifiers "$@"; sleep 0.2; }
typetext() { xdotool type --delay 40 --clearmodifiers "$1"; sleep 0.2; }

# ini_get <section> <key>: the value as stored, sections and keys without
# regard to case; empty and status 1 when missing.
ini_get() {
  awk -v s="$1" -v k="$2" '
    BEGIN { s = tolower(s); k = tolower(k) }
    { sub(/\r$/, "") }
    /^\[/ { cur = tolower(substr($0, 2, index($0, "]") - 2)); next }
    cur == s {
      i = index($0, "=")
      if (i > 0 && tolower(substr($0, 1, i - 1)) == k) { print substr($0, i + 1); found = 1; exit }
    }
    END { exit !found }' "$ini"
}
has_section() { grep -qi "^\[$1\]" "$ini"; }
expect_key() { # <section> <key> <value>
  local v
  v=$(ini_get "$1" "$2") || fail "[$1] $2 missing (expected $3)"
  [ "$v" = "$3" ] || fail "[$1] $2 is '$v', expected '$3'"
}

# Seconds since midnight of a H:MM:SS or HH:MM:SS text.
secs_of() { local IFS=:; set -- $1; echo $((10#$1 * 3600 + 10#$2 * 60 + 10#$3)); }
hms() { printf '%02d:%02d:%02d' $(($1 / 3600 % 24)) $(($1 / 60 % 60)) $(($1 % 60)); }
now_secs() { secs_of "$(date +%H:%M:%S)"; }

# The tray, served by trayer.
# The program's windows carry the X class TfmTocsiner, as the desktop entry says.
tray_icons() { # docked icons: small viewable windows of the program
  local w width
  for w in $(xdotool search --class TfmTocsiner 2>/dev/null); do
    [ "$w" = "$(main_window)" ] && continue
    viewable "$w" || continue
    width=$(xwininfo -id "$w" | awk '/Width:/{print $2}')
    [ "${width:-0}" -le 64 ] && echo "$w"
  done
}
one_icon() { [ "$(tray_icons | wc -l)" -eq 1 ]; }
icon_point() {
  wait_until 10 one_icon || fail "$(tray_icons | wc -l) tray icons, not one"
  icon=$(tray_icons)
  eval "$(xdotool getwindowgeometry --shell "$icon")"
  ix=$((X + WIDTH / 2)) iy=$((Y + HEIGHT / 2))
}
hidden() { w=$(main_window); [ -z "$w" ] || ! viewable "$w"; }
double_click_icon() {
  icon_point
  xdotool mousemove "$ix" "$iy" click --repeat 2 --delay 80 1
}
# The tray menu: a popup of the program other than its windows and the icon.
open_menu() {
  icon_point
  xdotool mousemove "$ix" "$iy" click 3
  find_menu() {
    local w
    menu=""
    for w in $(xdotool search --onlyvisible --class TfmTocsiner 2>/dev/null); do
      [ "$w" = "$(main_window)" ] || [ "$w" = "$icon" ] || menu=$w
    done
    [ -n "$menu" ]
  }
  wait_until 5 find_menu || fail "right click did not open the tray menu"
  eval "$(xdotool getwindowgeometry --shell "$menu")"
  mx=$X my=$Y mw=$WIDTH mh=$HEIGHT
}
# menu_item <0..2>: "Спрятать", "Показать", "Закрыть", equal rows.
menu_item() {
  xdotool mousemove $((mx + mw / 2)) $((my + mh * (2 * $1 + 1) / 6)) click 1
  sleep 0.3
}

# close_app: "Закрыть", then the program ends with 0.
close_app() {
  main_shown || fail "close_app: the main window is not shown"
  click_main 189 209
  wait_until 15 sh -c "! kill -0 $app 2>/dev/null" || fail "Закрыть did not end the program"
  wait "$app"
  local rc=$?
  [ "$rc" -eq 0 ] || fail "the program ended with $rc"
}

# shot <name>: a picture of the screen's top-left corner, kept with E2E_KEEP.
shot() {
  [ -n "${E2E_KEEP:-}" ] || return 0
  import -window root -crop 620x420+0+0 "$work/$1.png" 2>/dev/null
}

# avoid_midnight <seconds>: a journey that needs that long on one day waits
# for the next one when midnight is nearer.
avoid_midnight() {
  local now
  now=$(now_secs)
  if [ $((now + $1)) -ge 86400 ]; then
    note "waiting for midnight to pass"
    sleep $((86400 - now + 2))
  fi
}
