#!/usr/bin/env bash
# Builds the default preset and runs the main job: towerhost's default scene.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)"
out=build/default/demo-out
mkdir -p "$out"
# The pictures of every 30th frame and their contact sheet go to $out/pictures.
build/default/bin/towerhost --out "$out" --png "$out/pictures"
