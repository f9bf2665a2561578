#!/usr/bin/env bash
# Draws lumarok-bench's JSON as the README's chart: one panel per window size, each on its own scale,
# with the median frame time of every mode as a bar and the floor as the last, grey bar.
#   scripts/chart.sh [bench JSON, default build/bench.json] [chart, default docs/bench.svg]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
json=${1:-$root/build/bench.json}
chart=${2:-$root/docs/bench.svg}
"$root/scripts/setup.sh" --pictures
[ -f "$json" ] || { echo "chart: no $json (make it with lumarok-bench --json $json)"; exit 1; }
data=$(mktemp)
trap 'rm -f "$data"' EXIT
# One row per size: its label, then the median of each mode.
jq -r '(.sizes[0].modes | keys_unsorted) as $modes | .sizes[] |
  ["\(.width)x\(.height)"] + [$modes[] as $m | .modes[$m].median_ms | tostring] | join(" ")' "$json" >"$data"
modes=$(jq -r '.sizes[0].modes | keys_unsorted | join(" ")' "$json")
sizes=$(jq -r '[.sizes[] | "\(.width)x\(.height)"] | join(" ")' "$json")
renderer=$(jq -r '"\(.renderer), \(.cores) cores, \(.frames) frames per mode"' "$json")
colours=""
for mode in $modes; do
  case $mode in
    off) colours+=" #4e79a7" ;; on) colours+=" #e15759" ;; shadows) colours+=" #76b7b2" ;;
    reflection) colours+=" #59a14f" ;; blur) colours+=" #edc948" ;; *) colours+=" #9d9d9d" ;;
  esac
done
gnuplot <<GNUPLOT
set terminal svg size 880,380 dynamic font "sans,12" background rgb "white"
set output "$chart"
modes = "$modes"
colours = "$colours"
sizes = "$sizes"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.9 border rgb "#555555"
set grid ytics
set yrange [0:*]
set xtics format ""
set xtics scale 0
set xrange [-0.55:0.55]
set key off
set multiplot layout 1, words(sizes) margins 0.05, 0.83, 0.08, 0.76 spacing 0.05 title "Median frame time in ms per window size and mode; the grey bar is the floor\n{/*0.8 $renderer}" enhanced
do for [r = 1:words(sizes)] {
  set title word(sizes, r)
  if (r == words(sizes)) { set key at screen 0.99, 0.76 right top }
  plot for [i = 1:words(modes)] "$data" every ::(r - 1)::(r - 1) using (column(i + 1)) title word(modes, i) \
    lc rgb word(colours, i)
}
unset multiplot
GNUPLOT
echo "chart: $chart"
