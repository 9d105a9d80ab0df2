// Turns the pixel values a graphics node stores back into 24-bit colours, so a picture of
// "what the node will show" can be drawn or written to a file.
//
// RGB values: bit 7 marks an opaque pixel, bits 0-1, 2-3 and 4-5 hold the red, green and
// blue levels 0-3 (the order the palette images are encoded in). YCbCr values: the high
// nibble is the brightness, the low nibble the colour difference, Cb on even indices and Cr on
// odd ones; the two neighbours of a pair share their colour. In both formats 0 is transparent.
#pragma once

#include <cstdint>
#include <vector>

#include "common/pixel_format.h"

namespace osd {

struct Rgb8 {
  uint8_t r = 0, g = 0, b = 0;
  bool transparent = false;
  bool operator==(const Rgb8&) const = default;
};

// One colour per value, same order (the node's order: bottom row first, left to right).
// Transparent pixels come back black with `transparent` set.
std::vector<Rgb8> decodeNodeValues(const std::vector<int>& values, PixelFormat fmt);

// A single RGB value (bit 7 opaque, 2-bit levels) as a colour.
Rgb8 decodeRgbValue(int value);

// One YCbCr pixel from its brightness value and the Cb and Cr nibbles of its pair.
Rgb8 decodeYCbCr(int brightnessNibble, int cbNibble, int crNibble);

}  // namespace osd
