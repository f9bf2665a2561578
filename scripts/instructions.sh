#!/usr/bin/env bash
# Instructions per frame under cachegrind: the steady figure for weighing one shader against another,
# where frame times on a shared machine vary by 15 % from run to run. The capture tool draws the
# frames at 512x384 with llvmpipe on the main thread alone (LP_NUM_THREADS=0), so that every
# instruction of the driver is counted; a mode's figure is the difference between 13 frames and 3,
# over 10 (start-up and the shaders' compilation fall out). About a minute per mode.
#   scripts/instructions.sh [--shaders DIR] [MODE...]    (modes: off on blur shadows reflection)
# --shaders DIR measures the shader files in DIR in place of the build's. BUILD_DIR as for build.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" --measure
[ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
build=$root/${BUILD_DIR:-build}
shaders=""
if [ "${1:-}" = --shaders ]; then
  shaders=$(cd "$2" && pwd)
  shift 2
fi
modes=("$@")
[ ${#modes[@]} -gt 0 ] || modes=(off on)
BUILD_DIR=${BUILD_DIR:-build} "$root/scripts/build.sh" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The capture tool reads shaders/ and res/ beside itself: a copy of them, with the shaders asked for.
cp "$build/lumarok-capture" "$work/"
cp -r "$build/shaders" "$build/res" "$work/"
[ -z "$shaders" ] || cp "$shaders"/*.txt "$work/shaders/"

count() {  # frames keys -> instructions of the whole run
  (cd "$work" && LP_NUM_THREADS=0 MESA_SHADER_CACHE_DISABLE=true SDL_AUDIODRIVER=dummy \
    valgrind --tool=cachegrind --cache-sim=no --cachegrind-out-file=/dev/null \
    ./lumarok-capture --size 512x384 --frames "$1" ${2:+--keys "$2"} --out "$work/out" 2>&1 >/dev/null) |
    sed -n 's/.*I *refs: *//p' | tr -d ,
}
for mode in "${modes[@]}"; do
  case $mode in
    off) keys="" ;; on) keys=1:s,1:t,1:b ;; blur) keys=1:b ;; shadows) keys=1:s ;; reflection) keys=1:t ;;
    *) echo "instructions: unknown mode $mode" >&2; exit 2 ;;
  esac
  long=$(count 13 "$keys") short=$(count 3 "$keys")
  printf '%-10s %6.2f M instructions per frame\n' "$mode" "$(echo "($long - $short) / 10000000" | bc -l)"
done
