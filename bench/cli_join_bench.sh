#!/usr/bin/env bash
# gazorin-cli against vips arrayjoin and ImageMagick on the same pictures, in the same run:
#   (a) 4 photos of 3000 x 2000 in a row
#   (b) 10 photos of 4000 x 3000 in a row
#   (c) 100 screenshots of 640 x 480 (PNG) in a 10 x 10 grid
# each written as JPEG (quality 85 for all three) and as PNG (each tool's own defaults), the
# three tools taking turns run after run; then the memory cases, gazorin-cli and vips only:
#   (d) twelve 8000 x 8000 baseline JPEGs in a row written as PNG (96000 x 8000), reopened by
#       gazorin-cli afterwards
#   (e) eight of them written as JPEG (64000 x 8000)
#   (f) nine of them asked for as JPEG (72000 x 8000): refused before any picture is read
# Prints the median wall time, CPU time and peak memory of each, and gazorin-cli's ratios.
#
#   bench/cli_join_bench.sh [build-dir] [runs]        (runs: at least 3, default 3)
#   BENCH_CASES="a b c d e f" selects cases; BENCH_WORK=folder keeps the pictures between calls.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
runs=${2:-3}
cli="$build/gazorin-cli"
magick=/usr/bin/convert # ImageMagick itself, not a wrapper of the same name elsewhere on PATH
cases=${BENCH_CASES:-a b c d e f}
[ -x "$cli" ] || { echo "build gazorin-cli first ($cli)"; exit 1; }
[ "$runs" -ge 3 ] || { echo "at least 3 runs"; exit 1; }
need=()
command -v vips >/dev/null || need+=(libvips-tools)
[ -x "$magick" ] || need+=(imagemagick)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
  sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

if [ -n "${BENCH_WORK:-}" ]; then
  work=$BENCH_WORK; mkdir -p "$work"
else
  work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
fi
cd "$work"
# Debian's ImageMagick policy refuses pictures wider than 16000 pixels and moves anything above
# 256 MiB to a disk cache; give it room like the others.
cat > policy.xml <<'POLICY'
<policymap>
  <policy domain="resource" name="width" value="128KP"/>
  <policy domain="resource" name="height" value="128KP"/>
  <policy domain="resource" name="area" value="2GP"/>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="disk" value="16GiB"/>
</policymap>
POLICY
export MAGICK_CONFIGURE_PATH=$work

