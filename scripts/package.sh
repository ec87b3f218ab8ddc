#!/usr/bin/env bash
# tovrasat_<version>_amd64.deb in the checkout: the Release build's install rules packed by CPack
# (dependencies from dpkg-shlibdeps, binaries stripped). Builds only what the package holds. With
# --test, the package is then installed on this machine and purged again (as root; see
# tests/package/package-test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

cmake --preset release >/dev/null
cmake --build --preset release -j "$(build_jobs)" --target tovrasat tovrasat_lv2 manual
rm -rf build/release/package
rm -f tovrasat_*_*.deb
if ! cpack --config build/release/CPackConfig.cmake -B build/release/package >build/release/cpack.log 2>&1; then
  cat build/release/cpack.log >&2
  echo "run.sh: the package could not be made" >&2
  exit 1
fi
cp build/release/package/tovrasat_*.deb .
deb=$(ls tovrasat_*.deb)
echo "$deb: $(du -k "$deb" | cut -f1) KiB; $(dpkg-deb -f "$deb" Depends)"
if [ "${1:-}" = --test ]; then
  tests/package/package-test.sh tovrasat_*.deb
fi
