#!/usr/bin/env bash
# Start-up to the main window with ten Windows plug-ins in the registry's plug-in folder, with
# the per-user cache of plug-in information cold (removed before every run) and warm, against
# start-up with that folder empty. Run from the source tree after building into build/:
#   bench/windows_plugins_startup.sh [RUNS] [--new-prefix]
# Each figure is the median of RUNS runs (default 11) of build/startup_bench on Qt's offscreen
# platform, in Gazorin's own Wine prefix (made by the tests or the first use), from the moment
# the process is started to its main window being exposed. Cold runs also give the time until
# the Windows plug-ins, loaded in the background, are in the plug-in list and the registry, and
# the start-up of a program that waits for Wine before its window (as gazorin-cli reads).
# --new-prefix adds three cold runs that each make a new Wine prefix, as the very first use does.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}
new_prefix=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/none" "$work/ten" "$work/cache"
i=0
for copy in 1 2 3; do
  for plugin in build/windows-plugins/*; do
    [ $i -lt 10 ] || break
    cp "$plugin" "$work/ten/w$copy-$(basename "$plugin")"
    i=$((i + 1))
  done
done
export GAZORIN_WINEPREFIX=${GAZORIN_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/gazorin/wine}
export QT_QPA_PLATFORM=offscreen XDG_CACHE_HOME=$work/cache

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
# Prints one line per run: milliseconds to the window [, to the Windows plug-ins].
run() { # FOLDER COLD [--wait-for-plugins | --wait-at-start]
  printf '[\\Software\\Pelowind\\Susie\\Plug-in]\nPath=sz:%s\n' "$1" > "$work/registry"
  for _ in $(seq "$runs"); do
    [ "$2" = cold ] && rm -rf "$work/cache/gazorin"
    GAZORIN_BENCH_T0_NS=$(date +%s%N) GAZORIN_REGISTRY=$work/registry build/startup_bench ${3:-} 2>/dev/null
  done
}
run "$work/none" warm > /dev/null # warm-up
none=$(run "$work/none" warm | median)
run "$work/ten" warm --wait-for-plugins > /dev/null # fills the cache
warm=$(run "$work/ten" warm | median)
cold=$(run "$work/ten" cold | median)
cold_waiting=$(run "$work/ten" cold --wait-at-start | median)
cold_runs=$(run "$work/ten" cold --wait-for-plugins)
cold_window=$(awk '{ print $1 }' <<< "$cold_runs" | median)
cold_plugins=$(awk '{ print $2 }' <<< "$cold_runs" | median)
echo "start-up to the main window, median of $runs runs (ms):"
echo "  no Windows plug-ins:                      $none"
echo "  ten Windows plug-ins, warm cache:         $warm (+$((warm - none)))"
echo "  ten Windows plug-ins, cold cache:         $cold (+$((cold - none)))"
echo "  ten Windows plug-ins, cold cache, until they are registered in the background:"
echo "    main window $cold_window, plug-ins $cold_plugins"
echo "  ten Windows plug-ins, cold cache, waiting for Wine before the window (as gazorin-cli): $cold_waiting"
if [ "$new_prefix" = --new-prefix ]; then
  firsts=$(runs=1; for n in 1 2 3; do
    GAZORIN_WINEPREFIX=$work/prefix$n run "$work/ten" cold --wait-for-plugins
    rm -rf "$work/prefix$n"
  done)
  waited=$(runs=1; for n in 1 2 3; do
    GAZORIN_WINEPREFIX=$work/prefix$n run "$work/ten" cold --wait-at-start
    rm -rf "$work/prefix$n"
  done)
  echo "  ten Windows plug-ins, cold cache and a new Wine prefix (median of 3):"
  echo "    main window $(awk '{ print $1 }' <<< "$firsts" | median), plug-ins $(awk '{ print $2 }' <<< "$firsts" | median)"
  echo "    waiting for Wine before the window: $(median <<< "$waited")"
fi
