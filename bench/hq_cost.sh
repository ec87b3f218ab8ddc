#!/usr/bin/env bash
# Times TovraSat HQ beside TovraSat and the Calf Saturator in one run: lv2bench on the three LV2
# plug-ins (64- and 512-frame blocks, interleaved repetitions), then bench_dsp's chain on noise and
# hot input for the standard and the oversampled chain; prints medians and the ratios of each run.
# Usage: bench/hq_cost.sh [BUILD_DIR] [REPETITIONS]
#   BUILD_DIR defaults to build/release (with TovraSat.lv2 and bench/bench_dsp built), REPETITIONS
#   to 7. lv2bench feeds the plug-ins an input of its own, so bench_dsp gives the figures on the
#   hard signals.
set -euo pipefail

build=${1:-build/release}
repetitions=${2:-7}
frames=480000
bundle="$build/TovraSat.lv2"
bench_dsp="$build/bench/bench_dsp"
calf=http://calf.sourceforge.net/plugins/Saturator
standard=http://morvika.com/plugins/tovrasat
hq=http://morvika.com/plugins/tovrasat-hq
[ -d "$bundle" ] || { echo "hq_cost.sh: no $bundle (build tovrasat_lv2 first)" >&2; exit 1; }
[ -x "$bench_dsp" ] || { echo "hq_cost.sh: no $bench_dsp (build bench_dsp first)" >&2; exit 1; }
command -v lv2bench >/dev/null || { echo "hq_cost.sh: lv2bench is not installed (lilv-utils)" >&2; exit 1; }

# lilv reads every bundle on LV2_PATH; a folder holding only a link to this build's bundle keeps it
# from finding (and complaining about) the other build trees' bundles and any installed copy.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/lv2"
ln -s "$(realpath "$bundle")" "$work/lv2/TovraSat.lv2"
export LV2_PATH="$work/lv2:/usr/lib/lv2"
for uri in "$calf" "$standard" "$hq"; do
  lv2bench -b 64 -n 64 "$uri" 2>/dev/null | grep -q "$uri" ||
    { echo "hq_cost.sh: lv2bench cannot run $uri (calf-plugins installed? bundle built?)" >&2; exit 1; }
done

# lv2bench: seconds for $frames frames; each repetition runs every plug-in at both block sizes.
results="$work/lv2bench"
: >"$results"
for ((r = 1; r <= repetitions; ++r)); do
  echo "load $(cut -d' ' -f1 /proc/loadavg)" >>"$results"
  for block in 64 512; do
    for name in calf standard hq; do
      case $name in calf) uri=$calf ;; standard) uri=$standard ;; hq) uri=$hq ;; esac
      seconds=$(lv2bench -b "$block" -n "$frames" "$uri" 2>/dev/null | awk -v u="$uri" '$2 == u { print $1 }')
      [ -n "$seconds" ] || { echo "hq_cost.sh: lv2bench gave no time for $uri" >&2; exit 1; }
      echo "$name/$block $seconds" >>"$results"
    done
  done
done

# bench_dsp: the crusher alone (hq:0) and the oversampled crusher (hq:1) at Gain 100 %, steady.
csv="$work/chain.csv"
"$bench_dsp" --benchmark_filter='^chain/hot:[01]/frames:(64|512)/hq:[01]/automated:0$' \
  --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
  --benchmark_min_time=0.1 --benchmark_report_aggregates_only=true \
  --benchmark_format=csv 2>/dev/null | { grep '_median"' || true; } >"$csv"
[ -s "$csv" ] || { echo "hq_cost.sh: bench_dsp ran no chain benchmark" >&2; exit 1; }

awk -v reps="$repetitions" -v frames="$frames" -v cores="$(nproc)" '
  function median(name,   n, i, j, t, v) {
    n = count[name]
    for (i = 1; i <= n; ++i) v[i] = times[name, i]
    for (i = 2; i <= n; ++i) for (j = i; j > 1 && v[j - 1] > v[j]; --j) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  function extreme(name, high,   i, m) {
    m = times[name, 1]
    for (i = 2; i <= count[name]; ++i)
      if ((high && times[name, i] > m) || (!high && times[name, i] < m)) m = times[name, i]
    return m
  }
  FNR == NR { times[$1, ++count[$1]] = $2; next }
  {
    # "chain/hot:H/frames:F/hq:Q/automated:0_median",iterations,real,cpu,unit,bytes/s,items/s,...
    # items/s counts CPU time, which other processes on a shared machine distort less.
    split($0, col, ",")
    name = col[1]; gsub(/"/, "", name)
    split(name, f, "[/:]")
    ns[f[3] == 1 ? "hot" : "noise", f[5] + 0, f[7] + 0] = 1e9 / col[7]
  }
  END {
    printf "%d repetitions, %d cores, load average %s to %s\n\n", reps, cores, extreme("load", 0), extreme("load", 1)
    printf "lv2bench, %d frames, median s (min to max)\n", frames
    printf "%-7s %-24s %-24s %-24s %9s %9s %9s\n", "block", "Calf Saturator", "TovraSat", "TovraSat HQ",
           "HQ/Calf", "HQ/std", "Calf/std"
    for (b = 1; b <= 2; ++b) {
      block = b == 1 ? 64 : 512
      c = median("calf/" block); s = median("standard/" block); h = median("hq/" block)
      printf "%-7d %-24s %-24s %-24s %8.2fx %8.1fx %8.1fx\n", block,
             sprintf("%.4f (%.4f-%.4f)", c, extreme("calf/" block, 0), extreme("calf/" block, 1)),
             sprintf("%.4f (%.4f-%.4f)", s, extreme("standard/" block, 0), extreme("standard/" block, 1)),
             sprintf("%.4f (%.4f-%.4f)", h, extreme("hq/" block, 0), extreme("hq/" block, 1)),
             h / c, h / s, c / s
    }
    printf "\nbench_dsp chain, Gain 100 %%, ns per stereo frame (median CPU time)\n"
    printf "%-7s %-7s %10s %10s %9s %14s\n", "input", "block", "standard", "HQ", "HQ/std", "HQ x realtime"
    for (k = 0; k <= 1; ++k) for (b = 1; b <= 2; ++b) {
      kind = k ? "hot" : "noise"; block = b == 1 ? 64 : 512
      if (!((kind, block, 0) in ns) || !((kind, block, 1) in ns)) continue
      s = ns[kind, block, 0]; h = ns[kind, block, 1]
      # How many times faster than real time at 48 kHz the oversampled chain runs on one core.
      printf "%-7s %-7d %10.2f %10.2f %8.1fx %13.1fx\n", kind, block, s, h, h / s, 1e9 / 48000 / h
    }
  }' "$results" "$csv"
