#!/usr/bin/env bash
# Remakes the golden frames of tests/golden after a deliberate change to what the demo draws:
# runs lumarok-capture once for each run of tests/golden/scenarios.json and writes NAME.png there.
# Look at the new pictures (and git diff --stat tests/golden) before committing them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-build}
"$root/scripts/setup.sh"
BUILD_DIR="$build_dir" "$root/scripts/build.sh"
golden="$root/tests/golden"
# One line of capture options per run of scenarios.json.
jq -r '.runs[] | [
    "--size", .size, "--shots", (.shots | map("\(.frame):\(.name)") | join(",")),
    (if (.keys | length) > 0 then "--keys", (.keys | map("\(.frame):\(.key)") | join(",")) else empty end),
    (if .singleSample then "--single-sample" else empty end)
  ] | @sh' "$golden/scenarios.json" |
  while read -r options; do
    eval "args=($options)"
    "$root/$build_dir/lumarok-capture" "${args[@]}" --out "$golden"
  done
