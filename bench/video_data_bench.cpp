// The video-controller data: the setup block built before every download, and the reader of
// the four data files (as the window reads them at start-up).
#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <string>

#include "bench_support.h"
#include "transfer/video_data.h"

namespace osd::bench {
namespace {

using video::Table;
constexpr Table kTables[4] = {Table::Ntsc, Table::PalB, Table::PalM, Table::Image};

void setupBlock(benchmark::State& state) {
  const video::ImageParams params = video::defaultImageParams(720, 616);
  video::SetupBlock block{};
  for (auto _ : state) {
    video::fillSetupBlock(block, 720, 616, params);
    benchmark::DoNotOptimize(block.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(setupBlock)->Name("video/setup_block");

// The four files written as the program writes them, in a folder of their own.
const std::string& dataFolder() {
  static const std::string folder = [] {
    const std::string dir = scratchDir() + "/Images";
    std::filesystem::create_directories(dir);
    for (Table t : kTables) {
      const video::RegisterTable regs =
          video::defaultRegisters(t == Table::Image ? Table::Ntsc : t);
      const video::ImageParams img = video::defaultImageParams(256, 64);
      const int* values = t == Table::Image ? img.data() : regs.data();
      video::replaceFile(dir + "/" + video::baseName(t) + ".dat", video::formatValues(values));
    }
    return dir;
  }();
  return folder;
}

void parseText(benchmark::State& state) {
  const video::RegisterTable regs = video::defaultRegisters(Table::Ntsc);
  const std::string text = video::formatValues(regs.data());
  for (auto _ : state) {
    benchmark::DoNotOptimize(video::readValues(text, video::kRegisterCount, "Video-NTSBData.dat"));
  }
}
BENCHMARK(parseText)->Name("video/read_values");

void readFour(benchmark::State& state) {
  const std::string& dir = dataFolder();
  for (auto _ : state) {
    for (Table t : kTables) {
      const std::string name = std::string(video::baseName(t)) + ".dat";
      const std::string path = video::findFile(dir, name);
      benchmark::DoNotOptimize(
          video::readValues(video::readWholeFile(path), video::fieldsRead(t), name));
    }
  }
}
BENCHMARK(readFour)->Name("video/read_four_files")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace osd::bench
