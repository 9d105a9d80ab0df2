// Read-back reconstruction: a logo generator's field-ordered answer put back together.
#include <benchmark/benchmark.h>

#include <string>

#include "image/readback.h"

namespace osd::bench {
namespace {

// Some noise, the marker, then the picture bytes.
std::string answer(bool colour) {
  const ReadBackGeometry g = readBackGeometry(colour);
  std::string s = "\r\nQX" + std::string(g.marker);
  for (size_t i = 0; i < g.imageBytes; ++i) s += static_cast<char>((i * 37 + 11) & 0xFF);
  return s;
}

void merge(benchmark::State& state, bool colour) {
  const std::string stream = answer(colour);
  double last = 0;
  const auto progress = [&last](int, double p) { last = p; };
  for (auto _ : state) {
    const std::optional<size_t> start = findImageStart(stream, colour);
    MergedImage image =
        mergeFields(std::string_view(stream).substr(start.value_or(0)), colour, progress);
    benchmark::DoNotOptimize(image.picture.data());
  }
  benchmark::DoNotOptimize(last);
}
BENCHMARK_CAPTURE(merge, mono, false)->Name("readback/mono")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(merge, colour, true)->Name("readback/colour")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace osd::bench
