#!/usr/bin/env bash
# The install tree of a build: every part where it belongs, every binary finding what it loads
# through $ORIGIN-relative RUNPATHs only, and the command, the component and the LV2 bundle
# working from a copy of the tree moved elsewhere.
# usage: install-test.sh BUILD_DIR [lv2apply]
#   lv2apply: also run the moved LV2 bundle in lv2apply (not for sanitizer builds, whose modules a
#   host built without the sanitizer cannot load by itself)
set -euo pipefail

build=$(cd "$1" && pwd)
with_lv2apply=${2:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/tovrasat-install-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

prefix=$work/first/usr
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || {
  cat "$work/install.log" >&2
  exit 1
}

expected=(
  bin/tovrasat
  lib/tovrasat/sdk/libtovrasdk.so
  lib/tovrasat/TovraSat.component/Contents/Info.plist
  lib/tovrasat/TovraSat.component/Contents/MacOS/TovraSat
  lib/tovrasat/TovraSat.component/Contents/Resources/Roboto-Regular.ttf
  lib/tovrasat/TovraSat.component/Contents/Resources/tovra_plate.png
  lib/lv2/TovraSat.lv2/manifest.ttl
  lib/lv2/TovraSat.lv2/TovraSat.ttl
  lib/lv2/TovraSat.lv2/presets.ttl
  lib/lv2/TovraSat.lv2/TovraSatHQ.ttl
  lib/lv2/TovraSat.lv2/presets-hq.ttl
  lib/lv2/TovraSat.lv2/lib/TovraSat.so
  lib/lv2/TovraSat.lv2/lib/libtovrasdk.so
  lib/lv2/TovraSat.lv2/Resources/Roboto-Regular.ttf
  share/man/man1/tovrasat.1.gz
  share/bash-completion/completions/tovrasat
  share/doc/tovrasat/README.md
  share/doc/tovrasat/LICENSE
  share/doc/tovrasat/copyright
  share/doc/tovrasat/changelog.gz
)
for f in "${expected[@]}"; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
# Only the command is run; libraries and everything else are read.
while IFS= read -r f; do
  case $f in
    bin/tovrasat) [ -x "$prefix/$f" ] || fail "$f is not executable" ;;
    *) [ ! -x "$prefix/$f" ] || fail "$f is executable" ;;
  esac
done < <(cd "$prefix" && find . -type f -printf '%P\n')

# RUNPATHs: no RPATH (it would outrank LD_LIBRARY_PATH), every entry under $ORIGIN, and each
# binary that needs the runtime finds it through them.
is_elf() { [ "$(head -c 4 "$1" | od -An -c | tr -d ' ')" = '177ELF' ]; }
elves=0
while IFS= read -r -d '' f; do
  is_elf "$f" || continue
  elves=$((elves + 1))
  name=${f#"$prefix"/}
  dynamic=$(readelf -d "$f")
  if grep -q '(RPATH)' <<<"$dynamic"; then fail "$name has an RPATH"; fi
  runpath=$(sed -n 's/.*(RUNPATH).*\[\(.*\)\]$/\1/p' <<<"$dynamic")
  found=
  IFS=: read -ra entries <<<"$runpath"
  for entry in "${entries[@]}"; do
    case $entry in
      '$ORIGIN' | '$ORIGIN/'*) ;;
      *) fail "$name: RUNPATH entry '$entry' is not relative to \$ORIGIN" ;;
    esac
    dir=$(dirname "$f")${entry#'$ORIGIN'}
    [ -f "$dir/libtovrasdk.so" ] && found=1
  done
  if grep -q 'NEEDED.*\[libtovrasdk.so\]' <<<"$dynamic" && [ -z "$found" ]; then
    fail "$name needs libtovrasdk.so and its RUNPATH '$runpath' does not lead to it"
  fi
done < <(find "$prefix" -type f -print0)
[ "$elves" -eq 5 ] || fail "expected 5 ELF files (the command, two modules, two runtimes), found $elves"
# Nothing installed names the build tree (text files: the bundles' plist and Turtle, the docs).
if grep -rlI -- "$build" "$prefix" >"$work/named" 2>/dev/null; then
  fail "installed files name the build tree $build: $(tr '\n' ' ' <"$work/named")"
fi

# Moved elsewhere, the tree still works, and the command takes its bundle from there without
# being told.
moved=$work/elsewhere/opt/tovrasat
mkdir -p "$(dirname "$moved")"
mv "$prefix" "$moved"
rm -rf "$work/first"
for f in bin/tovrasat lib/tovrasat/TovraSat.component/Contents/MacOS/TovraSat lib/lv2/TovraSat.lv2/lib/TovraSat.so; do
  sdk=$(ldd "$moved/$f" | sed -n 's/^\s*libtovrasdk.so => \(\S*\).*/\1/p')
  case $sdk in
    "$moved"/*) ;;
    *) fail "$f loads libtovrasdk.so from '$sdk', not from the moved tree" ;;
  esac
done

unset TOVRASAT_COMPONENT
version=$("$moved/bin/tovrasat" --version 2>&1) || fail "tovrasat --version failed: $version"
grep -q "from $moved/lib/tovrasat/TovraSat.component" <<<"$version" ||
  fail "tovrasat --version does not load the moved bundle: $version"

# A tenth of a second of stereo 16-bit noise, rendered by the moved command and by the build's
# own: the same bytes.
in=$work/in.wav
{
  printf 'RIFF\x24\x4b\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x02\x00'
  printf '\x80\xbb\x00\x00\x00\xee\x02\x00\x04\x00\x10\x00'
  printf 'data\x00\x4b\x00\x00'
  head -c 19200 /dev/urandom
} >"$in"
"$moved/bin/tovrasat" render "$in" "$work/moved.wav" --gain 60 --trim -3 -q ||
  fail "render from the moved tree failed"
"$build/tools/tovrasat" render "$in" "$work/built.wav" --gain 60 --trim -3 -q ||
  fail "render from the build tree failed"
cmp -s "$work/moved.wav" "$work/built.wav" ||
  fail "the moved tree's render differs from the build tree's"

# An LV2 host finds the moved bundle through LV2_PATH alone and runs it.
if [ "$with_lv2apply" = lv2apply ]; then
  LV2_PATH=$moved/lib/lv2 lv2apply -i "$in" -o "$work/lv2.wav" -c gain 60 \
    http://morvika.com/plugins/tovrasat >"$work/lv2.log" 2>&1 ||
    fail "lv2apply on the moved bundle failed: $(cat "$work/lv2.log")"
fi

[ "$failures" -eq 0 ] || exit 1
echo "install tree: ${#expected[@]} files in place, $elves ELF files with \$ORIGIN RUNPATHs, moved tree runs"
