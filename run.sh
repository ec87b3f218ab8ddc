#!/usr/bin/env bash
# One entry point for people and CI: setup, build, test, bench, demo.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcairo2-dev libfreetype-dev libstb-dev fonts-roboto-unhinted libx11-dev
  libpugixml-dev libcli11-dev libsndfile1-dev libsoxr-dev libebur128-dev
  xvfb xauth xdotool imagemagick portaudio19-dev
  locales
  clang-14 libclang-rt-14-dev llvm-14
  lv2-dev liblilv-dev lilv-utils sordi jalv jackd2 ardour
)

jobs() { nproc 2>/dev/null || echo 2; }

# A locale with a decimal comma, so the preset tests prove files read the same under any locale.
comma_locale() {
  locale -a 2>/dev/null | grep -qix 'de_DE.utf8' && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 >/dev/null 2>&1 || echo "run.sh: could not make the de_DE.UTF-8 locale" >&2
}

setup() {
  setup_packages
  comma_locale
}

setup_packages() { # [package...] (default: PACKAGES)
  local wanted=("$@") missing=()
  [ ${#wanted[@]} -gt 0 ] || wanted=("${PACKAGES[@]}")
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "run.sh: installing ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build() { # preset
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$(jobs)"
}

# Only what the demo runs: the command (which brings the plug-in bundle); the tests and benchmarks
# build under test and bench. Each step of the demo is one line below.
demo() {
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$(jobs)" --target tovrasat
  local T=build/release/tools/tovrasat
  "$T" demo demo-out
  # The editor as a user would see it at the demo's Gain 60 % setting, smallest and largest.
  local shot=(--gain 60 --trim -1.5 --meter-db -4)
  "$T" snapshot demo-out/editor-100.png "${shot[@]}"
  "$T" snapshot demo-out/editor-175.png --scale 1.75 "${shot[@]}"
}

# The macOS build's sources compiled on Linux for arm64-apple-macos11 against Apple's SDK headers in
# DIR (include/ and Frameworks/, or an SDK's usr/include and System/Library/Frameworks); every
# warning is an error. Object files only: nothing is linked, nothing runs.
MACOS_CHECK_PACKAGES=(clang-14 llvm-14 libc++-14-dev libstb-dev fonts-roboto-unhinted ninja-build cmake file)

macos_check() { # [DIR]
  if [ -z "${1:-}" ]; then
    echo "run.sh: macos-check skipped: no Apple SDK header folder given (./run.sh macos-check DIR)"
    return 0
  fi
  if [ ! -d "$1" ]; then
    echo "run.sh: macos-check: no such folder: $1" >&2
    return 1
  fi
  local dir inc fw
  dir=$(cd "$1" && pwd)
  if [ -d "$dir/usr/include" ]; then
    inc=$dir/usr/include fw=$dir/System/Library/Frameworks
  else
    inc=$dir/include fw=$dir/Frameworks
  fi
  if [ ! -f "$inc/TargetConditionals.h" ] || [ ! -d "$fw/AppKit.framework" ]; then
    echo "run.sh: $1 holds no Apple SDK headers (include/TargetConditionals.h, Frameworks/AppKit.framework)" >&2
    return 1
  fi
  setup_packages "${MACOS_CHECK_PACKAGES[@]}"
  local out=build/macos-check
  local sysroot=$PWD/$out/sysroot
  rm -rf "$out"  # every check compiles everything: the headers in DIR may not be those of last time
  mkdir -p "$sysroot/usr" "$sysroot/System/Library"
  ln -s "$inc" "$sysroot/usr/include"
  ln -s "$fw" "$sysroot/System/Library/Frameworks"
  export TOVRASAT_MACOS_SYSROOT=$sysroot
  cmake -S . -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/MacosCheckToolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DTOVRASAT_BUILD_TESTS=OFF -DTOVRASAT_BUILD_BENCH=OFF \
    -DTOVRASAT_STB_DIR=/usr/include/stb \
    -DTOVRASAT_ROBOTO_FONT=/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf \
    >/dev/null
  local objects=()
  mapfile -t objects < <(ninja -C "$out" -t targets all | sed -n 's/^\(.*\.o\): .*/\1/p' | sort -u)
  [ ${#objects[@]} -gt 0 ] || { echo "run.sh: macos-check found nothing to compile" >&2; return 1; }
  if ! ninja -C "$out" -k 0 -j "$(jobs)" "${objects[@]}"; then
    echo "run.sh: macos-check failed: the macOS build does not compile cleanly" >&2
    return 1
  fi
  local bad=0 o
  for o in "${objects[@]}"; do
    file -b "$out/$o" | grep -q '^Mach-O 64-bit arm64 object' || { echo "run.sh: $o is no arm64 Mach-O object" >&2; bad=1; }
  done
  [ $bad -eq 0 ] || return 1
  echo "run.sh: macos-check: ${#objects[@]} sources compiled for arm64-apple-macos11 against $1, no warnings"
}

run_tests() { # preset
  build "$1"
  ctest --preset "$1" -j "$(jobs)"
}

# Builds the libFuzzer targets (fuzz preset) and runs each for $1 seconds on its committed seeds
# (tests/fuzz/corpus/NAME, read only) and what earlier runs found (build/fuzz/corpus/NAME). A crash
# leaves its input in build/fuzz/crashes/NAME/; minimise it (the target with -minimize_crash=1),
# add it to the seeds and make it a regression test. Prints executions, coverage and time per target.
fuzz() { # seconds
  local seconds=$1 status=0
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$(jobs)" --target fuzzers
  # llvm-symbolizer turns the sanitizers' addresses into file:line.
  local symbolizer
  symbolizer=$(command -v llvm-symbolizer-14 || command -v llvm-symbolizer || true)
  [ -n "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer"
  for bin in build/fuzz/tests/fuzz/fuzz_*; do
    [ -x "$bin" ] || continue
    local name=${bin##*/fuzz_}
    local work=build/fuzz/corpus/$name crashes=build/fuzz/crashes/$name/ dict=()
    mkdir -p "$work" "$crashes"
    [ -f "tests/fuzz/$name.dict" ] && dict=(-dict="tests/fuzz/$name.dict")
    local log=build/fuzz/$name.log
    if "$bin" "${dict[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$crashes" -print_final_stats=1 "$work" "tests/fuzz/corpus/$name" >"$log" 2>&1; then
      local runs cov
      runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
      cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
      printf 'fuzz %-12s %10s executions in %ss, %s\n' "$name" "$runs" "$seconds" "$cov"
    else
      echo "fuzz $name: FAILED, see $log and $crashes" >&2
      grep -E 'ERROR|FUZZ_CHECK|SUMMARY|runtime error' "$log" | head -5 >&2
      status=1
    fi
  done
  return $status
}

# The soak test for $1 seconds in the given preset's build.
soak() { # seconds preset
  cmake --preset "$2" >/dev/null
  cmake --build --preset "$2" -j "$(jobs)" --target soak_tests
  TOVRASAT_SOAK_SECONDS=$1 "build/$2/tests/soak/soak_tests"
}

cmd=${1:-}
case "$cmd" in
  setup) setup ;;
  build) setup; build release ;;
  test)
    setup
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    status=0
    build release || status=1   # the tree that demo and bench run from must build too
    run_tests dev || status=1
    run_tests asan-ubsan || status=1
    run_tests tsan || status=1
    # Every thread at once for 30 s under ThreadSanitizer; then each fuzz target briefly, so one
    # that stops building or crashes at once fails here.
    (export TSAN_OPTIONS="halt_on_error=1"; soak 30 tsan) || status=1
    fuzz 3 || status=1
    exit $status
    ;;
  fuzz)
    setup
    fuzz "${2:-60}"
    ;;
  soak)
    setup
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    export TSAN_OPTIONS="halt_on_error=1"
    status=0
    soak "${2:-60}" tsan || status=1
    soak "${2:-60}" asan-ubsan || status=1
    exit $status
    ;;
  bench)
    setup; build release
    for b in build/release/bench/bench_*; do
      [ -x "$b" ] || continue
      echo "== $(basename "$b")"
      "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "${@:2}"
    done
    ;;
  demo) setup; demo ;;
  macos-check) macos_check "${2:-}" ;;
  install-lv2)
    # The LV2 bundle into the user's LV2 folder, where Ardour, Carla, Reaper and jalv look.
    setup
    cmake --preset release >/dev/null
    cmake --build --preset release -j "$(jobs)" --target tovrasat_lv2
    mkdir -p "$HOME/.lv2"
    rm -rf "$HOME/.lv2/TovraSat.lv2"
    cp -RL build/release/TovraSat.lv2 "$HOME/.lv2/"
    echo "TovraSat.lv2 installed in $HOME/.lv2"
    ;;
  *)
    echo "usage: ./run.sh setup|build|test|bench|demo|install-lv2|fuzz [SECONDS]|soak [SECONDS]|macos-check [DIR]" >&2
    exit 2
    ;;
esac
