#include "image/node_view.h"

#include <algorithm>
#include <cmath>

namespace osd {

namespace {

uint8_t toByte(double v) {
  const double c = std::clamp(std::round(v), 0.0, 255.0);
  return static_cast<uint8_t>(c);
}

// A 2-bit level as a byte: 0, 85, 170, 255.
uint8_t levelByte(int level) {
  return static_cast<uint8_t>((level & 3) * 85);
}

}  // namespace

Rgb8 decodeRgbValue(int value) {
  Rgb8 out;
  value &= 0xFF;
  if (value == 0) {
    out.transparent = true;
    return out;
  }
  out.r = levelByte(value);
  out.g = levelByte(value >> 2);
  out.b = levelByte(value >> 4);
  return out;
}

Rgb8 decodeYCbCr(int brightnessNibble, int cbNibble, int crNibble) {
  // The node keeps the top four bits of each quantity. Brightness runs from 0 (black) to
  // 219 (white, kept as 208) without the usual offset of 16; colour 8 is neutral.
  const double y = (brightnessNibble & 15) * 16;
  const double cb = (cbNibble & 15) * 16 - 128;
  const double cr = (crNibble & 15) * 16 - 128;
  const double yy = y * 255.0 / 208.0;
  Rgb8 out;
  out.r = toByte(yy + 1.596 * cr);
  out.g = toByte(yy - 0.391 * cb - 0.813 * cr);
  out.b = toByte(yy + 2.018 * cb);
  return out;
}

std::vector<Rgb8> decodeNodeValues(const std::vector<int>& values, PixelFormat fmt) {
  std::vector<Rgb8> out(values.size());
  if (fmt == PixelFormat::Rgb) {
    for (size_t j = 0; j < values.size(); ++j) out[j] = decodeRgbValue(values[j]);
    return out;
  }
  // A transparent neighbour carries no colour: its partner is shown without colour.
  const auto chroma = [&](size_t j) -> int {
    if (j >= values.size()) return 8;
    const int v = values[j] & 0xFF;
    return v == 0 ? 8 : (v & 15);
  };
  for (size_t j = 0; j < values.size(); ++j) {
    const int v = values[j] & 0xFF;
    if (v == 0) {
      out[j].transparent = true;
      continue;
    }
    const bool even = (j % 2) == 0;
    const int cb = even ? (v & 15) : chroma(j - 1);
    const int cr = even ? chroma(j + 1) : (v & 15);
    out[j] = decodeYCbCr(v >> 4, cb, cr);
  }
  return out;
}

}  // namespace osd
