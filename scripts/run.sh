#!/usr/bin/env bash
# Sets up, builds and runs the demo from its run directory; options pass through (-f, -w, -h, -l).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "$root/build"
[ $# -eq 0 ] && set -- -f
if [ -z "${DISPLAY:-}" ]; then
  echo "run: no DISPLAY, starting the demo on a virtual display (Xvfb)"
  exec xvfb-run -a -s "-noreset -screen 0 1280x1024x24" ./lumarok "$@"
fi
exec ./lumarok "$@"
