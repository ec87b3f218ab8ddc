#!/usr/bin/env bash
# One entry point for people and CI: setup, build, test, bench, demo. The longer subcommands are
# scripts of their own in scripts/; this file installs what every build needs and dispatches.
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
  python3-matplotlib python3-scipy vorbis-tools chromium calf-plugins
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

source scripts/common.sh  # build_jobs, setup_packages, build

# A locale with a decimal comma, so the preset tests prove files read the same under any locale.
comma_locale() {
  locale -a 2>/dev/null | grep -qix 'de_DE.utf8' && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 >/dev/null 2>&1 || echo "run.sh: could not make the de_DE.UTF-8 locale" >&2
}

setup() {
  setup_packages "${PACKAGES[@]}"
  comma_locale
  compiler_cache
}

# Only what the demo runs: the command (which brings the plug-in bundle) and the LV2 bundle (so
# that lv2apply and LV2 hosts work right after); the tests and benchmarks build under test and
# bench. Each step of the demo is one line below.
demo() {
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$(build_jobs)" --target tovrasat tovrasat_lv2
  local T=build/release/tools/tovrasat
  "$T" demo demo-out
  # The editor as a user would see it at the demo's Gain 60 % setting, smallest and largest.
  local shot=(--gain 60 --trim -1.5 --meter-db -4)
  "$T" snapshot demo-out/editor-100.png "${shot[@]}"
  "$T" snapshot demo-out/editor-175.png --scale 1.75 "${shot[@]}"
}

case "${1:-}" in
  setup) setup ;;
  build) setup; build release ;;
  test) setup; scripts/test.sh ;;
  fuzz) setup; scripts/fuzz.sh "${2:-60}" ;;
  soak) setup; scripts/soak.sh "${2:-60}" tsan asan-ubsan ;;
  bench) setup; build release; scripts/bench.sh "${@:2}" ;;
  demo) setup; demo ;;
  docs) setup; docs/manual/make-docs.sh ;;
  package) setup; scripts/package.sh ;;
  package-test) setup; scripts/package.sh --test ;;
  macos-check) scripts/macos-check.sh "${2:-}" ;;
  install-lv2) setup; scripts/install-lv2.sh ;;
  *)
    echo "usage: ./run.sh setup|build|test|bench|demo|docs|package|package-test|install-lv2|fuzz [SECONDS]|soak [SECONDS]|macos-check [DIR]" >&2
    exit 2
    ;;
esac
