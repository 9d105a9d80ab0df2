// Builds small uncompressed 24-bit Windows bitmaps in memory for the transfer tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace osd::test {

struct Rgb {
  int r = 0, g = 0, b = 0;
};

// A width x height 24-bit bitmap; `colour(row, column)` gives each pixel, row 0 being the top
// line of the picture (the file stores the bottom line first).
inline std::string makeBitmap24(int width, int height,
                                const std::function<Rgb(int row, int column)>& colour) {
  const int stride = (width * 3 + 3) / 4 * 4;
  const uint32_t imageSize = static_cast<uint32_t>(stride) * static_cast<uint32_t>(height);
  std::string out;
  auto put = [&out](uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) out.push_back(static_cast<char>((value >> (8 * k)) & 0xFF));
  };
  out += "BM";
  put(54 + imageSize, 4);
  put(0, 4);
  put(54, 4);
  put(40, 4);
  put(static_cast<uint32_t>(width), 4);
  put(static_cast<uint32_t>(height), 4);
  put(1, 2);
  put(24, 2);
  put(0, 4);
  put(imageSize, 4);
  put(2835, 4);
  put(2835, 4);
  put(0, 4);
  put(0, 4);
  for (int fileRow = 0; fileRow < height; ++fileRow) {
    const int row = height - 1 - fileRow;
    for (int c = 0; c < width; ++c) {
      Rgb p = colour(row, c);
      out.push_back(static_cast<char>(p.b));
      out.push_back(static_cast<char>(p.g));
      out.push_back(static_cast<char>(p.r));
    }
    for (int pad = width * 3; pad < stride; ++pad) out.push_back('\0');
  }
  return out;
}

// A logo whose every line has its own colour (64 distinct ones) and whose left half differs
// from its right half, so a line out of place or reversed shows in the encoded values.
inline Rgb stripedLogo(int row, int column, int width) {
  const int k = row % 64;
  Rgb p{(k & 3) * 85, ((k >> 2) & 3) * 85, ((k >> 4) & 3) * 85};
  if (column >= width / 2) p.r = 255 - p.r;
  return p;
}

}  // namespace osd::test
