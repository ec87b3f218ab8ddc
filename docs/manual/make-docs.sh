#!/usr/bin/env bash
# make-docs.sh: the manual as a web page from the Release build (./run.sh docs): builds the command
# and the plug-in, then makes build/release/manual/index.html from them, and the README's picture
# of the 5 kHz tone through TovraSat, TovraSat HQ and the Calf Saturator (docs/hq-tone-picture.png).
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc 2>/dev/null || echo 2)" --target manual
echo "the manual: build/release/manual/index.html"
/usr/bin/python3 docs/manual/hq_tone_picture.py --tovrasat build/release/tools/tovrasat --out docs/hq-tone-picture.png
