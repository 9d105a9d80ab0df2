// How a graphics node stores a pixel: a 2-bit-per-channel RGB value or a brightness and
// colour-difference (YCbCr) pair.
#pragma once

namespace osd {

enum class PixelFormat { Rgb, YCbCr };

}  // namespace osd
