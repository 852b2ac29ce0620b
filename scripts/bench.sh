#!/usr/bin/env bash
# Builds the benchmarks (-O2, the distribution's baseline x86-64) and runs the math library
# beside GLM, Eigen and cglm, ending with the table of ratios to the fastest peer.
# Extra arguments go to the benchmark program (e.g. --benchmark_filter=Multiply).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

cmake --preset bench
cmake --build --preset bench -j "$(nproc)" --target mxmath_bench
build/bench/bin/mxmath_bench --benchmark_min_time=0.1 --benchmark_repetitions=5 \
  --benchmark_enable_random_interleaving=true "$@"
