#!/usr/bin/env bash
# A fuzzing campaign: builds the libFuzzer targets in build-fuzz and runs each target named on
# the command line (all of them when none is) for RUNS executions (two million unless set), one
# after the other at the lowest priority. Each target grows its working corpus in
# fuzz/corpus-NAME/ from its seeds and regression files; findings land in build-fuzz/findings/,
# logs in build-fuzz/campaign/, and one summary line per target in build-fuzz/campaign/summary.
# TIMEOUT (seconds, 10 unless set) is how long one input may run before it counts as a finding;
# raise it when the machine is busy, so that a starved run does not end the target. FLAGS adds
# libFuzzer options, e.g. FLAGS=-entropic=0 where the feature bookkeeping costs more than the
# target itself (join: from about 280 to 430 executions a second).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-2000000}
timeout=${TIMEOUT:-10}
read -r -a flags <<<"${FLAGS:-}"

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DGAZORIN_BUILD_FUZZ=ON -DGAZORIN_BUILD_GUI=OFF \
  -DGAZORIN_BUILD_TESTS=OFF -DGAZORIN_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice -n 19 cmake --build build-fuzz -j1 >/dev/null

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for f in build-fuzz/fuzz/*.inputs; do targets+=("$(basename "$f" .inputs)"); done
fi
mkdir -p build-fuzz/findings build-fuzz/campaign
export LSAN_OPTIONS=suppressions=$PWD/tools/lsan-suppressions.txt:print_suppressions=0
for name in "${targets[@]}"; do
  seeds=()
  while read -r folder; do [ -d "$folder" ] && seeds+=("$folder"); done <"build-fuzz/fuzz/$name.inputs"
  corpus="fuzz/corpus-$name"
  mkdir -p "$corpus"
  log="build-fuzz/campaign/$name.log"
  status=ok
  nice -n 19 "build-fuzz/${name}_fuzzer" -runs="$runs" -timeout="$timeout" -print_final_stats=1 "${flags[@]}" \
    -artifact_prefix="build-fuzz/findings/$name-" "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=finding
  coverage=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  echo "$name status=$status execs=${execs:-?} exec/s=${speed:-?} ${coverage:-cov: ?}" |
    tee -a build-fuzz/campaign/summary
done
