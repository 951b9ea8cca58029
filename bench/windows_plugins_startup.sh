#!/usr/bin/env bash
# Start-up to the main window with ten Windows plug-ins in the registry's plug-in folder, with
# the per-user cache of plug-in information cold (removed before every run) and warm, against
# start-up with that folder empty. Run from the source tree after building into build/:
#   bench/windows_plugins_startup.sh [ROUNDS] [--new-prefix]
# Each round runs build/startup_bench once in every case, one case after the other, so that a
# machine whose load drifts weighs on every case alike; figures are medians over ROUNDS
# (default 11), and the ratios are medians of each round's own ratio. Qt's offscreen platform,
# in Gazorin's own Wine prefix (made by the tests or the first use); before a case that starts
# Wine, the Wine server of that prefix is let go, as on a first start of the day. Times run
# from the moment the process is started to its main window being exposed. Cold starts also
# give the time until the Windows plug-ins, loaded in the background, are in the plug-in list
# and the registry, and the start-up of a program that waits for Wine before its window (as
# gazorin-cli reads). --new-prefix adds three cold starts that each make a new Wine prefix, as
# the very first use does.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-11}
new_prefix=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/none" "$work/ten" "$work/warm" "$work/cold"
i=0
for copy in 1 2 3; do
  for plugin in build/windows-plugins/*; do
    [ $i -lt 10 ] || break
    cp "$plugin" "$work/ten/w$copy-$(basename "$plugin")"
    i=$((i + 1))
  done
done
for folder in none ten; do
  printf '[\\Software\\Pelowind\\Susie\\Plug-in]\nPath=sz:%s\n' "$work/$folder" > "$work/registry-$folder"
done
export GAZORIN_WINEPREFIX=${GAZORIN_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/gazorin/wine}
export QT_QPA_PLATFORM=offscreen

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
# Waits (up to ten seconds) for the Wine server of the prefix in use to end, so that the next
# start has to start it. The server works in a folder named after the prefix's device and inode.
wine_server_gone() {
  local folder pid busy
  folder=$(printf 'server-%x-%x' $(stat -c '%d %i' "$GAZORIN_WINEPREFIX"))
  for _ in $(seq 100); do
    busy=
    for pid in $(pgrep -x wineserver64; pgrep -x wineserver32); do
      [ "$(basename "$(readlink "/proc/$pid/cwd" 2> /dev/null)")" = "$folder" ] && busy=1
    done
    [ -z "$busy" ] && return 0
    sleep 0.1
  done
}
# Prints milliseconds to the window [, to the Windows plug-ins].
start() { # FOLDER CACHE [--wait-for-plugins | --wait-at-start]
  [ "$2" = cold ] && rm -rf "$work/cold/gazorin"
  GAZORIN_BENCH_T0_NS=$(date +%s%N) XDG_CACHE_HOME=$work/$2 GAZORIN_REGISTRY=$work/registry-$1 \
    build/startup_bench ${3:-} 2> /dev/null
}

start none warm > /dev/null # warm-up, and the caches of fonts
start none cold > /dev/null
start ten warm --wait-for-plugins > /dev/null # fills the cache
for _ in $(seq "$rounds"); do
  start none warm >> "$work/none.txt"
  start ten warm >> "$work/warm.txt"
  start ten cold >> "$work/cold.txt"
  wine_server_gone
  start ten cold --wait-for-plugins >> "$work/background.txt"
  wine_server_gone
  start ten cold --wait-at-start >> "$work/waiting.txt"
done
figure() { awk "{ print \$${2:-1} }" "$work/$1.txt" | median; }
ratio() { paste "$work/$1.txt" "$work/none.txt" | awk '{ printf "%.2f\n", $1 / $NF }' | median; }
none=$(figure none) warm=$(figure warm) cold=$(figure cold)
echo "start-up to the main window, median of $rounds rounds (ms; ratio to no Windows plug-ins):"
echo "  no Windows plug-ins:                      $none"
echo "  ten Windows plug-ins, warm cache:         $warm ($(printf %+d $((warm - none))); $(ratio warm))"
echo "  ten Windows plug-ins, cold cache:         $cold ($(printf %+d $((cold - none))); $(ratio cold))"
echo "  ten Windows plug-ins, cold cache, until they are registered in the background:"
echo "    main window $(figure background), plug-ins $(figure background 2)"
echo "  ten Windows plug-ins, cold cache, waiting for Wine before the window (as gazorin-cli):" \
  "$(figure waiting) ($(ratio waiting))"
if [ "$new_prefix" = --new-prefix ]; then
  for n in 1 2 3; do
    GAZORIN_WINEPREFIX=$work/prefix$n start ten cold --wait-for-plugins >> "$work/first.txt"
    GAZORIN_WINEPREFIX=$work/prefix$n wine_server_gone
    rm -rf "$work/prefix$n"
    GAZORIN_WINEPREFIX=$work/prefix$n start ten cold --wait-at-start >> "$work/first-waiting.txt"
    GAZORIN_WINEPREFIX=$work/prefix$n wine_server_gone
    rm -rf "$work/prefix$n"
  done
  echo "  ten Windows plug-ins, cold cache and a new Wine prefix (median of 3):"
  echo "    main window $(figure first), plug-ins $(figure first 2)"
  echo "    waiting for Wine before the window: $(figure first-waiting)"
fi
