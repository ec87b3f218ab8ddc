#!/usr/bin/env bash
# The macOS bundle built on Linux against Apple's SDK in DIR (include/, Frameworks/ and lib/ with
# the .tbd link stubs, or an SDK's usr/include, usr/lib and System/Library/Frameworks): for each
# architecture of the macos-universal preset the sources compile for <arch>-apple-macos11 with every
# warning an error, and CMake's own Apple bundle target links TovraSat.component with LLVM's Mach-O
# linker; llvm-lipo joins the architectures, and tests/mac/check_bundle.py checks the result symbol
# by symbol. Nothing runs: signing, auval and a host need a Mac.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

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
  if ! ninja -C "$out" -k 0 -j "$(build_jobs)" "${objects[@]}"; then
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
  if ! ninja -C "$out" -j "$(build_jobs)" tovrasat_module >"$log" 2>&1; then
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
  mapfile -t archs < <(python3 scripts/preset-architectures.py macos-universal)
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

macos_check "${1:-}"
