#!/usr/bin/env bash
# On demand: a long soak of the demo's frames (lumarok-soak, 100000 frames at 160x120 unless other
# arguments are given), sampling resident memory and frame time every 1000 frames. Fails when
# resident memory grows more than the bound (1024 KB) after the warm-up; the summary also gives
# the frame-time ratio of the last fifth of the run to the first. The samples go to <build>/soak.log,
# where the run is to the terminal as it runs, and the summary to both.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-build}
"$root/scripts/setup.sh"
BUILD_DIR=$build "$root/scripts/build.sh"
log="$root/$build/soak.log"
status=0
"$root/$build/lumarok-soak" "$@" >"$log" || status=$?
grep '^soak:' "$log" || tail -n 5 "$log"
echo "soak: samples in $log"
exit $status
