#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite three ways: the plain build (build/), the same unit,
# GL and end-to-end tests built with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/),
# and a short bounded run of each fuzz target (build-fuzz/, clang with libFuzzer); then the web page
# (build-web/) in headless Chromium (tests/web), and the Windows build (build-win/) under Wine. Any
# test failure or sanitizer report fails the run. Without a display the tests run on a virtual one
# (Xvfb). Arguments go to every ctest run (e.g. -R Options, -L unit). BUILD_DIR, ASAN_BUILD_DIR,
# FUZZ_BUILD_DIR, WEB_BUILD_DIR and WINDOWS_BUILD_DIR name other build directories.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-build}
asan_build=${ASAN_BUILD_DIR:-build-asan}
fuzz_build=${FUZZ_BUILD_DIR:-build-fuzz}
web_build=${WEB_BUILD_DIR:-build-web}
win_build=${WINDOWS_BUILD_DIR:-build-win}

# Each stage's line says how long the run has taken so far, so a slow stage shows where it is.
start=${LUMAROK_TESTS_START:-$(date +%s)}
export LUMAROK_TESTS_START=$start
stage() { echo "== $1 (at $(($(date +%s) - start)) s)"; }

if [ -z "${LUMAROK_TESTS_BUILT:-}" ]; then
  stage "set-up and builds"
  "$root/scripts/setup.sh" --web
  BUILD_DIR=$build "$root/scripts/build.sh"
  BUILD_DIR=$asan_build "$root/scripts/build.sh" -DLUMAROK_SANITIZE=ON
  BUILD_DIR=$fuzz_build CXX=clang++ "$root/scripts/build.sh" -DLUMAROK_FUZZ=ON
  WEB_BUILD_DIR=$root/$web_build "$root/scripts/web.sh" --build
  WINDOWS_BUILD_DIR=$root/$win_build "$root/scripts/windows.sh" --build
  # The browser test's two npm packages, as package-lock.json pins them; the browser is Debian's.
  (cd "$root/tests/web" && npm ci --no-audit --no-fund --loglevel=error)
fi
export SDL_AUDIODRIVER=dummy
if [ -z "${DISPLAY:-}" ]; then
  # -noreset: Xvfb otherwise resets whenever its last client leaves, refusing the next test's
  # connection for a moment ("Couldn't open X11 display").
  LUMAROK_TESTS_BUILT=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi

failed=()

stage "tests ($build)"
(cd "$root/$build" && ctest --output-on-failure -j2 "$@") || failed+=("$build")

stage "tests under AddressSanitizer and UndefinedBehaviorSanitizer ($asan_build)"
# Reports go to files as well as failing their process, so one from a child process that a test
# does not look at (the demo, a tool) still fails the run.
logs="$root/$asan_build/sanitizer-logs"
rm -rf "$logs" && mkdir -p "$logs"
(
  cd "$root/$asan_build"
  export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:suppressions=$root/tests/sanitizers/asan.supp:log_path=$logs/asan"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$logs/ubsan"
  export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
  # LeakSanitizer's tracer now and then crashes while it stops llvmpipe's threads at exit ("Tracer
  # caught signal 11 ... LeakSanitizer has encountered a fatal error"): no finding, just no check.
  # A test that failed that way runs once more; its log is dropped below.
  ctest --output-on-failure -j2 --repeat until-pass:2 "$@"
) || failed+=("$asan_build")
for f in "$logs"/*; do
  [ -e "$f" ] || continue
  if grep -q "LeakSanitizer has encountered a fatal error" "$f" && ! grep -q -E "ERROR: |runtime error" "$f"; then
    echo "note: LeakSanitizer's tracer failed in one run ($(basename "$f")); that test ran again"
    rm -f "$f"
  fi
done
if [ -n "$(ls -A "$logs")" ]; then
  for f in "$logs"/*; do
    echo "--- $f"
    cat "$f"
  done
  failed+=("sanitizer reports")
fi

stage "fuzz targets, bounded runs ($fuzz_build)"
(cd "$root/$fuzz_build" && ctest --output-on-failure -j2 "$@") || failed+=("$fuzz_build")

stage "the web page in headless Chromium ($web_build)"
(cd "$root/tests/web" && WEB_BUILD_DIR=$root/$web_build node --test) || failed+=("$web_build")

stage "the Windows build under Wine ($win_build)"
BUILD_DIR=$root/$build WINDOWS_BUILD_DIR=$root/$win_build "$root/scripts/windows.sh" --test "$@" ||
  failed+=("$win_build")

if [ ${#failed[@]} -gt 0 ]; then
  echo "test: FAILED in: ${failed[*]}"
  exit 1
fi
echo "test: all passed"
