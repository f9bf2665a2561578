#!/usr/bin/env bash
# On demand: longer fuzz runs than the suite's (which gives each target a fixed seed and a few seconds).
#   scripts/fuzz.sh [seconds per target, default 300] [targets, default: options image shader]
# Builds build-fuzz with clang and libFuzzer, runs each target on its committed seeds plus the
# scratch corpus it grew before, and keeps any input that crashes (and each run's log) in
# build-fuzz/fuzz-findings/.
# A finding worth keeping goes into tests/fuzz/corpus/<target>/ once fixed, as a regression input.
# While a target runs, its progress (runs, coverage, corpus) shows every few seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(options image shader)
"$root/scripts/setup.sh"
BUILD_DIR=build-fuzz CXX=clang++ "$root/scripts/build.sh" -DLUMAROK_FUZZ=ON
if [ -z "${DISPLAY:-}" ]; then
  # The image and shader targets need a GL context; -noreset keeps the server up between clients.
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$seconds" "${targets[@]}"
fi
cd "$root/build-fuzz"
mkdir -p fuzz-findings
export SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1:suppressions=$root/tests/sanitizers/asan.supp
export LSAN_OPTIONS=suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0
status=0
# Where a run is, from libFuzzer's latest status line in its log: rewritten in place on a terminal,
# a plain line every 5 s otherwise.
show_progress() {
  local line
  line=$(grep -a -E '^#[0-9]+' "fuzz-findings/$1.log" | tail -n 1 | awk '{
    for (i = 2; i < NF; i++) { if ($i == "cov:") c = $(i + 1); if ($i == "corp:") k = $(i + 1); if ($i == "exec/s:") e = $(i + 1) }
    printf "%s runs, cov %s, corpus %s, %s runs/s", substr($1, 2), c, k, e }')
  if [ -t 1 ]; then
    printf '\r\033[Kfuzz: %s, %d of %d s: %s' "$1" "$2" "$seconds" "${line:-starting}"
  else
    printf 'fuzz: %s, %d of %d s: %s\n' "$1" "$2" "$seconds" "${line:-starting}"
  fi
}
every=5
[ -t 1 ] && every=1
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null' EXIT
for target in "${targets[@]}"; do
  mkdir -p "fuzz-corpus/$target"
  echo "== $target, $seconds s"
  ./tests/fuzz/lumarok_fuzz_"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
    -malloc_limit_mb=1048576 -print_final_stats=1 -artifact_prefix="fuzz-findings/$target-" \
    "fuzz-corpus/$target" "$root/tests/fuzz/corpus/$target" >"fuzz-findings/$target.log" 2>&1 &
  pid=$!
  start=$SECONDS
  while kill -0 "$pid" 2>/dev/null; do
    sleep "$every"
    kill -0 "$pid" 2>/dev/null && show_progress "$target" $((SECONDS - start))
  done
  [ -t 1 ] && printf '\r\033[K'
  rc=0
  wait "$pid" || rc=$?
  pid=""
  grep -E "^(Done|stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb))|ERROR|SUMMARY|Test unit written" \
    "fuzz-findings/$target.log" || true
  [ $rc -eq 0 ] || status=1
done
exit $status
