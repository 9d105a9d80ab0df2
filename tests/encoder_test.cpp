// Logo encoder: node values per depth and format against hand-computed cases, transparency,
// padded rows, larger headers, top-down files, the largest image, and every value against
// the formulas written out in floating point.
#include "image/encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "common/textnum.h"
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

std::vector<int> encode(const std::string& file, PixelFormat f, int t) {
  EncodeOptions o;
  o.format = f;
  o.transparent = t;
  return encodeImage(decoded(file), o);
}

// A 4 by 2 image of one 24-bit colour, stored bytes b0 (blue), b1, b2 (red).
std::string solid24(uint8_t b0, uint8_t b1, uint8_t b2) {
  BmpPlan b;
  b.width = 4;
  b.height = 2;
  std::vector<uint8_t> row;
  for (int x = 0; x < 4; ++x) row.insert(row.end(), {b0, b1, b2});
  b.rows = {row, row};
  return makeBmp(b);
}

// A 4 by 2, 8-bit image whose every pixel is `index`, with `entry` at that index.
std::string solid8(uint8_t index, std::array<uint8_t, 4> entry) {
  BmpPlan b;
  b.width = 4;
  b.height = 2;
  b.bpp = 8;
  b.palette.assign(256, {0, 0, 0, 0});
  b.palette[index] = entry;
  b.rows = {std::vector<uint8_t>(4, index), std::vector<uint8_t>(4, index)};
  return makeBmp(b);
}

}  // namespace

TEST(EncoderLevels, LevelIsLimitedToThree) {
  EXPECT_EQ(colourLevel(0), 0);
  EXPECT_EQ(colourLevel(31), 0);
  EXPECT_EQ(colourLevel(32), 1);
  EXPECT_EQ(colourLevel(95), 1);
  EXPECT_EQ(colourLevel(96), 2);
  EXPECT_EQ(colourLevel(160), 3);
  EXPECT_EQ(colourLevel(223), 3);
  EXPECT_EQ(colourLevel(224), 3);
  EXPECT_EQ(colourLevel(255), 3);
  EXPECT_EQ(lumaOf(255, 0, 0), 76);  // 76.5 goes to the even 76
  EXPECT_EQ(lumaOf(255, 255, 255), 255);
}

TEST(EncoderRgb, TwentyFourBitLevelsInStoredOrder) {
  EXPECT_EQ(encode(solid24(50, 100, 200), PixelFormat::Rgb, 255), std::vector<int>(8, 185));
  // White is opaque white when it is not the transparency value.
  EXPECT_EQ(encode(solid24(255, 255, 255), PixelFormat::Rgb, 0), std::vector<int>(8, 191));
  // All three bytes equal T: transparent; luma plays no part at 24 bits.
  EXPECT_EQ(encode(solid24(255, 255, 255), PixelFormat::Rgb, 255), std::vector<int>(8, 0));
  EXPECT_EQ(encode(solid24(0, 0, 255), PixelFormat::Rgb, 76), std::vector<int>(8, 128 + 48));
}

TEST(EncoderRgb, PaletteColoursRedFirst) {
  // (R, G, B) = (200, 100, 50): 128 + 3 + 4 * 2 + 16 * 1.
  EXPECT_EQ(encode(solid8(1, {50, 100, 200, 0}), PixelFormat::Rgb, 0), std::vector<int>(8, 155));
  EXPECT_EQ(encode(solid8(1, {255, 255, 255, 0}), PixelFormat::Rgb, 0), std::vector<int>(8, 191));
}

TEST(EncoderRgb, PaletteTransparency) {
  // Palette index 255 is transparent with T = 255 whatever its colour.
  EXPECT_EQ(encode(solid8(255, {50, 100, 200, 0}), PixelFormat::Rgb, 255), std::vector<int>(8, 0));
  EXPECT_EQ(encode(solid8(255, {50, 100, 200, 0}), PixelFormat::YCbCr, 255),
            std::vector<int>(8, 0));
  // Luma equal to T: pure red has luma 76.
  EXPECT_EQ(encode(solid8(1, {0, 0, 255, 0}), PixelFormat::Rgb, 76), std::vector<int>(8, 0));
  EXPECT_EQ(encode(solid8(1, {0, 0, 255, 0}), PixelFormat::Rgb, 77), std::vector<int>(8, 131));
  // R, G and B all equal T.
  EXPECT_EQ(encode(solid8(1, {9, 9, 9, 0}), PixelFormat::Rgb, 9), std::vector<int>(8, 0));
}

