#!/usr/bin/env bash
# The real program under Xvfb with 255 tasks, each run in a fresh working
# folder: time from exec to the main window mapped, memory (PSS) after
# start-up, whether any audio library is mapped after start-up, and the
# wake-ups per second of the idle program over 60 seconds.
#
#   BUILD_DIR=build-bench bench/startup/startup.bench.sh
#
# STARTUP_RUNS sets the number of timed starts (default 11, after one
# untimed warm-up start); IDLE_SECONDS shortens the idle measurement
# (default 60).
set -uo pipefail
build=$(cd "${BUILD_DIR:?BUILD_DIR not set}" && pwd) || exit 2
program=$build/bin/zvonarka
watch=$build/bin/startwatch
runs=${STARTUP_RUNS:-11}
idle_seconds=${IDLE_SECONDS:-60}
tasks=255
bare=$build/bin/bareqt
for f in "$program" "$watch" "$bare"; do
  [ -x "$f" ] || { echo "startup.bench.sh: $f is not built" >&2; exit 2; }
done
# A private X server, runtime folder and autostart folder: nothing of the
# user's own desktop is touched.
. "$(dirname "$0")/../../tests/e2e/lib.sh"
e2e_init "$program"
start_bare_x
export QT_QPA_PLATFORM=xcb
# C.UTF-8's date has a month name; the program then keeps dd.MM.yyyy, as
# written below.
export LC_ALL=C.UTF-8

# 255 tasks of every repeat rule, dated tomorrow so none is due while measured.
tomorrow=$(date -d tomorrow +%d.%m.%Y)
ini="$work/tasks.ini"
{
  printf '[Main]\nTop=0\nLeft=0\nSortBy=No\n'
  for i in $(seq 0 $((tasks - 1))); do
    printf '[Задание %d]\nActiving=1\nDate=%s\nDayOrWeek=%d\nDay=%d\nWeek=024\nTime=%02d:%02d:%02d\nMessage=Напоминание номер %d\nAction=0\nSound=1\nOnes=2\n' \
      "$i" "$tomorrow" $((i % 3)) $((1 + i % 5)) $((i % 24)) $((i % 60)) $((i * 7 % 60)) "$i"
  done
} >"$ini"
user=$(id -un)

# Starts the program (or the one named) in a fresh folder; sets run_dir,
# app_pid, watch_pid and map_ms once its window is mapped.
start_program() {
  local exe=${1:-$program}
  run_dir=$(mktemp -d -p "$work" run.XXXX)
  cp "$ini" "$run_dir/$user.ini"
  (cd "$run_dir" && exec "$watch" "$exe") >"$run_dir/watch.out" 2>"$run_dir/watch.err" &
  watch_pid=$!
  pids+=("$watch_pid")
  local line=
  for _ in $(seq 400); do
    line=$(head -1 "$run_dir/watch.out" 2>/dev/null)
    [ -n "$line" ] && break
    kill -0 "$watch_pid" 2>/dev/null || break
    sleep 0.05
  done
  [ -n "$line" ] || { echo "startup.bench.sh: no window:" >&2; cat "$run_dir/watch.err" >&2; return 1; }
  read -r map_ms app_pid <<<"$line"
}

stop_program() {
  kill "$app_pid" 2>/dev/null
  wait "$watch_pid" 2>/dev/null
}

# Proportional set size in MiB.
pss_mib() {
  awk '/^Pss:/ { printf "%.1f", $2 / 1024 }' /proc/"$1"/smaps_rollup
}

# Audio libraries and the sound module mapped into the process, one a line.
audio_maps() {
  awk '{ print $6 }' /proc/"$1"/maps | grep -E 'libpulse|libasound|libpipewire|Multimedia|libgst|zvsounds' | sort -u
}

# "tid voluntary involuntary" context switches of every thread. A voluntary
# switch is a thread going to sleep, so each counts one wake-up; involuntary
# ones are preemptions, which depend on the machine's load, not on the program.
switches() {
  local t
  for t in /proc/"$1"/task/*; do
    awk -v tid="${t##*/}" '/^voluntary_ctxt_switches:/ { v = $2 } /^nonvoluntary_ctxt_switches:/ { n = $2 }
      END { if (v != "") print tid, v, n }' "$t/status" 2>/dev/null
  done
}

