#include "image/encoder.h"

#include <algorithm>

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

}  // namespace

size_t encodeImage(const BmpImage& img, const EncodeOptions& o, std::vector<int>& out) {
  const BmpLayout& L = img.layout;
  const size_t count = static_cast<size_t>(L.width) * static_cast<size_t>(L.height);
  if (out.size() < count) out.resize(count, 0);
  const bool rgb = o.format == PixelFormat::Rgb;
  size_t j = 0;
  for (int y = 0; y < L.height; ++y) {
    const uint8_t* row = img.row(y);
    switch (L.bpp) {
      case 1:
        for (int x = 0; x < L.width; ++x, ++j) {
          const bool on = (row[x / 8] >> (7 - x % 8)) & 1;
          out[j] = on ? (rgb ? 191 : 248) : 0;
        }
        break;
      case 4:
        for (int x = 0; x < L.width; ++x, ++j) {
          const int index = (x % 2 == 0) ? (row[x / 2] >> 4) : (row[x / 2] & 15);
          out[j] = palettePixel(img, index, false, o, j);
        }
        break;
      case 8:
        for (int x = 0; x < L.width; ++x, ++j) out[j] = palettePixel(img, row[x], true, o, j);
        break;
      case 24:
        for (int x = 0; x < L.width; ++x, ++j) {
          const int b0 = row[3 * x], b1 = row[3 * x + 1], b2 = row[3 * x + 2];
          const int t = o.transparent;
          if (b0 == t && b1 == t && b2 == t) {
            out[j] = 0;
          } else if (rgb) {
            out[j] = rgbValue(b0, b1, b2);
          } else {
            const int r = b2, g = b1, b = b0;
            const int yy =
                static_cast<int>(roundHalfEven((66.0 * r + 129.0 * g + 25.0 * b + 128.0) / 256.0));
            out[j] = ycbcrValue(yy, chromaB(r, g, b, false), chromaR(r, g, b, false), j);
          }
        }
        if (!rgb && o.onRow) o.onRow();
        break;
      default:
        return 0;
    }
  }
  return j;
}

std::vector<int> encodeImage(const BmpImage& image, const EncodeOptions& options) {
  std::vector<int> out;
  encodeImage(image, options, out);
  return out;
}

}  // namespace osd