# ---- pictures ----
photo() { # name width height seed
  [ -f "$1" ] || "$magick" -seed "$4" -size "$2x$3" plasma: -quality 90 "$1"
}
for i in 0 1 2 3; do photo "a$i.jpg" 3000 2000 "$((i + 10))"; done
for i in 0 1 2 3 4 5 6 7 8 9; do photo "b$i.jpg" 4000 3000 "$i"; done
# Screenshots: a title bar, a side bar, text and a few boxes, different in each.
for i in $(seq -w 0 99); do
  [ -f "s$i.png" ] && continue
  n=$((10#$i))
  "$magick" -size 640x480 xc:'#f3f3f3' \
    -fill "rgb($((40 + n)),$((80 + n % 50)),160)" -draw 'rectangle 0,0 639,28' \
    -fill '#dddddd' -draw "rectangle 0,29 $((120 + n % 40)),479" \
    -fill "rgb(200,$((100 + n)),90)" -draw "rectangle $((200 + n)),$((80 + n)) $((420 + n)),$((200 + n))" \
    -fill black -pointsize 13 \
    -draw "text 140,60 'Window $i: settings and results'" \
    -draw "text 140,260 'Row $((n * 7)) of the table, value $((n * 13 % 97)) %'" \
    -draw "text 140,300 'The quick brown fox jumps over the lazy dog $n'" \
    -fill white -draw "text 8,19 'Program $i'" "PNG24:s$i.png"
done
# 8000 x 8000 photos: six 4000 x 3000 photos tiled (each mirrored differently), cut to size.
if [[ " $cases " == *" d "* || " $cases " == *" e "* || " $cases " == *" f "* ]]; then
  for i in $(seq 0 11); do
    [ -f "m$i.jpg" ] && continue
    p() { echo "b$(( ($1 + i) % 10 )).jpg"; }
    "$magick" \( "$(p 0)" "$(p 1)" +append \) \( "$(p 2)" -flop "$(p 3)" +append \) \
      \( "$(p 4)" -flip "$(p 5)" +append \) -append -crop 8000x8000+0+0 +repage -quality 90 "m$i.jpg"
  done
fi

# ---- measuring ----
declare -A wall cpu mem
measure() { # key, command...: one run; its wall seconds, CPU seconds and peak KB are kept
  local key=$1; shift
  if ! /usr/bin/time -f "%e %U %S %M" -o t.txt "$@" >/dev/null 2>err.txt; then
    echo "$key failed:"; cat err.txt; exit 1
  fi
  read -r secs user sys kb < <(tail -n 1 t.txt)
  wall[$key]+="$secs "
  cpu[$key]+="$(awk -v u="$user" -v s="$sys" 'BEGIN{print u + s}') "
  mem[$key]+="$kb "
}
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{v[NR]=$1} END{print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }

# The three tools in turn, the order turned round every run.
compare() { # case, output kind, gazorin args..., --vips vips args..., --magick magick args...
  local c=$1 kind=$2; shift 2
  local g=() v=() m=() part=g
  for a in "$@"; do
    case $a in --vips) part=v ;; --magick) part=m ;;
      *) case $part in g) g+=("$a") ;; v) v+=("$a") ;; m) m+=("$a") ;; esac ;;
    esac
  done
  for run in $(seq "$runs"); do
    local order=(g v m); [ $((run % 2)) -eq 0 ] && order=(m v g)
    for t in "${order[@]}"; do
      case $t in
        g) measure "$c $kind gazorin-cli" "$cli" "${g[@]}" ;;
        v) if [ ${#v[@]} -gt 0 ]; then measure "$c $kind vips" vips "${v[@]}"; fi ;;
        m) if [ ${#m[@]} -gt 0 ]; then measure "$c $kind imagemagick" "$magick" "${m[@]}"; fi ;;
      esac
    done
  done
}

row() { # case, kind, expected size
  local c=$1 kind=$2 size=$3 line="| $1 | $2 |" ratios=""
  local gw gc gm
  gw=$(median <<< "${wall[$c $kind gazorin-cli]}"); gc=$(median <<< "${cpu[$c $kind gazorin-cli]}")
  gm=$(median <<< "${mem[$c $kind gazorin-cli]}")
  line+=$(printf ' %.2f s | %.2f s | %d MB |' "$gw" "$gc" $((${gm%.*} / 1024)))
  for peer in vips imagemagick; do
    if [ -n "${wall[$c $kind $peer]:-}" ]; then
      local pw pc pm
      pw=$(median <<< "${wall[$c $kind $peer]}"); pc=$(median <<< "${cpu[$c $kind $peer]}")
      pm=$(median <<< "${mem[$c $kind $peer]}")
      line+=$(printf ' %.2f s | %.2f s | %d MB |' "$pw" "$pc" $((${pm%.*} / 1024)))
      ratios+=$(awk -v a="$gw" -v b="$pw" -v c="$gm" -v d="$pm" 'BEGIN{printf " %.2f | %.2f |", a / b, c / d}')
    else
      line+=" – | – | – |"; ratios+=" – | – |"
    fi
  done
  echo "$line$ratios $size |"
}

check() { # file, width, height
  local got; got=$(vipsheader -f width "$1")x$(vipsheader -f height "$1")
  [ "$got" = "$2x$3" ] || { echo "$1 is $got, not $2x$3"; exit 1; }
}

a=(a0.jpg a1.jpg a2.jpg a3.jpg)
b=(b0.jpg b1.jpg b2.jpg b3.jpg b4.jpg b5.jpg b6.jpg b7.jpg b8.jpg b9.jpg)
s=(s*.png)
grid=()
for r in $(seq 0 9); do grid+=("(" "${s[@]:$((r * 10)):10}" "+append" ")"); done
m12=(m0.jpg m1.jpg m2.jpg m3.jpg m4.jpg m5.jpg m6.jpg m7.jpg m8.jpg m9.jpg m10.jpg m11.jpg)

echo "$(nproc) cores"
for c in $cases; do
  echo "case $c, load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  case $c in
    a|b)
      if [ "$c" = a ]; then files=("${a[@]}"); w=12000; h=2000; else files=("${b[@]}"); w=40000; h=3000; fi
      n=${#files[@]}
      compare "$c" jpeg "${files[@]}" --quality 85 -o g.jpg --vips arrayjoin "${files[*]}" "v.jpg[Q=85]" --across "$n" \
        --magick "${files[@]}" +append -quality 85 m.jpg
      compare "$c" png "${files[@]}" -o g.png --vips arrayjoin "${files[*]}" v.png --across "$n" \
        --magick "${files[@]}" +append m.png
      for f in g.jpg v.jpg m.jpg g.png v.png m.png; do check "$f" "$w" "$h"; done
      ;;
    c)
      compare c jpeg --across 10 "${s[@]}" --quality 85 -o g.jpg --vips arrayjoin "${s[*]}" "v.jpg[Q=85]" --across 10 \
        --magick "${grid[@]}" -append -quality 85 m.jpg
      compare c png --across 10 "${s[@]}" -o g.png --vips arrayjoin "${s[*]}" v.png --across 10 \
        --magick "${grid[@]}" -append m.png
      for f in g.jpg v.jpg m.jpg g.png v.png m.png; do check "$f" 6400 4800; done
      ;;
    d)
      compare d png "${m12[@]}" -o g.png --vips arrayjoin "${m12[*]}" v.png --across 12
      check g.png 96000 8000
      measure "d reopen gazorin-cli" "$cli" g.png -o again.png
      cmp <(tail -c +53 g.png) <(tail -c +53 again.png) || { echo "the reopened PNG differs"; exit 1; }
      rm -f g.png v.png again.png
      ;;
    e)
      compare e jpeg "${m12[@]:0:8}" --quality 85 -o g.jpg --vips arrayjoin "${m12[*]:0:8}" "v.jpg[Q=85]" --across 8
      check g.jpg 64000 8000
      rm -f g.jpg v.jpg
      ;;
    f)
      rm -f g.jpg
      if /usr/bin/time -f "%e %M" -o t.txt "$cli" "${m12[@]:0:9}" -o g.jpg >/dev/null 2>err.txt; then
        echo "a 72000 pixel wide JPEG was not refused"; exit 1
      fi
      [ ! -e g.jpg ] || { echo "the refused JPEG left a file"; exit 1; }
      read -r secs kb < <(tail -n 1 t.txt)
      refusal=$(printf '%.2f s, %d MB: %s' "$secs" $((kb / 1024)) "$(grep -v '^Command exited' err.txt | head -n 1)")
      ;;
  esac
  echo "case $c, load after: $(cut -d' ' -f1-3 /proc/loadavg)"
done
echo
echo "medians of $runs runs; ratios are gazorin-cli / peer (time: wall; memory: peak)"
echo
echo "| case | output | gazorin-cli wall | CPU | peak | vips wall | CPU | peak | ImageMagick wall | CPU | peak | time / vips | memory / vips | time / ImageMagick | memory / ImageMagick | output size |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
for c in $cases; do
  case $c in
    a) row a jpeg 12000x2000; row a png 12000x2000 ;;
    b) row b jpeg 40000x3000; row b png 40000x3000 ;;
    c) row c jpeg 6400x4800; row c png 6400x4800 ;;
    d) row d png 96000x8000
       printf '| d | reopen | %.2f s | %.2f s | %d MB | | | | | | | | | | | 96000x8000 PNG read, written again |\n' \
         "$(median <<< "${wall[d reopen gazorin-cli]}")" "$(median <<< "${cpu[d reopen gazorin-cli]}")" \
         $(( $(median <<< "${mem[d reopen gazorin-cli]}" | cut -d. -f1) / 1024 )) ;;
    e) row e jpeg 64000x8000 ;;
    f) echo; echo "f: nine 8000 x 8000 JPEGs to JPEG (72000 x 8000) refused in $refusal" ;;
  esac
done