TEST(EncoderRgb, OneBitPixelsHighestBitFirst) {
  BmpPlan b;
  b.width = 8;
  b.height = 2;
  b.bpp = 1;
  b.palette = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  b.rows = {{160}, {1}};
  const std::vector<int> want = {191, 0, 191, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 191};
  EXPECT_EQ(encode(makeBmp(b), PixelFormat::Rgb, 255), want);
  b.rows = {{255}, {0}};
  std::vector<int> ycc(16, 0);
  for (int k = 0; k < 8; ++k) ycc[static_cast<size_t>(k)] = 248;
  EXPECT_EQ(encode(makeBmp(b), PixelFormat::YCbCr, 255), ycc);
}

TEST(EncoderRgb, FourBitHighHalfFirst) {
  BmpPlan b;
  b.width = 4;
  b.height = 2;
  b.bpp = 4;
  b.palette.assign(16, {0, 0, 0, 0});
  b.palette[1] = {0, 0, 255, 0};  // red
  b.palette[2] = {255, 0, 0, 0};  // blue
  b.rows = {{0x12, 0x21}, {0x00, 0x11}};
  const std::vector<int> want = {131, 176, 176, 131, 128, 128, 131, 131};
  EXPECT_EQ(encode(makeBmp(b), PixelFormat::Rgb, 255), want);
}

TEST(EncoderYCbCr, TwentyFourBitWhiteAndNoRoundingTerm) {
  EXPECT_EQ(encode(solid24(254, 254, 254), PixelFormat::YCbCr, 255), std::vector<int>(8, 216));
  EXPECT_EQ(encode(solid24(255, 255, 255), PixelFormat::YCbCr, 255), std::vector<int>(8, 0));
  // Blue 35: Cb = 3920 / 256 + 128 = 143.31 -> 143 -> 8; Cr = -630 / 256 + 128 -> 126 -> 7.
  EXPECT_EQ(encode(solid24(35, 0, 0), PixelFormat::YCbCr, 255),
            (std::vector<int>{8, 7, 8, 7, 8, 7, 8, 7}));
}

TEST(EncoderYCbCr, PaletteUsesLumaAndTheRoundingTerm) {
  // Same blue from the colour table: Cb = 4048 / 256 + 128 = 143.81 -> 144 -> 9.
  EXPECT_EQ(encode(solid8(1, {35, 0, 0, 0}), PixelFormat::YCbCr, 255),
            (std::vector<int>{9, 7, 9, 7, 9, 7, 9, 7}));
  // Mid grey 128: luma 128 -> nibble 128; Cb and Cr 128.5 -> 128 -> 8.
  EXPECT_EQ(encode(solid8(3, {128, 128, 128, 0}), PixelFormat::YCbCr, 255),
            std::vector<int>(8, 136));
  // Luma test applies in YCbCr too.
  EXPECT_EQ(encode(solid8(1, {0, 0, 255, 0}), PixelFormat::YCbCr, 76), std::vector<int>(8, 0));
}

TEST(EncoderFiles, PaddedRowsSkipThePadding) {
  BmpPlan b;
  b.width = 12;  // 1 bit: 2 bytes a row, stored as 4
  b.height = 2;
  b.bpp = 1;
  b.palette = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  b.rows = {{0xFF, 0xF0}, {0x80, 0x00}};
  std::string f = makeBmp(b);
  // Fill the padding with ones: none of them may show up.
  f[62 + 2] = f[62 + 3] = f[62 + 6] = f[62 + 7] = static_cast<char>(0xFF);
  std::vector<int> want(24, 0);
  for (int x = 0; x < 12; ++x) want[static_cast<size_t>(x)] = 191;
  want[12] = 191;
  EXPECT_EQ(encode(f, PixelFormat::Rgb, 255), want);
}

