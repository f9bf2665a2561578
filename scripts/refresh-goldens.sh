#!/usr/bin/env bash
# Remakes the golden frames of tests/golden after a deliberate change to what the demo draws:
# runs lumarok-capture once for each line of tests/golden/scenarios.txt and writes NAME.png there.
# Look at the new pictures (and git diff --stat tests/golden) before committing them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-build}
"$root/scripts/setup.sh"
BUILD_DIR="$build_dir" "$root/scripts/build.sh"
golden="$root/tests/golden"
size=""
while read -r first second options; do
  case "$first" in ''|'#'*) continue ;; esac
  if [ "$first" = size ]; then size=$second; continue; fi
  args=(--size "$size" --shots "$second" --out "$golden")
  [ "$first" != - ] && args+=(--keys "$first")
  # shellcheck disable=SC2206 # further options are plain words
  args+=($options)
  "$root/$build_dir/lumarok-capture" "${args[@]}"
done <"$golden/scenarios.txt"
