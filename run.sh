#!/usr/bin/env bash
# One entry point for people and CI: setup, build, test, bench, demo.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcairo2-dev libstb-dev fonts-roboto-unhinted libx11-dev
  libpugixml-dev libcli11-dev libsndfile1-dev
  xvfb xauth xdotool imagemagick portaudio19-dev
  locales
  lv2-dev liblilv-dev lilv-utils sordi jalv jackd2
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

setup_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
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

run_tests() { # preset
  build "$1"
  ctest --preset "$1" -j "$(jobs)"
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
  demo)
    setup; build release
    if [ -x build/release/tools/tovrasat ]; then
      build/release/tools/tovrasat demo demo-out
    else
      echo "run.sh: the tovrasat command is not built yet; nothing to demonstrate" >&2
      exit 1
    fi
    ;;
  install-lv2)
    # The LV2 bundle into the user's LV2 folder, where Ardour, Carla, Reaper and jalv look.
    setup; build release
    mkdir -p "$HOME/.lv2"
    rm -rf "$HOME/.lv2/TovraSat.lv2"
    cp -RL build/release/TovraSat.lv2 "$HOME/.lv2/"
    echo "TovraSat.lv2 installed in $HOME/.lv2"
    ;;
  *)
    echo "usage: ./run.sh setup|build|test|bench|demo|install-lv2" >&2
    exit 2
    ;;
esac
