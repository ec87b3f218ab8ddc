#!/usr/bin/env bash
# Times `tovrasat render` beside sox and ffmpeg doing a plain gain change on the same file, and a
# batch rendered one file at a time (-j 1) beside the same batch on every core, all in one run with
# the commands interleaved, and prints the medians, their ratios and how loaded the machine was.
# Usage: bench/render_compare.sh [BUILD_DIR] [REPETITIONS] [BASELINE]
#   BUILD_DIR defaults to build/release, REPETITIONS to 5. The files go to a scratch folder on the
#   disk the build is on (so the cost of flushing the output to the disk counts), removed at the end.
#   BASELINE, another tovrasat executable (an earlier build), is timed on the same ten-minute file
#   and batch in the same rounds, and compared.
set -euo pipefail

build=${1:-build/release}
repetitions=${2:-5}
tool="$build/tools/tovrasat"
baseline=${3:-}
[ -x "$tool" ] || { echo "render_compare.sh: no $tool (build it first)" >&2; exit 1; }
[ -z "$baseline" ] || [ -x "$baseline" ] || { echo "render_compare.sh: no $baseline" >&2; exit 1; }
for program in sox ffmpeg; do
  command -v "$program" >/dev/null || { echo "render_compare.sh: $program is not installed" >&2; exit 1; }
done

work=$(mktemp -d "$build/render-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/batch" "$work/serial" "$work/parallel"

# Ten minutes of 48 kHz stereo float, and eight one-minute files of the same kind.
sox -n -r 48000 -c 2 -b 32 -e floating-point "$work/in.wav" synth 600 pinknoise gain -8
for i in 1 2 3 4 5 6 7 8; do
  sox -n -r 48000 -c 2 -b 32 -e floating-point "$work/batch/take$i.wav" synth 60 pinknoise gain -8
done

# Wall time of a command in seconds.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

results="$work/results"
: >"$results"
for ((r = 1; r <= repetitions; ++r)); do
  load=$(cut -d' ' -f1 /proc/loadavg)
  echo "load $load" >>"$results"
  echo "tovrasat $(seconds "$tool" render "$work/in.wav" "$work/out-tovrasat.wav")" >>"$results"
  echo "sox $(seconds sox "$work/in.wav" "$work/out-sox.wav" gain -3)" >>"$results"
  echo "ffmpeg $(seconds ffmpeg -nostdin -y -loglevel error -i "$work/in.wav" -af volume=-3dB \
    -c:a pcm_f32le "$work/out-ffmpeg.wav")" >>"$results"
  echo "serial $(seconds "$tool" render -j 1 "$work/batch" --out-dir "$work/serial")" >>"$results"
  echo "parallel $(seconds "$tool" render "$work/batch" --out-dir "$work/parallel")" >>"$results"
  if [ -n "$baseline" ]; then
    echo "baseline $(seconds "$baseline" render "$work/in.wav" "$work/out-baseline.wav")" >>"$results"
    echo "baseline-serial $(seconds "$baseline" render -j 1 "$work/batch" --out-dir "$work/serial")" \
      >>"$results"
    echo "baseline-parallel $(seconds "$baseline" render "$work/batch" --out-dir "$work/parallel")" \
      >>"$results"
  fi
done
if [ -n "$baseline" ] && ! cmp -s "$work/out-tovrasat.wav" "$work/out-baseline.wav"; then
  echo "render_compare.sh: the baseline's output differs" >&2
fi

awk -v reps="$repetitions" -v cores="$(nproc)" '
  function median(name,   n, i, j, t, v) {
    n = count[name]
    for (i = 1; i <= n; ++i) v[i] = times[name, i]
    for (i = 2; i <= n; ++i) for (j = i; j > 1 && v[j - 1] > v[j]; --j) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  { times[$1, ++count[$1]] = $2 }
  END {
    printf "%d repetitions, %d cores, load average %s to %s (median %.2f)\n", reps, cores,
           minmax("load", 0), minmax("load", 1), median("load")
    printf "%-52s %8s\n", "median wall time", "s"
    printf "%-52s %8.2f\n", "tovrasat render, 10 min 48 kHz stereo float, summary", median("tovrasat")
    printf "%-52s %8.2f\n", "sox in.wav out.wav gain -3", median("sox")
    printf "%-52s %8.2f\n", "ffmpeg -af volume=-3dB (float out)", median("ffmpeg")
    printf "%-52s %8.2f\n", "tovrasat render, 8 x 1 min, -j 1", median("serial")
    printf "%-52s %8.2f\n", "tovrasat render, 8 x 1 min, every core", median("parallel")
    printf "tovrasat / sox %.2fx, tovrasat / ffmpeg %.2fx, batch parallel / serial %.2fx\n",
           median("tovrasat") / median("sox"), median("tovrasat") / median("ffmpeg"),
           median("parallel") / median("serial")
    if (count["baseline"] > 0) {
      printf "%-52s %8.2f\n", "baseline render, 10 min, summary", median("baseline")
      printf "%-52s %8.2f\n", "baseline render, 8 x 1 min, -j 1", median("baseline-serial")
      printf "%-52s %8.2f\n", "baseline render, 8 x 1 min, every core", median("baseline-parallel")
      printf "baseline / sox %.2fx, baseline / ffmpeg %.2fx, batch parallel / serial %.2fx\n",
             median("baseline") / median("sox"), median("baseline") / median("ffmpeg"),
             median("baseline-parallel") / median("baseline-serial")
      printf "tovrasat / baseline %.2fx\n", median("tovrasat") / median("baseline")
    }
  }
  function minmax(name, high,   i, m) {
    m = times[name, 1]
    for (i = 2; i <= count[name]; ++i)
      if ((high && times[name, i] > m) || (!high && times[name, i] < m)) m = times[name, i]
    return m
  }
' "$results"
