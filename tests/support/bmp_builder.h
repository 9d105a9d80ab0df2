// Bitmap files in memory: any size, depth, header, colour table, row order and padding.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace osd::test {

struct BmpPlan {
  int width = 4, height = 2, bpp = 24;
  bool topDown = false;
  uint32_t infoSize = 40, clrUsed = 0, compression = 0;
  uint32_t extraGap = 0;  // bytes between the colour table and the pixels
  bool padRows = true;
  // Colour-table entries written after the info header (blue, green, red, reserved).
  std::vector<std::array<uint8_t, 4>> palette;
  // Pixel rows, bottom row first, each holding the row's pixel bytes (without padding).
  std::vector<std::vector<uint8_t>> rows;
};

inline void put(std::string& s, size_t at, uint32_t v, int bytes) {
  for (int k = 0; k < bytes; ++k) s[at + static_cast<size_t>(k)] = static_cast<char>(v >> (8 * k));
}

inline std::string makeBmp(const BmpPlan& b) {
  const size_t rowBytes = (static_cast<size_t>(b.width) * static_cast<size_t>(b.bpp) + 7) / 8;
  const size_t stride = b.padRows ? (rowBytes + 3) / 4 * 4 : rowBytes;
  const size_t offBits = 14 + b.infoSize + 4 * b.palette.size() + b.extraGap;
  std::string s(offBits + stride * static_cast<size_t>(b.height), '\0');
  s.replace(0, 2, "BM");
  const int height = b.topDown ? -b.height : b.height;
  // clang-format off
  const std::tuple<size_t, uint32_t, int> fields[] = {  // offset, value, bytes
      {2, uint32_t(s.size()), 4}, {10, uint32_t(offBits), 4}, {14, b.infoSize, 4}, {18, uint32_t(b.width), 4},
      {22, uint32_t(height), 4}, {26, 1, 2}, {28, uint32_t(b.bpp), 2}, {30, b.compression, 4}, {46, b.clrUsed, 4}};
  // clang-format on
  for (const auto& [at, value, bytes] : fields) put(s, at, value, bytes);
  for (size_t e = 0; e < b.palette.size(); ++e)
    for (size_t k = 0; k < 4; ++k)
      s[14 + b.infoSize + 4 * e + k] = static_cast<char>(b.palette[e][k]);
  for (int r = 0; r < b.height && static_cast<size_t>(r) < b.rows.size(); ++r) {
    // Stored order: bottom row first, or top row first for a top-down file.
    const int stored = b.topDown ? b.height - 1 - r : r;
    const auto& row = b.rows[static_cast<size_t>(r)];
    for (size_t c = 0; c < row.size() && c < rowBytes; ++c)
      s[offBits + static_cast<size_t>(stored) * stride + c] = static_cast<char>(row[c]);
  }
  return s;
}

// A plan of the given size and depth with these rows and, up to 8 bits, a full colour table.
inline BmpPlan planOf(int w, int h, int bpp, std::vector<std::vector<uint8_t>> rows = {}) {
  BmpPlan b;
  b.width = w, b.height = h, b.bpp = bpp, b.rows = std::move(rows);
  if (bpp <= 8) b.palette.assign(size_t{1} << bpp, std::array<uint8_t, 4>{0, 0, 0, 0});
  return b;
}

// A plain bitmap of the given size and depth with zero pixels and a full colour table.
inline std::string plainBmp(int w, int h, int bpp) {
  return makeBmp(planOf(w, h, bpp));
}

struct Rgb {
  int r = 0, g = 0, b = 0;
};

// A width x height 24-bit bitmap; `colour(row, column)` gives each pixel, row 0 being the top
// line of the picture (the file stores the bottom line first).
inline std::string makeBitmap24(int width, int height,
                                const std::function<Rgb(int row, int column)>& colour) {
  BmpPlan b = planOf(width, height, 24);
  for (int r = height - 1; r >= 0; --r) {
    std::vector<uint8_t>& row = b.rows.emplace_back();
    for (int c = 0; c < width; ++c) {
      const Rgb p = colour(r, c);
      row.insert(row.end(), {uint8_t(p.b), uint8_t(p.g), uint8_t(p.r)});
    }
  }
  std::string s = makeBmp(b);
  put(s, 34, static_cast<uint32_t>(s.size() - 54), 4);  // image size
  put(s, 38, 2835, 4), put(s, 42, 2835, 4);             // 72 dots an inch
  return s;
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
