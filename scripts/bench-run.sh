#!/usr/bin/env bash
# Runs the benchmarks the way the recorded figures were taken and writes Google Benchmark JSON.
#
#   scripts/bench-run.sh [BUILD_DIR] [OUT.json] [extra osd_bench options]
#       (default build-bench, bench-result.json)
#
# Build first:
#   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSD_BENCH=ON
#   cmake --build build-bench --target osd_bench
# Then compare: scripts/bench-compare.sh bench-result.json
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-bench}"
out="${2:-bench-result.json}"
shift $(($# < 2 ? $# : 2))
bin="$build/bench/osd_bench"
[[ -x "$bin" ]] || { echo "bench-run: $bin is missing (configure with -DOSD_BENCH=ON)" >&2; exit 2; }
# Repetitions, each at least half a second: the medians of five stand up to a busy machine.
exec "$bin" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_min_time=0.5 --benchmark_out="$out" --benchmark_out_format=json "$@"
