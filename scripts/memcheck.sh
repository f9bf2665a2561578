#!/usr/bin/env bash
# On demand: the real binary for a few hundred frames and an orderly close under valgrind's
# memcheck, through the end-to-end case that the sanitizer build runs in the suite with
# LeakSanitizer. Fails on any invalid access or definite leak outside the suppressions in
# tests/sanitizers/valgrind.supp. Slow: llvmpipe under valgrind needs minutes to start.
# The full report goes to <build>/memcheck.log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-build}
"$root/scripts/setup.sh" --measure
valgrind=$(command -v valgrind)
BUILD_DIR=$build "$root/scripts/build.sh"
log="$root/$build/memcheck.log"
# --keep-debuginfo: SDL unloads libGL and Mesa's driver at SDL_Quit, before the leak check; their
# frames would otherwise read "???" and no suppression could name them.
export LUMAROK_E2E_WRAPPER="$valgrind --error-exitcode=99 --leak-check=full --show-leak-kinds=definite
  --errors-for-leak-kinds=definite --keep-debuginfo=yes --suppressions=$root/tests/sanitizers/valgrind.supp
  --log-file=$log"
cd "$root/$build"
status=0
./tests/lumarok_e2e_tests --gtest_filter=DemoTest.HundredsOfFramesThenCloseExitCleanly || status=$?
grep -E "ERROR SUMMARY|definitely lost|Invalid (read|write)" "$log" || true
echo "memcheck: report in $log"
exit $status
