#!/usr/bin/env bash
# Draws lumarok-bench's JSON as the README's chart: per window size, the median frame time of each
# mode as a bar with a whisker up to the 95th percentile, the floor as the last, grey bar.
#   scripts/chart.sh [bench JSON, default build/bench.json] [chart, default docs/bench.svg]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
json=${1:-$root/build/bench.json}
chart=${2:-$root/docs/bench.svg}
"$root/scripts/setup.sh" --pictures
[ -f "$json" ] || { echo "chart: no $json (make it with lumarok-bench --json $json)"; exit 1; }
data=$(mktemp)
trap 'rm -f "$data"' EXIT
# One row per size: its label, then median, median and p95 of each mode (a bar and its whisker).
jq -r '(.sizes[0].modes | keys_unsorted) as $modes | .sizes[] |
  ["\(.width)x\(.height)"] + [$modes[] as $m | .modes[$m] | "\(.median_ms) \(.median_ms) \(.p95_ms)"] | join(" ")' \
  "$json" >"$data"
modes=$(jq -r '.sizes[0].modes | keys_unsorted | join(" ")' "$json")
renderer=$(jq -r '"\(.renderer), \(.cores) cores, \(.frames) frames per mode"' "$json")
colours=""
for mode in $modes; do
  case $mode in
    off) colours+=" #4e79a7" ;; on) colours+=" #e15759" ;; shadows) colours+=" #76b7b2" ;;
    reflection) colours+=" #59a14f" ;; blur) colours+=" #edc948" ;; *) colours+=" #9d9d9d" ;;
  esac
done
gnuplot <<GNUPLOT
set terminal svg size 800,420 dynamic font "sans,12" background rgb "white"
set output "$chart"
set title "Frame time per window size and mode (bar: median, whisker: 95th percentile)\n{/*0.8 $renderer}" enhanced
set ylabel "ms per frame"
set style data histograms
set style histogram errorbars gap 1.5 lw 1
set style fill solid 0.9 border rgb "#555555"
set grid ytics
set yrange [0:*]
set key outside right top
modes = "$modes"
colours = "$colours"
plot for [i=1:words(modes)] "$data" using (column(3*i-1)):(column(3*i)):(column(3*i+1)):xtic(1) \
  title word(modes, i) lc rgb word(colours, i)
GNUPLOT
echo "chart: $chart"
