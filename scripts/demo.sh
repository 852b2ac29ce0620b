#!/usr/bin/env bash
# Builds the default preset and runs the main job: towerhost's default scene.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)"
out=build/default/demo-out
mkdir -p "$out"
build/default/bin/towerhost --out "$out"