TEST(EncoderFiles, LargeHeaderShortTableAndOffsetPixels) {
  BmpPlan b;
  b.width = 4;
  b.height = 2;
  b.bpp = 8;
  b.infoSize = 124;
  b.clrUsed = 2;
  b.extraGap = 10;
  b.palette = {{0, 0, 0, 0}, {50, 100, 200, 0}};
  b.rows = {{1, 0, 1, 7}, {0, 1, 0, 1}};  // index 7 is beyond the table: black
  const std::vector<int> want = {155, 128, 155, 128, 128, 155, 128, 155};
  EXPECT_EQ(encode(makeBmp(b), PixelFormat::Rgb, 255), want);
}

TEST(EncoderFiles, TopDownEqualsItsBottomUpTwin) {
  BmpPlan b;
  b.width = 4;
  b.height = 4;
  for (int r = 0; r < 4; ++r) {
    std::vector<uint8_t> row;
    for (int x = 0; x < 4; ++x) {
      row.insert(row.end(), {static_cast<uint8_t>(r * 60), static_cast<uint8_t>(x * 70), 10});
    }
    b.rows.push_back(row);
  }
  const auto up = encode(makeBmp(b), PixelFormat::YCbCr, 255);
  b.topDown = true;
  EXPECT_EQ(encode(makeBmp(b), PixelFormat::YCbCr, 255), up);
  // Bottom row first: the first value comes from row 0, the last from row 3.
  EXPECT_NE(up.front(), up.back());
}

TEST(EncoderFiles, LargestImageFillsOnlyItsValues) {
  BmpPlan b;
  b.width = 720;
  b.height = 616;
  b.rows.assign(616, std::vector<uint8_t>(720 * 3, 77));
  const BmpImage img = decoded(makeBmp(b));
  EncodeOptions o;
  int rows = 0;
  o.onRow = [&] { ++rows; };
  std::vector<int> out(2000001, 0);
  const size_t n = encodeImage(img, o, out);
  EXPECT_EQ(n, 443520u);
  EXPECT_EQ(rows, 616);
  EXPECT_EQ(out.size(), 2000001u);
  EXPECT_EQ(out[443520], 0);
}

// ---- The values against the formulas written out in floating point ----

namespace {

int refLevel(int c) {
  return std::min(static_cast<int>(std::floor((c + 32) / 64.0)), 3);
}
int refRound(double v) {
  return static_cast<int>(roundHalfEven(v));
}
int refRgb(int first, int second, int third) {
  return 128 + refLevel(first) + 4 * refLevel(second) + 16 * refLevel(third);
}
// 24 bits: stored bytes b, g, r at output index j.
int ref24(int b, int g, int r, int t, PixelFormat f, size_t j) {
  if (b == t && g == t && r == t) return 0;
  if (f == PixelFormat::Rgb) return refRgb(b, g, r);
  const int y = refRound((66.0 * r + 129.0 * g + 25.0 * b + 128.0) / 256.0);
  const int c = j % 2 == 0 ? refRound((-38.0 * r - 74.0 * g + 112.0 * b) / 256.0 + 128.0)
                           : refRound((112.0 * r - 94.0 * g - 18.0 * b) / 256.0 + 128.0);
  return (y & 240) + c / 16;
}
// Palette depths: entry (b, g, r) of `index` at output index j.
int refPalette(const std::array<uint8_t, 4>& e, int index, bool indexTest, int t, PixelFormat f,
               size_t j) {
  const int b = e[0], g = e[1], r = e[2];
  const int y = refRound(0.3 * r + 0.59 * g + 0.11 * b);
  if (y == t || (r == t && g == t && b == t) || (indexTest && index == t)) return 0;
  if (f == PixelFormat::Rgb) return refRgb(r, g, b);
  const int c = j % 2 == 0 ? refRound((-38.0 * r - 74.0 * g + 112.0 * b + 128.0) / 256.0 + 128.0)
                           : refRound((112.0 * r - 94.0 * g - 18.0 * b + 128.0) / 256.0 + 128.0);
  return (y & 240) + c / 16;
}

BmpImage rawImage(int w, int h, int bpp) {
  BmpImage img;
  img.layout.width = w;
  img.layout.height = h;
  img.layout.bpp = bpp;
  img.layout.rowBytes = (static_cast<size_t>(w) * static_cast<size_t>(bpp) + 7) / 8;
  img.rows.assign(img.layout.rowBytes * static_cast<size_t>(h), 0);
  if (bpp <= 8) img.palette.assign(size_t{1} << bpp, {0, 0, 0, 0});
  return img;
}

}  // namespace

