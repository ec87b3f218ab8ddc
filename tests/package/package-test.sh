#!/usr/bin/env bash
# The Debian package on this machine, as a user meets it: lintian finds no error; installed with
# apt-get and with the build tree renamed away, the command renders the same bytes and draws the
# same editor as the build tree's, LV2 hosts find the plug-in in the system path, man finds the
# page and bash the completion; purged, it leaves no file behind. The machine is left as it was found, also when a
# step fails: the build tree is renamed back and the package purged.
# usage (as root, from run.sh package-test, after run.sh package): package-test.sh DEB
set -euo pipefail

deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
checkout=$(cd "$(dirname "$0")/../.." && pwd)
build=$checkout/build
away=$checkout/build.package-test-away
uri=http://morvika.com/plugins/tovrasat

if [ "$(id -u)" -ne 0 ]; then
  echo "package-test: needs root (it installs and purges the package)" >&2
  exit 1
fi
if dpkg-query -W -f='${Status}' tovrasat 2>/dev/null | grep -q 'installed'; then
  echo "package-test: tovrasat is already installed here; the test would purge it (dpkg --purge tovrasat first)" >&2
  exit 1
fi
if [ -e "$away" ]; then
  echo "package-test: $away is in the way (left by an earlier run?)" >&2
  exit 1
fi

work=$(mktemp -d /tmp/tovrasat-package-XXXXXX)
restore() {
  cd /
  if [ -d "$away" ] && [ ! -e "$build" ]; then mv "$away" "$build"; fi
  if dpkg-query -W -f='${Status}' tovrasat 2>/dev/null | grep -qv 'not-installed'; then
    dpkg --purge tovrasat >/dev/null 2>&1 || echo "package-test: could not purge tovrasat" >&2
  fi
  rm -rf "$work"
}
trap restore EXIT
# Interrupted too: exiting through the EXIT trap.
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
step() { echo "package-test: $*"; }
die() {
  echo "package-test: FAILED: $*" >&2
  exit 1
}

step "lintian $(basename "$deb")"
lintian --fail-on error "$deb" | tee "$work/lintian.txt" || die "lintian reports errors"

# The reference: a generated file rendered by the build tree's command.
release=$build/release/tools/tovrasat
[ -x "$release" ] || die "no $release (run.sh package builds it)"
"$release" demo "$work/demo" >/dev/null
in=$work/demo/demo-input.wav
settings=(--gain 60 --trim -3 --48v off -q)
"$release" render "$in" "$work/built.wav" "${settings[@]}"
shot=(--scale 1.25 --gain 60 --meter-db -4)
"$release" snapshot "$work/built.png" "${shot[@]}" >/dev/null

# What the package holds, and which of its paths were here before (shared folders).
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's,^\./,/,; s,/$,,' | grep -v '^$' >"$work/contents"
while IFS= read -r p; do [ -e "$p" ] && echo "$p"; done <"$work/contents" >"$work/before"
grep -q '^/usr/bin/tovrasat$' "$work/contents" || die "the package holds no /usr/bin/tovrasat"

step "apt-get install $(basename "$deb")"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 ||
  die "apt-get install failed: $(tail -5 "$work/apt.log")"
dpkg -L tovrasat >"$work/listed"

mv "$build" "$away"
outside=$work/outside
mkdir -p "$outside" "$work/home"
cd "$outside"
# A clean environment: no bundle named, no LV2_PATH, a home without ~/.lv2.
run() { env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME="$work/home" "$@"; }

[ "$(run sh -c 'command -v tovrasat')" = /usr/bin/tovrasat ] || die "tovrasat is not /usr/bin/tovrasat"
version=$(run tovrasat --version 2>&1) || die "tovrasat --version failed: $version"
step "$(head -1 <<<"$version")"
grep -q "from /usr/lib/tovrasat/TovraSat.component" <<<"$version" ||
  die "tovrasat --version does not load /usr/lib/tovrasat/TovraSat.component: $version"

run tovrasat render "$in" installed.wav "${settings[@]}" || die "the installed command's render failed"
cmp -s installed.wav "$work/built.wav" || die "the installed render differs from the build tree's"
step "render: the same $(stat -c %s installed.wav) bytes as the build tree's"
# The editor drawn from the installed bundle, with the system's font it links: the same picture.
run tovrasat snapshot installed.png "${shot[@]}" >/dev/null || die "the installed command's snapshot failed"
cmp -s installed.png "$work/built.png" || die "the installed editor draws otherwise than the build tree's"
step "snapshot: the same $(stat -c %s installed.png) bytes as the build tree's"

run lv2ls | grep -qx "$uri" || die "lv2ls does not list $uri"
run lv2info "$uri" | grep -q 'file:///usr/lib/lv2/TovraSat.lv2/' ||
  die "lv2info does not find $uri in /usr/lib/lv2/TovraSat.lv2"
run lv2apply -i "$in" -o lv2.wav -c gain 60 -c output_trim -3 "$uri" >"$work/lv2apply.log" 2>&1 ||
  die "lv2apply failed: $(tail -3 "$work/lv2apply.log")"
[ "$(stat -c %s lv2.wav)" -gt 1000 ] || die "lv2apply wrote no audio"
step "LV2: lv2ls lists $uri from /usr/lib/lv2; lv2apply rendered $(stat -c %s lv2.wav) bytes"

page=$(run man -w tovrasat) || die "man -w tovrasat finds no page"
[ "$page" = /usr/share/man/man1/tovrasat.1.gz ] || die "man -w tovrasat gives $page"
# The loader answers 124 ("try again") when it has loaded a completion.
run bash -c 'source /usr/share/bash-completion/bash_completion
  _completion_loader tovrasat; complete -p tovrasat' 2>/dev/null | grep -q _tovrasat ||
  die "bash-completion does not load the completion of tovrasat"
step "man -w tovrasat: $page; bash completion loads"

cd /
mv "$away" "$build"
step "apt-get purge tovrasat"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tovrasat >"$work/apt.log" 2>&1 ||
  die "apt-get purge failed: $(tail -5 "$work/apt.log")"
dpkg-query -W -f='${Status}' tovrasat 2>/dev/null | grep -qv 'not-installed' &&
  die "tovrasat is still known to dpkg after the purge"
left=()
while IFS= read -r p; do
  grep -qxF "$p" "$work/before" && continue
  [ -e "$p" ] || [ -L "$p" ] && left+=("$p")
done < <(sort -u "$work/contents" "$work/listed")
[ ${#left[@]} -eq 0 ] || die "left behind after the purge: ${left[*]}"
step "purged: none of its $(wc -l <"$work/listed") paths is left"
