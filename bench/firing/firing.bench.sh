#!/usr/bin/env bash
# The clock under Xvfb: how late 30 tasks fire after their second (median and
# worst), and the processor share of the idle program holding 255 (and 1,000)
# tasks of which none is due, over 60 seconds.
#
#   BUILD_DIR=build-bench bench/firing/firing.bench.sh
#
# IDLE_SECONDS shortens the idle measurement (default 60).
set -uo pipefail
build=${BUILD_DIR:?BUILD_DIR not set}
lateness=$build/bin/firing_lateness
program=$build/bin/zvonarka
idle_seconds=${IDLE_SECONDS:-60}
for f in "$lateness" "$program"; do
  [ -x "$f" ] || { echo "firing.bench.sh: $f is not built" >&2; exit 2; }
done
# A private X server, runtime folder and autostart folder: nothing of the
# user's own desktop is touched.
. "$(dirname "$0")/../../tests/common/lib.sh"
e2e_init "$program"
start_bare_x
export QT_QPA_PLATFORM=xcb

# 1. Lateness, in one process with the real windows and the real clock.
"$lateness" 255 30 || exit 1
"$lateness" 1000 30 || exit 1

# CPU time of every thread of a process, in nanoseconds.
cpu_ns() {
  local sum=0 t v
  for t in /proc/"$1"/task/*/schedstat; do
    read -r v _ <"$t" 2>/dev/null || continue
    sum=$((sum + v))
  done
  echo "$sum"
}

# 2. The idle program with N tasks dated tomorrow, so none is due.
idle() {
  local n=$1 run="$work/run$1" tomorrow app i
  tomorrow=$(date -d tomorrow +%d.%m.%Y)
  mkdir -p "$run"
  {
    printf '[Main]\nTop=0\n'
    for i in $(seq 0 $((n - 1))); do
      printf '[Task%d]\nActiving=1\nDate=%s\nDayOrWeek=0\nDay=1\nTime=%02d:%02d:00\nMessage=m\nAction=0\nSound=0\nOnes=0\n' \
        "$i" "$tomorrow" $((i % 24)) $((i % 60))
    done
  } >"$run/$(id -un).ini"
  # C.UTF-8's date has a month name; the program then keeps dd.MM.yyyy, as written above.
  (cd "$run" && LC_ALL=C.UTF-8 exec "$program") >"$run/out.log" 2>&1 &
  app=$!
  pids+=($app)
  sleep 5
  kill -0 "$app" 2>/dev/null || { echo "firing.bench.sh: the program ended early" >&2; cat "$run/out.log" >&2; return 1; }
  # Three stretches; the share of one core in each.
  local shares=() stretch=$((idle_seconds / 3)) c0 c1 t0 t1
  for _ in 1 2 3; do
    c0=$(cpu_ns "$app"); t0=$(date +%s%N)
    sleep "$stretch"
    c1=$(cpu_ns "$app"); t1=$(date +%s%N)
    shares+=("$(awk -v c=$((c1 - c0)) -v t=$((t1 - t0)) 'BEGIN { printf "%.3f", 100 * c / t }')")
  done
  kill -0 "$app" 2>/dev/null || { echo "firing.bench.sh: the program ended during the measurement" >&2; return 1; }
  kill "$app"
  wait "$app" 2>/dev/null
  # Nothing may have been due: every task still waits for tomorrow.
  local waiting
  waiting=$(grep -c "^Date=$tomorrow" "$run/$(id -un).ini")
  [ "$waiting" = "$n" ] || { echo "firing.bench.sh: only $waiting of $n tasks still dated tomorrow" >&2; return 1; }
  local sorted min max total
  sorted=$(printf '%s\n' "${shares[@]}" | sort -g)
  min=$(echo "$sorted" | head -1)
  max=$(echo "$sorted" | tail -1)
  # The whole run's share is the judged figure.
  total=$(awk -v a="${shares[0]}" -v b="${shares[1]}" -v c="${shares[2]}" 'BEGIN { printf "%.3f", (a + b + c) / 3 }')
  echo "IdleCpu@$n median_pct=$total min_pct=$min max_pct=$max target_pct=<=0.1"
}
idle 255 || exit 1
idle 1000 || exit 1
