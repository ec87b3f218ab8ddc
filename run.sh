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
  lv2-dev liblilv-dev lilv-utils sordi jalv jackd2 ardour gdb
  dpkg-dev file lintian man-db bash-completion ccache
  python3-matplotlib python3-scipy vorbis-tools chromium
)

# A compiler cache where the machine has one. Paths are hashed relative to the checkout, so every
# clone on a machine (a developer's, CI's) shares what the others compiled.
compiler_cache() {
  command -v ccache >/dev/null 2>&1 || return 0
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
  export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-20G}
}
compiler_cache

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
  compiler_cache
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

# ---- The failure summary: `test` prints it last, so that a reader of CI's output sees first what
# failed in every build tree, not the next tree's compile output.
FAILURES=build/failures.txt

# An awk function: the first lines of a failure among lines[1..count], from the first line that
# reports one (a test's assertion, a sanitizer, a compiler error, a crash), else the last lines.
EXCERPT_AWK='
function excerpt(lines, count,    first, i, n) {
  n = 8
  first = 0
  for (i = 1; i <= count && !first; i++)
    if (lines[i] ~ /(: Failure$|ERROR|Sanitizer|runtime error|error:|FAILED:|terminate called|Assertion|Segmentation|FUZZ_CHECK|SUMMARY)/) first = i
  if (!first) first = count > n ? count - n + 1 : 1
  for (i = first; i <= count && i < first + n; i++) print "      " lines[i]
}'

# Adds to the summary a title line and the excerpt of the failure in the lines on stdin.
note_failure() { # title
  { echo "  $1"; awk "$EXCERPT_AWK"'{ lines[NR] = $0 } END { excerpt(lines, NR) }'; } >>"$FAILURES"
}

# Adds to the summary each test ctest ran in the preset's tree that failed, with ctest's verdict
# (from its console output, in $2) and the first lines of the failure in the test's own output.
note_ctest_failures() { # preset ctest-console-log
  local log=build/$1/Testing/Temporary/LastTest.log
  if [ ! -f "$log" ]; then
    tail -n 8 "$2" | note_failure "$1: ctest failed and wrote no test log"
    return
  fi
  awk -v tree="$1" "$EXCERPT_AWK"'
    FNR == NR {  # the console: "  12 - Suite.Name (Failed)"
      if (match($0, /^[ \t]*[0-9]+ - .* \(.*\)$/)) {
        line = $0
        sub(/^[ \t]*[0-9]+ - /, "", line)
        name = line; sub(/ \([^(]*\)$/, "", name)
        verdict[name] = substr(line, length(name) + 2)
      }
      next
    }
    /^[0-9]+\/[0-9]+ Test: / { test = $0; sub(/^[0-9]+\/[0-9]+ Test: /, "", test); count = 0; next }
    /^Output:$/ { inOutput = 1; getline; next }
    /^<end of output>$/ { inOutput = 0; next }
    inOutput { lines[++count] = $0; next }
    /^Test (Failed|Passed)/ && test in verdict {
      print "  " tree ": " test " " verdict[test]
      excerpt(lines, count)
      delete verdict[test]
    }
    END { for (t in verdict) print "  " tree ": " t " " verdict[t] " (no output logged)" }
  ' "$2" "$log" >>"$FAILURES"
}

# Only what the demo runs: the command (which brings the plug-in bundle) and the LV2 bundle (so
# that lv2apply and LV2 hosts work right after); the tests and benchmarks build under test and
# bench. Each step of the demo is one line below.
demo() {
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$(jobs)" --target tovrasat tovrasat_lv2
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

# tovrasat_<version>_amd64.deb in the checkout: the Release build's install rules packed by CPack
# (dependencies from dpkg-shlibdeps, binaries stripped). Builds only what the package holds.
package() {
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$(jobs)" --target tovrasat tovrasat_lv2 manual
  rm -rf build/release/package
  rm -f tovrasat_*_*.deb
  if ! cpack --config build/release/CPackConfig.cmake -B build/release/package >build/release/cpack.log 2>&1; then
    cat build/release/cpack.log >&2
    echo "run.sh: the package could not be made" >&2
    return 1
  fi
  cp build/release/package/tovrasat_*.deb .
  local deb
  deb=$(ls tovrasat_*.deb)
  echo "$deb: $(du -k "$deb" | cut -f1) KiB; $(dpkg-deb -f "$deb" Depends)"
}

# The package installed on this machine and purged again (as root; see tests/package/package-test.sh).
package_test() {
  package
  tests/package/package-test.sh tovrasat_*.deb
}

# Builds the preset's tree and runs its tests; what failed goes into the summary.
run_tests() { # preset
  logged_build "$1" || return 1
  local console=build/$1/ctest-console.log
  ctest --preset "$1" -j "$(jobs)" 2>&1 | tee "$console" && return 0
  note_ctest_failures "$1" "$console"
  return 1
}

logged_build() { # preset
  mkdir -p "build/$1"
  build "$1" 2>&1 | tee "build/$1/build.log" && return 0
  note_failure "$1: the build failed" <"build/$1/build.log"
  return 1
}

# Builds the libFuzzer targets (fuzz preset) and runs each for $1 seconds on its committed seeds
# (tests/fuzz/corpus/NAME, read only) and what earlier runs found (build/fuzz/corpus/NAME). A crash
# leaves its input in build/fuzz/crashes/NAME/; minimise it (the target with -minimize_crash=1),
# add it to the seeds and make it a regression test. Prints executions, coverage and time per target.
fuzz() { # seconds
  local seconds=$1 status=0
  cmake --preset fuzz >/dev/null
  if ! cmake --build --preset fuzz -j "$(jobs)" --target fuzzers 2>&1 | tee build/fuzz/build.log; then
    note_failure "fuzz: the build failed" <build/fuzz/build.log
    return 1
  fi
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
      note_failure "fuzz: $name (see $log and $crashes)" <"$log"
      status=1
    fi
  done
  return $status
}

# The soak test for $1 seconds in the given preset's build.
soak() { # seconds preset
  cmake --preset "$2" >/dev/null
  local log=build/$2/soak.log
  if ! cmake --build --preset "$2" -j "$(jobs)" --target soak_tests 2>&1 | tee "$log"; then
    note_failure "soak ($2): the build failed" <"$log"
    return 1
  fi
  TOVRASAT_SOAK_SECONDS=$1 "build/$2/tests/soak/soak_tests" 2>&1 | tee "$log" && return 0
  note_failure "soak ($2): soak_tests failed (see $log)" <"$log"
  return 1
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
    mkdir -p build
    : >"$FAILURES"
    logged_build release || status=1   # the tree that demo and bench run from must build too
    run_tests dev || status=1
    run_tests asan-ubsan || status=1
    run_tests tsan || status=1
    # Every thread at once for 30 s under ThreadSanitizer; then each fuzz target briefly, so one
    # that stops building or crashes at once fails here.
    (export TSAN_OPTIONS="halt_on_error=1"; soak 30 tsan) || status=1
    fuzz 3 || status=1
    if [ $status -ne 0 ]; then
      echo
      echo "run.sh test FAILED; what failed, per build tree (the full logs are in build/):"
      cat "$FAILURES"
    fi
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
  docs) setup; docs/manual/make-docs.sh ;;
  package) setup; package ;;
  package-test) setup; package_test ;;
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
    echo "usage: ./run.sh setup|build|test|bench|demo|docs|package|package-test|install-lv2|fuzz [SECONDS]|soak [SECONDS]|macos-check [DIR]" >&2
    exit 2
    ;;
esac
