// Logo encoder: hand-computed node values per depth, format and transparency; and every 24-bit
// value against the formulas written out in floating point.
#include "image/encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "common/textnum.h"
#include "image/node_view.h"
#include "support/bmp_builder.h"

using namespace osd;
using namespace osd::test;

namespace {

BmpImage decoded(const std::string& file) {
  std::string err;
  auto img = decodeBmp(std::vector<uint8_t>(file.begin(), file.end()), err);
  EXPECT_TRUE(img.has_value()) << err;
  return img ? *img : BmpImage{};
}

// A 4 by 2 image of one 24-bit colour, stored bytes b0 (blue), b1, b2 (red).
std::string solid24(uint8_t b0, uint8_t b1, uint8_t b2) {
  std::vector<uint8_t> row;
  for (int x = 0; x < 4; ++x) row.insert(row.end(), {b0, b1, b2});
  return makeBmp(planOf(4, 2, 24, {row, row}));
}

// A 4 by 2, 8-bit image whose every pixel is `index`, with `entry` at that index.
std::string solid8(uint8_t index, std::array<uint8_t, 4> entry) {
  BmpPlan b = planOf(4, 2, 8, {std::vector<uint8_t>(4, index), std::vector<uint8_t>(4, index)});
  b.palette[index] = entry;
  return makeBmp(b);
}

// 24 bits: stored bytes b, g, r at output index j.
int ref24(int b, int g, int r, int t, PixelFormat f, size_t j) {
  const auto level = [](int c) {
    return std::min(static_cast<int>(std::floor((c + 32) / 64.0)), 3);
  };
  const auto refRound = [](double v) { return static_cast<int>(roundHalfEven(v)); };
  if (b == t && g == t && r == t) return 0;
  if (f == PixelFormat::Rgb) return 128 + level(b) + 4 * level(g) + 16 * level(r);
  const int y = refRound((66.0 * r + 129.0 * g + 25.0 * b + 128.0) / 256.0);
  const int c = j % 2 == 0 ? refRound((-38.0 * r - 74.0 * g + 112.0 * b) / 256.0 + 128.0)
                           : refRound((112.0 * r - 94.0 * g - 18.0 * b) / 256.0 + 128.0);
  return (y & 240) + c / 16;
}
BmpImage rawImage(int w, int h, int bpp) {
  BmpImage img;
  img.layout.width = w, img.layout.height = h, img.layout.bpp = bpp;
  img.layout.rowBytes = (static_cast<size_t>(w) * static_cast<size_t>(bpp) + 7) / 8;
  img.rows.assign(img.layout.rowBytes * static_cast<size_t>(h), 0);
  if (bpp <= 8) img.palette.assign(size_t{1} << bpp, {0, 0, 0, 0});
  return img;
}

}  // namespace

