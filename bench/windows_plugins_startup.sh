#!/usr/bin/env bash
# Start-up to the main window with ten Windows plug-ins in the registry's plug-in folder, with
# the per-user cache of plug-in information cold (removed before every run) and warm, against
# start-up with that folder empty. Run from the source tree after building into build/:
#   bench/windows_plugins_startup.sh [RUNS]
# Each figure is the median wall time of RUNS whole runs (default 11) of build/startup_bench on
# Qt's offscreen platform, in Gazorin's own Wine prefix (made by the tests or the first use).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}
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
time_runs() { # FOLDER COLD
  printf '[\\Software\\Pelowind\\Susie\\Plug-in]\nPath=sz:%s\n' "$1" > "$work/registry"
  for _ in $(seq "$runs"); do
    [ "$2" = cold ] && rm -rf "$work/cache/gazorin"
    local start end
    start=$(date +%s%N)
    GAZORIN_REGISTRY=$work/registry build/startup_bench 2>/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
  done | median
}
time_runs "$work/none" warm > /dev/null # warm-up
none=$(time_runs "$work/none" warm)
warm=$(time_runs "$work/ten" warm)
cold=$(time_runs "$work/ten" cold)
echo "start-up to the main window, median of $runs runs (ms):"
echo "  no Windows plug-ins:                      $none"
echo "  ten Windows plug-ins, warm cache:         $warm (+$((warm - none)))"
echo "  ten Windows plug-ins, cold cache:         $cold (+$((cold - none)))"
