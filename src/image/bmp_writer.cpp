#include "image/bmp_writer.h"

#include <stdexcept>

#include "common/safe_file.h"

namespace osd {

const uint8_t kColourLogoPalette[16][4] = {
    {0, 0, 0, 0},       {255, 255, 255, 0}, {0, 0, 128, 0},   {0, 128, 0, 0},
    {0, 128, 128, 0},   {128, 0, 0, 0},     {128, 0, 128, 0}, {128, 128, 0, 0},
    {192, 192, 192, 0}, {128, 128, 128, 0}, {0, 0, 255, 0},   {0, 255, 0, 0},
    {0, 255, 255, 0},   {255, 0, 0, 0},     {255, 0, 255, 0}, {255, 255, 0, 0},
};

namespace {

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + static_cast<size_t>(k)] = static_cast<uint8_t>(v >> (8 * k));
}

// File header and 40-byte info header; the caller fills the colour table and pixels.
std::vector<uint8_t> headers(size_t fileSize, uint32_t offBits, int w, int h, int bpp,
                             uint32_t clrUsed) {
  std::vector<uint8_t> b(fileSize, 0);
  put16(b, 0, 19778);  // "BM"
  put32(b, 2, static_cast<uint32_t>(fileSize));
  put32(b, 10, offBits);
  put32(b, 14, 40);
  put32(b, 18, static_cast<uint32_t>(w));
  put32(b, 22, static_cast<uint32_t>(h));
  put16(b, 26, 1);
  put16(b, 28, static_cast<uint32_t>(bpp));
  put32(b, 46, clrUsed);
  return b;
}

}  // namespace

std::vector<uint8_t> bitmapFileHeaders(int w, int h, int bpp, int paletteEntries) {
  const uint32_t stride = (static_cast<uint32_t>(w) * static_cast<uint32_t>(bpp) + 31) / 32 * 4;
  const uint32_t offset = 54 + 4 * static_cast<uint32_t>(paletteEntries);
  const uint32_t data = stride * static_cast<uint32_t>(h);
  std::vector<uint8_t> b = headers(54, offset, w, h, bpp, static_cast<uint32_t>(paletteEntries));
  put32(b, 2, offset + data);  // the whole file, not just the headers
  put32(b, 34, data);
  put32(b, 38, 2835);
  put32(b, 42, 2835);
  b.reserve(offset + data);
  return b;
}

std::vector<uint8_t> buildLogoBitmap(const std::vector<uint8_t>& store, bool colour,
                                     const std::function<void(double)>& progress) {
  const size_t n = colour ? kColourLogoBytes : kMonoLogoBytes;
  if (store.size() < n) throw std::out_of_range("The logo store holds too few bytes.");
  const size_t entries = colour ? 16 : 2;
  const size_t offBits = 54 + 4 * entries;
  std::vector<uint8_t> b = headers(offBits + n, static_cast<uint32_t>(offBits), kLogoWidth,
                                   kLogoHeight, colour ? 4 : 1, 0);
  for (size_t e = 0; e < entries; ++e) {
    for (size_t k = 0; k < 4; ++k) b[54 + 4 * e + k] = kColourLogoPalette[e][k];
  }
  for (size_t i = 0; i < n; ++i) {
    if (progress && i % 16 == 0) progress(5.0 + 95.0 * static_cast<double>(i) / n);
    b[offBits + i] = colour ? store[i] : static_cast<uint8_t>(store[i] ^ 255);
  }
  return b;
}

bool replaceFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  return safeReplace(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error);
}

}  // namespace osd
