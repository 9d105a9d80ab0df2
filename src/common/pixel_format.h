// How a graphics node stores a pixel: a 2-bit-per-channel RGB value or a brightness and
// colour-difference (YCbCr) pair.
#pragma once

#include <optional>
#include <string_view>

namespace osd {

enum class PixelFormat { Rgb, YCbCr };

// "rgb" or "ycbcr", as every command line and file names the format; nothing for other text.
inline std::optional<PixelFormat> parsePixelFormat(std::string_view text) {
  if (text == "rgb") return PixelFormat::Rgb;
  if (text == "ycbcr") return PixelFormat::YCbCr;
  return std::nullopt;
}

}  // namespace osd
