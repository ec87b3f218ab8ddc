#!/usr/bin/env bash
# Races the optimised engine, crusher and plug-in render against their straightforward versions,
# and the LV2 plug-in against the Audio Unit, and prints one compact table: median ns per stereo
# frame of interleaved repetitions, and ratios measured in the same run.
# Usage: bench/compare.sh [BUILD_DIR] [extra benchmark arguments]
#   BUILD_DIR defaults to build/release; e.g. bench/compare.sh build/release --benchmark_repetitions=9
set -euo pipefail

build=${1:-build/release}
shift || true
csv=$(mktemp)
trap 'rm -f "$csv"' EXIT

for program in bench_dsp bench_plug bench_lv2; do
  "$build/bench/$program" --benchmark_filter='^(Engine|Crusher|Plugin|Lv2)/' \
    --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
    --benchmark_min_time=0.1 --benchmark_report_aggregates_only=true \
    --benchmark_format=csv "$@" 2>/dev/null | { grep '_median"' || true; } >>"$csv"
done
# A filter among the extra arguments may leave a program with nothing to run; none at all is an
# error worth a word rather than an empty table.
[ -s "$csv" ] || { echo "compare.sh: no benchmark ran (filter or build dir?)" >&2; exit 1; }

# Rows: "Part/signal/frames/mode/variant_median",iterations,real,cpu,unit,bytes/s,items/s,...
# items/s counts CPU time, so other processes on a shared machine distort it less than wall time.
awk -F, '
  {
    name = $1; gsub(/"/, "", name); sub(/_median$/, "", name)
    split(name, f, "/")
    ns[f[1] "/" f[2] "/" f[3] "/" f[4], f[5]] = 1e9 / $7
  }
  END {
    split("noise hot music silence", signals, " ")
    split("512 64", sizes, " ")
    split("steady automated", modes, " ")
    printf "%-30s %10s %10s %8s\n", "ns per stereo frame (median)", "optimised", "straight", "faster"
    for (p = 1; p <= 2; ++p) {
      part = p == 1 ? "Engine" : "Crusher"
      for (s = 1; s <= 4; ++s) for (z = 1; z <= 2; ++z) for (m = 1; m <= 2; ++m) {
        k = part "/" signals[s] "/" sizes[z] "/" modes[m]
        if ((k, "optimised") in ns)
          printf "%-30s %10.2f %10.2f %7.2fx\n", k, ns[k, "optimised"], ns[k, "straight"],
                 ns[k, "straight"] / ns[k, "optimised"]
      }
    }
    printf "\n%-30s %10s %10s %10s %9s %9s\n", "plug-in via AudioUnitRender", "render",
           "crusher", "straight", "/crusher", "faster"
    for (s = 1; s <= 4; ++s) for (z = 1; z <= 2; ++z) for (m = 1; m <= 2; ++m) {
      k = "Plugin/" signals[s] "/" sizes[z] "/" modes[m]
      if ((k, "render") in ns)
        printf "%-30s %10.2f %10.2f %10.2f %8.2fx %8.2fx\n", k, ns[k, "render"], ns[k, "crusher"],
               ns[k, "straight"], ns[k, "render"] / ns[k, "crusher"],
               ns[k, "straight"] / ns[k, "render"]
    }
    printf "\n%-30s %10s %10s %8s\n", "LV2 run() beside AU render", "lv2", "au", "lv2/au"
    split("noise hot12 music silence", lv2signals, " ")
    split("512 64 1", lv2sizes, " ")
    for (s = 1; s <= 4; ++s) for (z = 1; z <= 3; ++z) for (m = 1; m <= 2; ++m) {
      k = "Lv2/" lv2signals[s] "/" lv2sizes[z] "/" modes[m]
      if ((k, "lv2") in ns)
        printf "%-30s %10.2f %10.2f %7.2fx\n", k, ns[k, "lv2"], ns[k, "au"],
               ns[k, "lv2"] / ns[k, "au"]
    }
  }' "$csv"
