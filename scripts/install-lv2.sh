#!/usr/bin/env bash
# The LV2 bundle into the user's LV2 folder, where Ardour, Carla, Reaper and jalv look.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

cmake --preset release >/dev/null
cmake --build --preset release -j "$(build_jobs)" --target tovrasat_lv2
mkdir -p "$HOME/.lv2"
rm -rf "$HOME/.lv2/TovraSat.lv2"
cp -RL build/release/TovraSat.lv2 "$HOME/.lv2/"
echo "TovraSat.lv2 installed in $HOME/.lv2"
