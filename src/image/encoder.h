// Logo encoding: a decoded bitmap turned into the node's pixel values, one value per pixel,
// bottom row first, each row left to right (within a byte the highest bits first).
//
// RGB values: 128 (opaque) + level(first) + 4 * level(second) + 16 * level(third), 0 for a
// transparent pixel. YCbCr values: the brightness in the high nibble, Cb (even index) or Cr
// (odd index) in the low nibble, 0 for a transparent pixel.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "image/bmp.h"
#include "image/node_view.h"

namespace osd {

// Level 0-3 of a colour byte: (c + 32) / 64, integer part, at most 3.
int colourLevel(int c);

// Luma 0.3 R + 0.59 G + 0.11 B, rounded (halves to even).
int lumaOf(int r, int g, int b);

struct EncodeOptions {
  PixelFormat format = PixelFormat::YCbCr;
  int transparent = 255;  // T
  // Called after each row of a 24-bit YCbCr conversion, so the event loop can run.
  std::function<void()> onRow;
};

// Appends nothing; writes w * h values into `out` from index 0 (growing it when it is
// shorter). Returns the number of values written.
size_t encodeImage(const BmpImage& image, const EncodeOptions& options, std::vector<int>& out);

// Convenience: the values as a new vector.
std::vector<int> encodeImage(const BmpImage& image, const EncodeOptions& options);

}  // namespace osd
