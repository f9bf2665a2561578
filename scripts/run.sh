#!/usr/bin/env bash
# Sets up, builds and runs the demo from its run directory; options pass through (-f, -w, -h, -l).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "$root/build"
[ $# -eq 0 ] && set -- -f
if [ -z "${DISPLAY:-}" ]; then
  # Nobody could see a window: run the demo's own frames through the capture tool instead, pressing
  # s, t, b and p on the way, and leave pictures and an animation in build/captures (it prints each
  # file).
  echo "run: no DISPLAY, so lumarok-capture runs the demo on a virtual display and saves pictures"
  size=()
  w=""; h=""
  while [ $# -gt 0 ]; do
    case "$1" in -w) w=${2:-}; shift ;; -h) h=${2:-}; shift ;; esac
    shift
  done
  [ -n "$w" ] && [ -n "$h" ] && size=(--size "${w}x${h}")
  ./lumarok-capture "${size[@]}" --keys 120:s,240:t,360:b,480:p --shots 100,200,300,400,600 \
    --animation 300-700:demo.gif --animation-step 2 --animation-width 480 --out captures
  echo "run: the animation is $root/build/captures/demo.gif"
  exit 0
fi
exec ./lumarok "$@"