# Wake-ups between two samples: threads present at both count their
# difference, threads born in between count whole.
wakeups_between() { # FILE-BEFORE FILE-AFTER COLUMN
  awk -v col="$3" 'NR == FNR { before[$1] = $col; next } { s += $col - (($1 in before) ? before[$1] : 0) } END { print s + 0 }' "$1" "$2"
}

stats() { # prints median min max of its arguments
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%s %s %s", m, v[1], v[NR] }'
}

# Warm-up: fontconfig's and the loader's caches.
start_program || exit 1
sleep 1
stop_program

times=() cpu_at_map=() pss=() audio=0
for i in $(seq "$runs"); do
  start_program || exit 1
  times+=("$map_ms")
  cpu_at_map+=("$(awk '{ printf "%.0f", ($14 + $15) * 1000 / '"$(getconf CLK_TCK)"' }' /proc/"$app_pid"/stat)")
  # Start-up is over once the window is shown and the first ticks ran.
  sleep 2
  kill -0 "$app_pid" 2>/dev/null || { echo "startup.bench.sh: the program ended early" >&2; exit 1; }
  pss+=("$(pss_mib "$app_pid")")
  found=$(audio_maps "$app_pid")
  if [ -n "$found" ]; then
    audio=$((audio + 1))
    ((i == 1)) && { echo "startup.bench.sh: mapped after start-up:"; echo "$found"; } >&2
  fi
  stop_program
done

# The yardstick under the same conditions: a bare Qt window with 255 list
# items, a timer and a tray icon. Its figures carry no target.
bare_times=() bare_pss=()
for _ in $(seq "$runs"); do
  start_program "$bare" || exit 1
  bare_times+=("$map_ms")
  sleep 2
  bare_pss+=("$(pss_mib "$app_pid")")
  stop_program
done
# The program again for the idle measurement below.
start_program || exit 1

read -r med min max <<<"$(stats "${times[@]}")"
echo "startup.bench.sh: processor time by the window's map (ms, at the 50 ms poll): $(stats "${cpu_at_map[@]}") (median min max); load $(cut -d' ' -f1 /proc/loadavg)" >&2
echo "Startup@$tasks median_ms=$med min_ms=$min max_ms=$max target_ms=<=100"
read -r med min max <<<"$(stats "${pss[@]}")"
echo "Pss@$tasks median_MiB=$med min_MiB=$min max_MiB=$max target_MiB=<=30"
read -r med min max <<<"$(stats "${bare_times[@]}")"
echo "StartupBareQt@$tasks median_ms=$med min_ms=$min max_ms=$max"
read -r med min max <<<"$(stats "${bare_pss[@]}")"
echo "PssBareQt@$tasks median_MiB=$med min_MiB=$min max_MiB=$max"
echo "AudioLoadedAtStartup@$tasks median_runs=$audio min_runs=$audio max_runs=$audio target_runs=<=0"

# The program started last stays: its wake-ups while idle, in three stretches, once
# the start-up's helper threads have ended (Qt's pool ends idle threads after
# 30 s).
sleep "${IDLE_SETTLE:-30}"
rates=() preempt=0
stretch=$((idle_seconds / 3))
for _ in 1 2 3; do
  switches "$app_pid" >"$work/s0"; t0=$(date +%s%N)
  sleep "$stretch"
  switches "$app_pid" >"$work/s1"; t1=$(date +%s%N)
  s=$(wakeups_between "$work/s0" "$work/s1" 2)
  preempt=$((preempt + $(wakeups_between "$work/s0" "$work/s1" 3)))
  rates+=("$(awk -v s="$s" -v t=$((t1 - t0)) 'BEGIN { printf "%.2f", s * 1e9 / t }')")
done
echo "startup.bench.sh: idle: $preempt preemptions besides the wake-ups (load $(cut -d' ' -f1 /proc/loadavg))" >&2
kill -0 "$app_pid" 2>/dev/null || { echo "startup.bench.sh: the program ended while idle" >&2; exit 1; }
stop_program
total=$(awk -v a="${rates[0]}" -v b="${rates[1]}" -v c="${rates[2]}" 'BEGIN { printf "%.2f", (a + b + c) / 3 }')
read -r _ min max <<<"$(stats "${rates[@]}")"
echo "Wakeups@$tasks median_per_s=$total min_per_s=$min max_per_s=$max target_per_s=<=5"
