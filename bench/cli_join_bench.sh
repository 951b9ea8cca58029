#!/usr/bin/env bash
# Joins ten 4000 x 3000 JPEG photos into one row and writes a PNG, with gazorin-cli and, in the
# same run, with vips arrayjoin and ImageMagick +append; prints wall time and peak memory of
# each and the ratios of gazorin-cli against the two peers.
#   bench/cli_join_bench.sh [build-dir]      (installs the peers from Debian when missing)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
cli="$build/gazorin-cli"
[ -x "$cli" ] || { echo "build gazorin-cli first ($cli)"; exit 1; }
need=()
command -v vips >/dev/null || need+=(libvips-tools)
command -v convert >/dev/null || need+=(imagemagick)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
  sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cd "$work"
# Debian's ImageMagick policy refuses pictures wider than 16000 pixels and moves anything above
# 256 MiB to a 1 GiB disk cache, so the 40000 x 3000 row fails; give it room like the others.
cat > policy.xml <<'POLICY'
<policymap>
  <policy domain="resource" name="width" value="64KP"/>
  <policy domain="resource" name="height" value="64KP"/>
  <policy domain="resource" name="area" value="1GP"/>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="disk" value="16GiB"/>
</policymap>
POLICY
export MAGICK_CONFIGURE_PATH=$work
for i in 0 1 2 3 4 5 6 7 8 9; do
  convert -seed "$i" -size 4000x3000 "plasma:" -quality 90 "photo$i.jpg"
done
photos=(photo0.jpg photo1.jpg photo2.jpg photo3.jpg photo4.jpg photo5.jpg photo6.jpg photo7.jpg photo8.jpg photo9.jpg)

measure() { # name, command...: best wall seconds and its peak KB over 3 runs
  local name=$1; shift
  local best="" bestkb=""
  for run in 1 2 3; do
    if ! /usr/bin/time -f "%e %M" -o t.txt "$@" >/dev/null 2>err.txt; then
      echo "$name failed:"; cat err.txt; exit 1
    fi
    read -r secs kb < <(tail -n 1 t.txt)
    if [ -z "$best" ] || awk "BEGIN{exit !($secs < $best)}"; then best=$secs; bestkb=$kb; fi
  done
  printf '%-12s %8.2f s %8d MB\n' "$name" "$best" $((bestkb / 1024))
  eval "${name//-/_}_s=$best; ${name//-/_}_kb=$bestkb"
}

# Fast PNG settings are not comparable across tools; each writes PNG with its defaults.
measure gazorin-cli "$cli" "${photos[@]}" -o g.png
measure vips vips arrayjoin "${photos[*]}" v.png --across 10
measure imagemagick convert "${photos[@]}" +append m.png

for out in g.png v.png m.png; do vipsheader "$out"; done # all three must be 40000 x 3000
echo
awk -v g="$gazorin_cli_s" -v v="$vips_s" -v m="$imagemagick_s" \
    -v gk="$gazorin_cli_kb" -v vk="$vips_kb" -v mk="$imagemagick_kb" 'BEGIN {
  printf "time   gazorin-cli / vips = %.2f   gazorin-cli / imagemagick = %.2f\n", g / v, g / m
  printf "memory gazorin-cli / vips = %.2f   gazorin-cli / imagemagick = %.2f\n", gk / vk, gk / mk
}'
