#!/usr/bin/env bash
# `./run.sh test`: the Release tree built, the dev, ASan/UBSan and TSan trees built and tested, the
# soak test under ThreadSanitizer and every fuzz target briefly; a summary of what failed, last.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
source scripts/failures.sh

# Builds the preset's tree and runs its tests; what failed goes into the summary.
run_tests() { # preset
  logged_build "$1" || return 1
  local console=build/$1/ctest-console.log
  ctest --preset "$1" -j "$(build_jobs)" 2>&1 | tee "$console" && return 0
  note_ctest_failures "$1" "$console"
  return 1
}

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
mkdir -p build
: >"$FAILURES"
logged_build release || status=1   # the tree that demo and bench run from must build too
run_tests dev || status=1
run_tests asan-ubsan || status=1
run_tests tsan || status=1
# Every thread at once for 30 s under ThreadSanitizer; then each fuzz target briefly, so one that
# stops building or crashes at once fails here.
scripts/soak.sh 30 tsan || status=1
scripts/fuzz.sh 3 || status=1
if [ $status -ne 0 ]; then
  echo
  echo "run.sh test FAILED; what failed, per build tree (the full logs are in build/):"
  cat "$FAILURES"
fi
exit $status
