#!/usr/bin/env bash
# The real program, its clock set ten seconds before a full hour with
# libfaketime, on a private X server, with "кукукнуть" chosen as the hourly
# chime and a private PulseAudio whose only sink is a null sink. Its monitor is
# recorded before and after the hour: silent before, the cuckoo after.
# Skipped (77) only when one of the tools is missing.
set -uo pipefail
program=$(readlink -f "${1:?program path}")
for tool in Xvfb xwininfo faketime pulseaudio pactl parec sox; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  echo "--- program output"; cat "$work/out.log" 2>/dev/null
  echo "--- pulseaudio output"; tail -20 "$work/pulse.log" 2>/dev/null
  exit 1
}

mkdir -p "$work/run" "$work/config" "$work/runtime" "$work/home"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset PULSE_SERVER PULSE_SINK DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY DISPLAY

# A sound server of this test's own, reached through $XDG_RUNTIME_DIR/pulse;
# its null sink is the default sink and never suspends (no module does that).
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --disable-shm=yes \
  --use-pid-file=no --log-target=stderr \
  -L module-native-protocol-unix -L "module-null-sink sink_name=zvnull" \
  >"$work/pulse.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info 2>/dev/null | grep -q '^Default Sink: zvnull$' || fail "private PulseAudio did not start"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$work/display")"
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
xwininfo -root >/dev/null 2>&1 || fail "Xvfb does not answer on $DISPLAY"

# Item 1, "кукукнуть": one cuckoo at every full hour.
printf '[Main]\nTop=0\nSound=1\n' >"$work/run/$(id -un).ini"

record() { # file seconds
  timeout "$2" parec -d zvnull.monitor --raw --format=s16le --rate=44100 --channels=1 >"$1"
}
peak() { # file
  sox -t raw -r 44100 -e signed -b 16 -c 1 "$1" -n stat 2>&1 | awk '/^Maximum amplitude/ {print $3}'
}

# The clock starts at 10:59:50 when the program starts and runs at its real
# pace; the chime is due ten seconds in.
(cd "$work/run" && exec faketime -m -f "@2026-12-08 10:59:50" "$program") >"$work/out.log" 2>&1 &
app=$!
pids+=($app)
record "$work/before.raw" 8
kill -0 "$app" 2>/dev/null || fail "the program ended early"
record "$work/after.raw" 8
kill -0 "$app" 2>/dev/null || fail "the program ended during the chime"

before=$(peak "$work/before.raw")
after=$(peak "$work/after.raw")
echo "peak before the hour: ${before:-none}, after: ${after:-none}"
[ -n "$before" ] && [ -n "$after" ] || fail "nothing was recorded"
awk -v b="$before" 'BEGIN { exit !(b < 0.01) }' || fail "sound before the hour (peak $before)"
awk -v a="$after" 'BEGIN { exit !(a > 0.05) }' || fail "no chime after the hour (peak $after)"
grep -q '^Sound=1' "$work/run/$(id -un).ini" || fail "the chime choice was lost"
echo "PASS: the hourly chime was heard at 11:00"
