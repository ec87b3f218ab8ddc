#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset) and runs each for SECONDS on its committed seeds
# (tests/fuzz/corpus/NAME, read only) and what earlier runs found (build/fuzz/corpus/NAME). A crash
# leaves its input in build/fuzz/crashes/NAME/; minimise it (the target with -minimize_crash=1),
# add it to the seeds and make it a regression test. Prints executions, coverage and time per target.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
source scripts/failures.sh

seconds=$1
status=0
cmake --preset fuzz >/dev/null
if ! cmake --build --preset fuzz -j "$(build_jobs)" --target fuzzers 2>&1 | tee build/fuzz/build.log; then
  note_failure "fuzz: the build failed" <build/fuzz/build.log
  exit 1
fi
# llvm-symbolizer turns the sanitizers' addresses into file:line.
symbolizer=$(command -v llvm-symbolizer-14 || command -v llvm-symbolizer || true)
[ -n "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer"
for bin in build/fuzz/tests/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name=${bin##*/fuzz_}
  work=build/fuzz/corpus/$name crashes=build/fuzz/crashes/$name/ dict=()
  mkdir -p "$work" "$crashes"
  [ -f "tests/fuzz/$name.dict" ] && dict=(-dict="tests/fuzz/$name.dict")
  log=build/fuzz/$name.log
  if "$bin" "${dict[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$crashes" -print_final_stats=1 "$work" "tests/fuzz/corpus/$name" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    printf 'fuzz %-12s %10s executions in %ss, %s\n' "$name" "$runs" "$seconds" "$cov"
  else
    echo "fuzz $name: FAILED, see $log and $crashes" >&2
    grep -E 'ERROR|FUZZ_CHECK|SUMMARY|runtime error' "$log" | head -5 >&2
    note_failure "fuzz: $name (see $log and $crashes)" <"$log"
    status=1
  fi
done
exit $status
