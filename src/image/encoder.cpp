#include "image/encoder.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "common/textnum.h"

namespace osd {

int colourLevel(int c) {
  return std::min((c + 32) / 64, 3);
}

int lumaOf(int r, int g, int b) {
  return static_cast<int>(roundHalfEven(0.3 * r + 0.59 * g + 0.11 * b));
}

namespace {

int rgbValue(int first, int second, int third) {
  return 128 + colourLevel(first) + 4 * colourLevel(second) + 16 * colourLevel(third);
}

// Cb and Cr; the palette depths add the rounding term 128 before the division, 24 bits not.
int chromaB(int r, int g, int b, bool roundingTerm) {
  const double sum = -38.0 * r - 74.0 * g + 112.0 * b + (roundingTerm ? 128.0 : 0.0);
  return static_cast<int>(roundHalfEven(sum / 256.0 + 128.0));
}
int chromaR(int r, int g, int b, bool roundingTerm) {
  const double sum = 112.0 * r - 94.0 * g - 18.0 * b + (roundingTerm ? 128.0 : 0.0);
  return static_cast<int>(roundHalfEven(sum / 256.0 + 128.0));
}

int ycbcrValue(int brightness, int cb, int cr, size_t j) {
  const int colour = (j % 2 == 0) ? cb : cr;
  return (brightness & 240) + colour / 16;
}

// One palette pixel (index into the colour table).
int palettePixel(const BmpImage& img, int index, bool indexTest, const EncodeOptions& o, size_t j) {
  const auto& e = img.palette[static_cast<size_t>(index) % img.palette.size()];
  const int r = e[2], g = e[1], b = e[0];
  const int t = o.transparent;
  const int yl = lumaOf(r, g, b);
  if (yl == t || (r == t && g == t && b == t) || (indexTest && index == t)) return 0;
  if (o.format == PixelFormat::Rgb) return rgbValue(r, g, b);
  return ycbcrValue(yl, chromaB(r, g, b, true), chromaR(r, g, b, true), j);
}

// The 24-bit YCbCr conversion adds up two sums per pixel, the brightness sum
// 66 R + 129 G + 25 B + 128 and the chroma sum (Cb: -38 R - 74 G + 112 B at an even output
// index, Cr: 112 R - 94 G - 18 B at an odd one). Both are kept side by side in one 64-bit
// word, the brightness sum in the upper half and the chroma sum plus 32768 (never negative)
// in the lower one, so three table look-ups and two additions give both. Neither half
// reaches 65536, so no carry crosses from one half into the other.
struct YcbcrTables {
  // [parity][channel: 0 blue, 1 green, 2 red][byte]
  std::array<std::array<std::array<uint64_t, 256>, 3>, 2> term{};
  YcbcrTables() {
    constexpr int kBrightness[3] = {25, 129, 66};
    constexpr int kChroma[2][3] = {{112, -74, -38}, {-18, -94, 112}};
    for (int p = 0; p < 2; ++p) {
      for (int ch = 0; ch < 3; ++ch) {
        for (int v = 0; v < 256; ++v) {
          // The constants (128 and 32768) ride on the blue term.
          const int64_t upper = kBrightness[ch] * v + (ch == 0 ? 128 : 0);
          const int64_t lower = kChroma[p][ch] * v + (ch == 0 ? 32768 : 0);
          term[p][ch][v] = (static_cast<uint64_t>(upper) << 32) + static_cast<uint64_t>(lower);
        }
      }
    }
  }
};

const YcbcrTables& ycbcrTables() {
  static const YcbcrTables tables;
  return tables;
}

// Both halves divided by 256, rounded to the nearest, halves to the even one, and put
// together as the node value: the brightness nibble and chroma / 16. This is roundHalfEven
// of the quotient in floating point (a small integer over 256 is exact there): adding 127 and
// the lowest bit of the floor carries into the quotient exactly when the rest is above a
// half, or a half with an odd floor. No branch, so random pixels cost no mispredictions.
// Dividing the lower half by 256 adds exactly 128 to the chroma (32768 / 256, an even number,
// so the rounding is unchanged), the 128 the formula adds.
inline int ycbcrValue24(uint64_t sums) {
  constexpr uint64_t kHalf = 127 | (uint64_t{127} << 32);
  constexpr uint64_t kLowBit = 1 | (uint64_t{1} << 32);
  const uint64_t q = (sums + kHalf + ((sums >> 8) & kLowBit)) >> 8;
  // q: chroma in bits 0-7, brightness from bit 32 on.
  return static_cast<int>(((q >> 32) & 240) + ((q & 0xF0) >> 4));
}

#if defined(__GNUC__)
// Eight pixels at a time in 16-bit lanes (GCC and Clang vector types, SSE2 or NEON where
// present). Every sum fits 16 bits when taken modulo 65536: the brightness sum is at most
// 56228, the chroma sum plus 32768 lies within 4208..61328, so the same formulas as the
// 64-bit word above hold lane by lane.
typedef uint16_t Lanes __attribute__((vector_size(16)));

void ycbcr24Eight(const uint8_t* p, Lanes wr, Lanes wg, Lanes wb, Lanes t, int* out) {
  const Lanes b = {p[0], p[3], p[6], p[9], p[12], p[15], p[18], p[21]};
  const Lanes g = {p[1], p[4], p[7], p[10], p[13], p[16], p[19], p[22]};
  const Lanes r = {p[2], p[5], p[8], p[11], p[14], p[17], p[20], p[23]};
  const Lanes ys = 66 * r + 129 * g + 25 * b + 128;
  const Lanes cs = wr * r + wg * g + wb * b + 32768;
  const Lanes y = (ys + 127 + ((ys >> 8) & 1)) >> 8;
  const Lanes c = (cs + 127 + ((cs >> 8) & 1)) >> 8;  // chroma + 128
  const Lanes clear = (b == t) & (g == t) & (r == t);
  const Lanes value = ((y & 240) + (c >> 4)) & ~clear;
  for (int k = 0; k < 8; ++k) out[k] = value[k];
}
#endif

// One row of 24-bit YCbCr values; the first pixel takes the chroma of parity `first`, then
// they alternate. A pixel whose three bytes are all `t` gives 0.
void ycbcr24Row(const uint8_t* row, int width, int first, int t, int* out) {
  int x = 0;
#if defined(__GNUC__)
  {
    // Lane k holds output index parity (first + k) % 2: Cb weights at even, Cr at odd.
    constexpr uint16_t kCb[3] = {static_cast<uint16_t>(-38), static_cast<uint16_t>(-74), 112};
    constexpr uint16_t kCr[3] = {112, static_cast<uint16_t>(-94), static_cast<uint16_t>(-18)};
    Lanes w[3];
    for (int ch = 0; ch < 3; ++ch) {
      const uint16_t e = first == 0 ? kCb[ch] : kCr[ch];
      const uint16_t o = first == 0 ? kCr[ch] : kCb[ch];
      w[ch] = Lanes{e, o, e, o, e, o, e, o};
    }
    const uint16_t tv = static_cast<uint16_t>(t);
    const Lanes tl = {tv, tv, tv, tv, tv, tv, tv, tv};
    for (; x + 8 <= width; x += 8) ycbcr24Eight(row + 3 * x, w[0], w[1], w[2], tl, out + x);
  }
  // The rest continues the alternation: x is even here.
#endif
  const auto& even = ycbcrTables().term[static_cast<size_t>(first)];
  const auto& odd = ycbcrTables().term[static_cast<size_t>(1 - first)];
  const auto pixel = [t](const uint8_t* p, const auto& k) {
    const int b = p[0], g = p[1], r = p[2];
    const int value = ycbcrValue24(k[0][b] + k[1][g] + k[2][r]);
    const bool clear = ((b ^ t) | (g ^ t) | (r ^ t)) == 0;
    return clear ? 0 : value;
  };
  for (; x + 1 < width; x += 2) {
    const int v0 = pixel(row + 3 * x, even);
    const int v1 = pixel(row + 3 * x + 3, odd);
    out[x] = v0;
    out[x + 1] = v1;
  }
  if (x < width) out[x] = pixel(row + 3 * x, even);
}

// The 24-bit RGB value of the stored pixel `p`, levels in stored order.
inline int rgb24(const uint8_t* p, const uint8_t* level, int t) {
  const int value = 128 + level[p[0]] + 4 * level[p[1]] + 16 * level[p[2]];
  const bool clear = ((p[0] ^ t) | (p[1] ^ t) | (p[2] ^ t)) == 0;
  return clear ? 0 : value;
}

// The values of every palette index at an even and at an odd output index, so a pixel costs a
// table look-up.
struct PaletteValues {
  std::array<std::array<int, 256>, 2> value{};
};

PaletteValues paletteValues(const BmpImage& img, bool indexTest, const EncodeOptions& o) {
  PaletteValues v;
  const int entries = 1 << img.layout.bpp;
  for (int p = 0; p < 2; ++p)
    for (int index = 0; index < entries; ++index)
      v.value[static_cast<size_t>(p)][static_cast<size_t>(index)] =
          palettePixel(img, index, indexTest, o, static_cast<size_t>(p));
  return v;
}

}  // namespace

size_t encodeImage(const BmpImage& img, const EncodeOptions& o, std::vector<int>& out) {
  const BmpLayout& L = img.layout;
  const size_t count = static_cast<size_t>(L.width) * static_cast<size_t>(L.height);
  if (out.size() < count) out.resize(count, 0);
  if (L.bpp != 1 && L.bpp != 4 && L.bpp != 8 && L.bpp != 24) return 0;
  const bool rgb = o.format == PixelFormat::Rgb;
  PaletteValues palette;
  if ((L.bpp == 4 || L.bpp == 8) && !img.palette.empty())
    palette = paletteValues(img, L.bpp == 8, o);
  const int t = o.transparent;
  const int oneBitOn = rgb ? 191 : 248;
  std::array<uint8_t, 256> levels{};
  for (int c = 0; c < 256; ++c)
    levels[static_cast<size_t>(c)] = static_cast<uint8_t>(colourLevel(c));
  int* dst = out.data();
  size_t j = 0;
  for (int y = 0; y < L.height; ++y) {
    const uint8_t* row = img.row(y);
    int* d = dst + j;
    switch (L.bpp) {
      case 1:
        for (int x = 0; x < L.width; ++x) d[x] = ((row[x / 8] >> (7 - x % 8)) & 1) ? oneBitOn : 0;
        break;
      case 4: {
        const int* even = palette.value[j % 2].data();
        const int* odd = palette.value[(j + 1) % 2].data();
        for (int x = 0; x < L.width; ++x) {
          const int index = (x % 2 == 0) ? (row[x / 2] >> 4) : (row[x / 2] & 15);
          d[x] = (x % 2 == 0 ? even : odd)[index];
        }
        break;
      }
      case 8: {
        const int* even = palette.value[j % 2].data();
        const int* odd = palette.value[(j + 1) % 2].data();
        for (int x = 0; x < L.width; ++x) d[x] = (x % 2 == 0 ? even : odd)[row[x]];
        break;
      }
      case 24:
        if (rgb) {
          for (int x = 0; x < L.width; ++x) d[x] = rgb24(row + 3 * x, levels.data(), t);
        } else {
          ycbcr24Row(row, L.width, static_cast<int>(j % 2), t, d);
          if (o.onRow) o.onRow();
        }
        break;
    }
    j += static_cast<size_t>(L.width);
  }
  return j;
}

std::vector<int> encodeImage(const BmpImage& image, const EncodeOptions& options) {
  std::vector<int> out;
  encodeImage(image, options, out);
  return out;
}

}  // namespace osd
