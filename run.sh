#!/usr/bin/env bash
# One entry point for people and CI: setup, build, test, bench, demo.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcairo2-dev libfreetype-dev libstb-dev fonts-roboto-unhinted libx11-dev
  libpugixml-dev libcli11-dev libsndfile1-dev libsoxr-dev
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

# The macOS bundle built on Linux against Apple's SDK in DIR (include/, Frameworks/ and lib/ with
# the .tbd link stubs, or an SDK's usr/include, usr/lib and System/Library/Frameworks): for each
# architecture of the macos-universal preset the sources compile for <arch>-apple-macos11 with every
# warning an error, and CMake's own Apple bundle target links TovraSat.component with LLVM's Mach-O
# linker; llvm-lipo joins the architectures, and tests/mac/check_bundle.py checks the result symbol
# by symbol. Nothing runs: signing, auval and a host need a Mac.
MACOS_CHECK_PACKAGES=(clang-14 llvm-14 lld-14 libc++-14-dev libstb-dev fonts-roboto-unhinted ninja-build
                      cmake file g++ pkg-config libcairo2-dev libfreetype-dev python3)

# A sysroot the linker reads as a Mac's: the SDK's files by symbolic link, and each .tbd stub also
# at the path its install name gives, where the linker looks for the libraries a framework re-exports.
macos_sysroot() { # include-dir frameworks-dir lib-dir sysroot
  local inc=$1 fw=$2 lib=$3 root=$4 f e t name
  mkdir -p "$root/usr/lib" "$root/System/Library/Frameworks"
  ln -s "$inc" "$root/usr/include"
  for f in "$fw"/*.framework; do
    mkdir -p "$root/System/Library/Frameworks/${f##*/}"
    for e in "$f"/*; do
      [ "${e##*/}" = Versions ] || ln -s "$e" "$root/System/Library/Frameworks/${f##*/}/"
    done
  done
  if [ -d "$lib" ]; then
    for e in "$lib"/*; do ln -s "$e" "$root/usr/lib/"; done
  fi
  find -L "$fw" "$lib" -name '*.tbd' 2>/dev/null | while read -r t; do
    name=$(sed -n "s/^install-name: *'\{0,1\}\([^']*\)'\{0,1\} *$/\1/p" "$t" | head -1)
    [ -n "$name" ] || continue
    name=${name%.dylib}.tbd
    [ -e "$root$name" ] && continue
    mkdir -p "$(dirname "$root$name")"
    ln -s "$t" "$root$name"
  done
}

# The editor's images, drawn by the build machine (the cross build cannot run what it builds).
macos_images() { # out-dir
  mkdir -p "$1"
  # shellcheck disable=SC2046
  "${CXX:-c++}" -std=c++20 -O2 -I. -o "$1/tovrasat_make_images" resources/*.cpp \
    $(pkg-config --cflags --libs cairo cairo-ft freetype2)
  "$1/tovrasat_make_images" /usr/share/fonts/truetype/roboto/unhinted/RobotoTTF "$1"
}

# One architecture: configure, compile every object (each must be a Mach-O object of that
# architecture), then link the bundle through the tovrasat_module target.
macos_check_arch() { # arch out-dir sdk-name
  local arch=$1 out=$2 objects=() o bad=0
  TOVRASAT_MACOS_ARCH=$arch cmake -S . -B "$out" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/MacosCheckToolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DTOVRASAT_BUILD_TESTS=OFF -DTOVRASAT_BUILD_BENCH=OFF \
    -DTOVRASAT_STB_DIR=/usr/include/stb -DTOVRASAT_HOST_IMAGES="$PWD/build/macos-check/images" \
    -DTOVRASAT_ROBOTO_FONT=/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf \
    >/dev/null || return 1
  mapfile -t objects < <(ninja -C "$out" -t targets all | sed -n 's/^\(.*\.o\): .*/\1/p' | sort -u)
  [ ${#objects[@]} -gt 0 ] || { echo "run.sh: macos-check found nothing to compile" >&2; return 1; }
  if ! ninja -C "$out" -k 0 -j "$(jobs)" "${objects[@]}"; then
    echo "run.sh: macos-check failed: the macOS build does not compile cleanly for $arch" >&2
    return 1
  fi
  local want="Mach-O 64-bit $arch object"
  for o in "${objects[@]}"; do
    file -b "$out/$o" | grep -q "^$want" || { echo "run.sh: $o is no $arch Mach-O object" >&2; bad=1; }
  done
  [ $bad -eq 0 ] || return 1
  echo "run.sh: macos-check: ${#objects[@]} sources compiled for $arch-apple-macos11 against $3, no warnings"
  # A warning from the linker fails the check as one from the compiler does.
  local log=$out/link.log
  if ! ninja -C "$out" -j "$(jobs)" tovrasat_module >"$log" 2>&1; then
    cat "$log" >&2
    echo "run.sh: macos-check failed: TovraSat.component does not link for $arch" >&2
    return 1
  fi
  if grep -qi 'warning' "$log"; then
    grep -i 'warning' "$log" >&2
    echo "run.sh: macos-check failed: the $arch link gives warnings" >&2
    return 1
  fi
}

macos_check() { # [DIR]
  if [ -z "${1:-}" ]; then
    echo "run.sh: macos-check skipped: no Apple SDK folder given (./run.sh macos-check DIR)"
    return 0
  fi
  if [ ! -d "$1" ]; then
    echo "run.sh: macos-check: no such folder: $1" >&2
    return 1
  fi
  local dir inc fw lib
  dir=$(cd "$1" && pwd)
  if [ -d "$dir/usr/include" ]; then
    inc=$dir/usr/include fw=$dir/System/Library/Frameworks lib=$dir/usr/lib
  else
    inc=$dir/include fw=$dir/Frameworks lib=$dir/lib
  fi
  if [ ! -f "$inc/TargetConditionals.h" ] || [ ! -d "$fw/AppKit.framework" ]; then
    echo "run.sh: $1 holds no Apple SDK headers (include/TargetConditionals.h, Frameworks/AppKit.framework)" >&2
    return 1
  fi
  if [ ! -f "$fw/AudioToolbox.framework/AudioToolbox.tbd" ]; then
    echo "run.sh: $1 holds no .tbd link stubs (Frameworks/AudioToolbox.framework/AudioToolbox.tbd)" >&2
    return 1
  fi
  setup_packages "${MACOS_CHECK_PACKAGES[@]}"
  local out=build/macos-check
  rm -rf "$out"  # every check builds everything: the SDK in DIR may not be that of last time
  macos_sysroot "$inc" "$fw" "$lib" "$PWD/$out/sysroot"
  export TOVRASAT_MACOS_SYSROOT=$PWD/$out/sysroot
  macos_images "$out/images" || { echo "run.sh: macos-check: the editor's images were not drawn" >&2; return 1; }
  local archs=() arch modules=()
  mapfile -t archs < <(python3 -c 'import json, sys
presets = {p["name"]: p for p in json.load(open("CMakePresets.json"))["configurePresets"]}
print("\n".join(presets["macos-universal"]["cacheVariables"]["CMAKE_OSX_ARCHITECTURES"].split(";")))')
  for arch in "${archs[@]}"; do
    macos_check_arch "$arch" "$out/$arch" "$1" || return 1
    modules+=("$out/$arch/TovraSat.component/Contents/MacOS/TovraSat")
  done
  # The universal bundle: the first architecture's bundle with the modules joined into one file.
  cp -R "$out/${archs[0]}/TovraSat.component" "$out/"
  llvm-lipo-14 -create "${modules[@]}" -output "$out/TovraSat.component/Contents/MacOS/TovraSat"
  python3 tests/mac/check_bundle.py --frameworks "$fw" --lib "$lib" --include "$inc" \
    --arch "${archs[@]}" -- "$out/TovraSat.component" || { echo "run.sh: macos-check failed: the bundle check found faults" >&2; return 1; }
  echo "run.sh: macos-check: $out/TovraSat.component linked for ${archs[*]} and checked"
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
