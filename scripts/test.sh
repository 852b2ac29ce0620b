#!/usr/bin/env bash
# Builds and runs the whole suite under every preset that `make test` covers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

jobs=$(nproc)
for preset in default asan; do
  echo "=== preset: $preset ==="
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

# ThreadSanitizer over the math library's racing first calls only, to keep CI short.
echo "=== preset: tsan ==="
cmake --preset tsan
cmake --build --preset tsan -j "$jobs"
ctest --preset tsan -j "$jobs"
