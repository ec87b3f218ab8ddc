#!/usr/bin/env bash
# Every benchmark of the Release tree, five repetitions, aggregates only; arguments go to each
# (e.g. --benchmark_filter=Crusher).
set -euo pipefail
cd "$(dirname "$0")/.."
for b in build/release/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@"
done
