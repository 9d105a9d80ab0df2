// The encoder on the largest logo (720 x 616) against merely reading the same file: the figure
// that matters is the ratio encode / read, which does not depend on the machine's speed.
//
//   read/bpp24           the file's bytes read into memory, nothing else
//   encode/bpp24/ycbcr   what a download does: the file read and decoded, then encoded
//   convert/bpp24/ycbcr  the encoding of an image already decoded (the encoder alone)
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "image/bmp.h"
#include "image/encoder.h"

namespace osd::bench {
namespace {

constexpr int kWidth = 720;
constexpr int kHeight = 616;

const std::string& bitmapPath(int bpp) {
  static std::string paths[25];
  std::string& p = paths[bpp];
  if (p.empty())
    p = writeScratch("largest-" + std::to_string(bpp) + ".bmp", makeBitmap(kWidth, kHeight, bpp));
  return p;
}

BmpImage load(const std::string& path) {
  std::string error;
  std::optional<BmpImage> image = loadBmpFile(path, error);
  if (!image) throw std::runtime_error(error);
  return std::move(*image);
}

void readBytes(benchmark::State& state, int bpp) {
  const std::string& path = bitmapPath(bpp);
  size_t size = 0;
  for (auto _ : state) {
    std::vector<uint8_t> bytes = readAll(path);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

void encodeFile(benchmark::State& state, int bpp, PixelFormat format) {
  const std::string& path = bitmapPath(bpp);
  EncodeOptions options;
  options.format = format;
  options.onRow = [] {};             // the window lets its event loop run here
  std::vector<int> out(2000001, 0);  // the program's device image
  for (auto _ : state) {
    const BmpImage image = load(path);
    benchmark::DoNotOptimize(encodeImage(image, options, out));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight);
}

void convert(benchmark::State& state, int bpp, PixelFormat format) {
  const BmpImage image = load(bitmapPath(bpp));
  EncodeOptions options;
  options.format = format;
  options.onRow = [] {};
  std::vector<int> out(2000001, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(encodeImage(image, options, out));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight);
}

struct Registrar {
  Registrar() {
    for (int bpp : {24, 8, 1}) {
      const std::string b = "bpp" + std::to_string(bpp);
      benchmark::RegisterBenchmark(("read/" + b).c_str(), readBytes, bpp)
          ->Unit(benchmark::kMicrosecond);
      for (PixelFormat f : {PixelFormat::YCbCr, PixelFormat::Rgb}) {
        const std::string name = b + (f == PixelFormat::YCbCr ? "/ycbcr" : "/rgb");
        benchmark::RegisterBenchmark(("encode/" + name).c_str(), encodeFile, bpp, f)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("convert/" + name).c_str(), convert, bpp, f)
            ->Unit(benchmark::kMicrosecond);
      }
    }
  }
} registrar;

}  // namespace
}  // namespace osd::bench
