// The benchmark program: Google Benchmark's own main.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
