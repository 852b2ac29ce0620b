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

# The 32-bit build (i686 without SSE): its suite and the processor matrix of the math
# library's selection run under the user-mode emulator.
echo "=== preset: i386 ==="
cmake --preset i386
cmake --build --preset i386 -j "$jobs"
ctest --preset i386 -j "$jobs"

# ThreadSanitizer over the math library's racing first calls and towers updated from
# several threads at once only, to keep CI short.
echo "=== preset: tsan ==="
cmake --preset tsan
cmake --build --preset tsan -j "$jobs"
ctest --preset tsan -j "$jobs"

# libFuzzer: each target replays its seeds, then fuzzes for ACTTOWER_FUZZ_SECONDS (25 s).
echo "=== preset: fuzz ==="
cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz -j "$jobs"

echo "=== failure points and fuzz executions ==="
grep -h -e "allocation sweep of" -e "file output failure loop" -e "^fuzz [A-Za-z]*: " \
  build/default/Testing/Temporary/LastTest.log build/fuzz/Testing/Temporary/LastTest.log || true
