#!/usr/bin/env bash
# program_target.sh <source-dir>
# The README's run command builds the "program" preset. On a fresh tree that
# must make the whole program folder (program, both modules, help page), so the
# program runs complete, and nothing of the tests, benchmarks or fuzzers, so
# the first start does not wait for them. Checked on a fresh configure, whose
# command list for the target is every step a fresh clone would take.
set -euo pipefail
src=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

grep -q '^cmake --build --preset program$' "$src/scripts/run" || fail "scripts/run does not build the program preset"
target=$(sed -n '/"name": "program"/,/}/s/.*"targets": \["\([^"]*\)"\].*/\1/p' "$src/CMakePresets.json")
[ -n "$target" ] || fail "no build preset \"program\" with a target"

cmake -S "$src" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
steps=$(ninja -C "$tree" -t commands "$target")
all=$(ninja -C "$tree" -t commands all | wc -l)

for out in bin/zvonarka bin/zvsounds.so bin/zvpower.so bin/help/help.htm; do
  grep -qF -- "$out" <<<"$steps" || fail "the program preset does not make $out"
done
# Nothing compiled or linked for the tests, benchmarks, fuzzers or icon painter.
bad=$(grep -E '(^| |/)(tests|bench|fuzz)/|zv_drawicon' <<<"$steps" || true)
[ -z "$bad" ] || fail "the program preset builds more than the program: $(head -3 <<<"$bad" | cut -c1-160)"
echo "program preset: $(wc -l <<<"$steps") steps of $all for everything"
