#include "bench_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "image/bmp_writer.h"

namespace osd::bench {

namespace {

struct Scratch {
  std::string dir;
  Scratch() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/osd-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir = pattern;
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

}  // namespace

std::vector<uint8_t> makeBitmap(int w, int h, int bpp, uint32_t seed) {
  const uint32_t stride = (static_cast<uint32_t>(w) * static_cast<uint32_t>(bpp) + 31) / 32 * 4;
  const uint32_t entries = bpp <= 8 ? (1u << bpp) : 0;
  std::vector<uint8_t> out = bitmapFileHeaders(w, h, bpp, static_cast<int>(entries));
  uint32_t state = seed * 2654435761u + 12345u;
  const auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  for (uint32_t e = 0; e < entries; ++e) {
    const uint32_t v = next();
    // Entry 255 (and white) exercise the transparent tests.
    const bool white = e == entries - 1;
    out.push_back(white ? 255 : static_cast<uint8_t>(v));
    out.push_back(white ? 255 : static_cast<uint8_t>(v >> 8));
    out.push_back(white ? 255 : static_cast<uint8_t>(v >> 16));
    out.push_back(0);
  }
  for (int y = 0; y < h; ++y) {
    std::vector<uint8_t> row(stride, 0);
    for (int x = 0; x < w; ++x) {
      const uint32_t noise = next();
      if (bpp == 24) {
        const bool clear = (noise & 63) == 0;  // about one pixel in 64 is transparent
        row[3 * x] = clear ? 255 : static_cast<uint8_t>(x * 255 / w + (noise & 15));
        row[3 * x + 1] = clear ? 255 : static_cast<uint8_t>(y * 255 / h + ((noise >> 4) & 15));
        row[3 * x + 2] = clear ? 255 : static_cast<uint8_t>(noise >> 8);
      } else if (bpp == 8) {
        row[x] = static_cast<uint8_t>((x + y) / 4 + (noise & 7));
      } else if (bpp == 1) {
        if ((noise ^ static_cast<uint32_t>(x * y)) & 1) row[x / 8] |= 0x80 >> (x % 8);
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

const std::string& scratchDir() {
  static Scratch scratch;
  return scratch.dir;
}

std::string writeScratch(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = scratchDir() + "/" + name;
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
  return path;
}

std::string writeScratch(const std::string& name, const std::string& text) {
  return writeScratch(name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> readAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot open " + path);
  f.seekg(0, std::ios::end);
  const auto size = static_cast<size_t>(f.tellg());
  f.seekg(0);
  std::vector<uint8_t> bytes(size);
  f.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
  if (static_cast<size_t>(f.gcount()) != size) throw std::runtime_error("short read of " + path);
  return bytes;
}

}  // namespace osd::bench
