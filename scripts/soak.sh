#!/usr/bin/env bash
# The soak test for SECONDS in each preset's build, in turn (`./run.sh soak` and `./run.sh test`);
# a failure goes into the failure summary.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
source scripts/failures.sh

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1}"

soak() { # seconds preset
  cmake --preset "$2" >/dev/null
  local log=build/$2/soak.log
  if ! cmake --build --preset "$2" -j "$(build_jobs)" --target soak_tests 2>&1 | tee "$log"; then
    note_failure "soak ($2): the build failed" <"$log"
    return 1
  fi
  TOVRASAT_SOAK_SECONDS=$1 "build/$2/tests/soak/soak_tests" 2>&1 | tee "$log" && return 0
  note_failure "soak ($2): soak_tests failed (see $log)" <"$log"
  return 1
}

seconds=$1
shift
status=0
for preset in "$@"; do
  soak "$seconds" "$preset" || status=1
done
exit $status
