#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite; GL tests get a virtual display when there is none.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "$root/build"
export SDL_AUDIODRIVER=dummy
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-noreset -screen 0 1280x1024x24" ctest --output-on-failure -j2 "$@"
fi
exec ctest --output-on-failure -j2 "$@"