// An odd width moves the Cb/Cr alternation from row to row; every byte value appears in each
// colour position, including halves that round to even. Widths below and between multiples
// of eight cover the pixels converted one by one at the end of a row.
TEST(EncoderReference, TwentyFourBitsMatchTheFormulas) {
  for (int w : {257, 7, 14, 1}) {
    for (int pattern = 0; pattern < 3; ++pattern) {
      BmpImage img = rawImage(w, 256, 24);
      for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < w; ++x) {
          uint8_t* p = img.rows.data() + static_cast<size_t>(y) * img.layout.rowBytes + 3 * x;
          const int v = w == 257 ? x : x * 37 + y;  // narrow rows: every value down the rows
          p[0] = static_cast<uint8_t>(pattern == 0 ? v : (x * 7 + y * 13 + pattern));
          p[1] = static_cast<uint8_t>(pattern == 1 ? v : y);
          p[2] = static_cast<uint8_t>(pattern == 2 ? v : (x * 29 + y * 3));
        }
      }
      for (PixelFormat f : {PixelFormat::YCbCr, PixelFormat::Rgb}) {
        for (int t : {255, 0, 128}) {
          EncodeOptions o;
          o.format = f;
          o.transparent = t;
          const std::vector<int> out = encodeImage(img, o);
          ASSERT_EQ(out.size(), static_cast<size_t>(w) * 256u);
          for (size_t j = 0; j < out.size(); ++j) {
            const uint8_t* p = img.rows.data() + (j / w) * img.layout.rowBytes + 3 * (j % w);
            ASSERT_EQ(out[j], ref24(p[0], p[1], p[2], t, f, j))
                << "width " << w << " pattern " << pattern << " T " << t << " pixel " << j;
          }
        }
      }
    }
  }
}

TEST(EncoderReference, PaletteDepthsMatchTheFormulas) {
  for (int bpp : {8, 4}) {
    const int w = 33;  // odd: the parity of a column changes from row to row
    BmpImage img = rawImage(w, 20, bpp);
    for (size_t e = 0; e < img.palette.size(); ++e) {
      img.palette[e] = {static_cast<uint8_t>(e * 37 + 5), static_cast<uint8_t>(e * 101),
                        static_cast<uint8_t>(255 - e * 11), 0};
    }
    img.palette[3] = {255, 255, 255, 0};
    for (size_t i = 0; i < img.rows.size(); ++i) img.rows[i] = static_cast<uint8_t>(i * 53 + 7);
    for (PixelFormat f : {PixelFormat::YCbCr, PixelFormat::Rgb}) {
      for (int t : {255, 3, 0, 200}) {
        EncodeOptions o;
        o.format = f;
        o.transparent = t;
        const std::vector<int> out = encodeImage(img, o);
        ASSERT_EQ(out.size(), static_cast<size_t>(w) * 20u);
        for (size_t j = 0; j < out.size(); ++j) {
          const size_t y = j / w, x = j % w;
          const uint8_t* row = img.rows.data() + y * img.layout.rowBytes;
          const int index = bpp == 8 ? row[x] : (x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15);
          ASSERT_EQ(out[j],
                    refPalette(img.palette[static_cast<size_t>(index)], index, bpp == 8, t, f, j))
              << bpp << " bits, T " << t << " pixel " << j;
        }
      }
    }
  }
}

TEST(EncoderReference, UnsupportedDepthStillSizesTheOutput) {
  BmpImage img = rawImage(4, 2, 16);
  std::vector<int> out;
  EXPECT_EQ(encodeImage(img, EncodeOptions{}, out), 0u);
  EXPECT_EQ(out.size(), 8u);
}