// Hand-computed node values: depth, format, transparency value T, stored order.
TEST(EncoderCases, ValuesPerDepthFormatAndTransparencyAndEveryTwentyFourBitValue) {
  const auto Rgb = PixelFormat::Rgb, Ycc = PixelFormat::YCbCr;
  BmpPlan oneBit = planOf(8, 2, 1, {{160}, {1}});  // highest bit first
  oneBit.palette = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  BmpPlan oneBitYcc = oneBit;
  oneBitYcc.rows = {{255}, {0}};
  BmpPlan fourBit = planOf(4, 2, 4, {{0x12, 0x21}, {0x00, 0x11}});  // high half first
  fourBit.palette[1] = {0, 0, 255, 0};                              // red
  fourBit.palette[2] = {255, 0, 0, 0};                              // blue
  BmpPlan padded = planOf(12, 2, 1, {{0xFF, 0xF0}, {0x80, 0x00}});  // 2 bytes a row, stored as 4
  padded.palette = oneBit.palette;
  std::string paddedFile = makeBmp(padded);
  for (size_t at : {64, 65, 68, 69}) paddedFile[at] = '\xFF';     // ones in the padding never show
  BmpPlan large = planOf(4, 2, 8, {{1, 0, 1, 7}, {0, 1, 0, 1}});  // 7: beyond the table, black
  large.infoSize = 124, large.clrUsed = 2, large.extraGap = 10;   // a short colour table
  large.palette = {{0, 0, 0, 0}, {50, 100, 200, 0}};
  std::vector<int> paddedWant(24, 0), oneBitYccWant(16, 0), none(8, 0);  // none: all T
  std::fill_n(paddedWant.begin(), 13, 191);
  std::fill_n(oneBitYccWant.begin(), 8, 248);
  const std::vector<int> oneBitWant = {191, 0, 191, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 191},
                         fourBitWant = {131, 176, 176, 131, 128, 128, 131, 131};
  // clang-format off
  const struct { const char* what; std::string file; PixelFormat format; int t;
                 std::vector<int> want; } cases[] = {
      {"24-bit levels", solid24(50, 100, 200), Rgb, 255, std::vector<int>(8, 185)},
      {"white, T 0", solid24(255, 255, 255), Rgb, 0, std::vector<int>(8, 191)},
      {"all three equal T", solid24(255, 255, 255), Rgb, 255, none},
      {"no luma test at 24 bits", solid24(0, 0, 255), Rgb, 76, std::vector<int>(8, 176)},
      {"palette red first", solid8(1, {50, 100, 200, 0}), Rgb, 0, std::vector<int>(8, 155)},
      {"palette index T", solid8(255, {50, 100, 200, 0}), Rgb, 255, none}, {"palette index T, YCbCr", solid8(255, {50, 100, 200, 0}), Ycc, 255, none},
      {"palette index T 1", solid8(1, {50, 100, 200, 0}), Rgb, 1, none}, {"palette luma T", solid8(1, {0, 0, 255, 0}), Rgb, 76, none},
      {"palette luma not T", solid8(1, {0, 0, 255, 0}), Rgb, 77, std::vector<int>(8, 131)},
      {"palette luma T, YCbCr", solid8(1, {0, 0, 255, 0}), Ycc, 76, none}, {"palette all T", solid8(1, {9, 9, 9, 0}), Rgb, 9, none},
      {"1 bit", makeBmp(oneBit), Rgb, 255, oneBitWant},
      {"1 bit YCbCr", makeBmp(oneBitYcc), Ycc, 255, oneBitYccWant},
      {"4 bits", makeBmp(fourBit), Rgb, 255, fourBitWant},
      // The index is held against T at 8 bits only: entry 1 stays at 4 bits and at 1 bit.
      {"4 bits, T 1", makeBmp(fourBit), Rgb, 1, fourBitWant}, {"1 bit, T 1", makeBmp(oneBit), Rgb, 1, oneBitWant},
      {"YCbCr white 254", solid24(254, 254, 254), Ycc, 255, std::vector<int>(8, 216)},
      {"YCbCr white is T", solid24(255, 255, 255), Ycc, 255, none},
      // Blue 35: Cb = 3920 / 256 + 128 = 143.31 -> 8; Cr = -630 / 256 + 128 -> 126 -> 7.
      {"24-bit chroma", solid24(35, 0, 0), Ycc, 255, {8, 7, 8, 7, 8, 7, 8, 7}},
      // From the colour table, with the rounding term: Cb = 4048 / 256 + 128 = 143.81 -> 9.
      {"palette chroma", solid8(1, {35, 0, 0, 0}), Ycc, 255, {9, 7, 9, 7, 9, 7, 9, 7}},
      {"palette grey", solid8(3, {128, 128, 128, 0}), Ycc, 255, std::vector<int>(8, 136)},
      {"palette dark grey", solid8(3, {48, 48, 48, 0}), Ycc, 255, std::vector<int>(8, 56)},
      {"padded rows", paddedFile, Rgb, 255, paddedWant},
      {"large header", makeBmp(large), Rgb, 255, {155, 128, 155, 128, 128, 155, 128, 155}}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(encodeImage(decoded(c.file), EncodeOptions{c.format, c.t}), c.want) << c.what;
    // Into a longer buffer: what lies beyond the picture's values stays.
    std::vector<int> out(c.want.size() + 2, -1), want = c.want;
    want.insert(want.end(), {-1, -1});
    encodeImage(decoded(c.file), EncodeOptions{c.format, c.t}, out);
    EXPECT_EQ(out, want) << c.what;
  }
  // The node view shows the levels of "24-bit levels" again: red 1, green 2, blue 3 of 3.
  EXPECT_EQ(decodeRgbValue(185), (Rgb8{85, 170, 255, false}));
  // Every 24-bit value against the formulas. An odd width moves the Cb/Cr alternation from row
  // to row; every byte value appears in each colour position, including halves that round to
  // even. Widths below and between multiples of eight cover the pixels converted one by one at
  // the end of a row.
  for (int w : {257, 7, 14, 1})
    for (int pattern = 0; pattern < 3; ++pattern) {
      BmpImage img = rawImage(w, 256, 24);
      for (int y = 0; y < 256; ++y)
        for (int x = 0; x < w; ++x) {
          uint8_t* p = img.rows.data() + static_cast<size_t>(y) * img.layout.rowBytes + 3 * x;
          const int v = w == 257 ? x : x * 37 + y;  // narrow rows: every value down the rows
          p[0] = static_cast<uint8_t>(pattern == 0 ? v : (x * 7 + y * 13 + pattern));
          p[1] = static_cast<uint8_t>(pattern == 1 ? v : y);
          p[2] = static_cast<uint8_t>(pattern == 2 ? v : (x * 29 + y * 3));
        }
      for (PixelFormat f : {PixelFormat::YCbCr, PixelFormat::Rgb})
        for (int t : {255, 0, 128}) {
          const std::vector<int> out = encodeImage(img, EncodeOptions{f, t});
          ASSERT_EQ(out.size(), static_cast<size_t>(w) * 256u);
          for (size_t j = 0; j < out.size(); ++j) {
            const uint8_t* p = img.rows.data() + (j / w) * img.layout.rowBytes + 3 * (j % w);
            ASSERT_EQ(out[j], ref24(p[0], p[1], p[2], t, f, j))
                << "width " << w << " pattern " << pattern << " T " << t << " pixel " << j;
          }
        }
    }
}
