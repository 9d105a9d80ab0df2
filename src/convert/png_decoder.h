// PNG pictures read with the PNG library itself, so that every kind the format can express
// comes out the way a colour-managed viewer shows it: palette, grey and colour at every depth,
// transparency from an alpha channel or from a tRNS chunk, and the colours of the file's
// sRGB, iCCP, gAMA and cHRM chunks turned into sRGB.
//
// The library's errors become the one-line reason of a refusal; its warnings (a damaged
// ancillary chunk, a profile that does not match the file) are dropped, since the picture still
// converts.
#pragma once

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <string>

namespace osd::convert {

struct DecodeLimits {
  int maxSide = 16384;                     // width or height
  long long maxPixels = 40'000'000;        // width x height
  long long maxBytes = 192LL << 20;        // the decoded picture
  unsigned long maxChunkBytes = 16 << 20;  // one ancillary chunk (an ICC profile), unpacked
};

bool isPng(const QByteArray& bytes);

// The picture in sRGB: Format_RGBA8888, or Format_RGBA64 for 16-bit files. A null image with
// `error` set (one line) when the file cannot be read or breaks the limits.
QImage decodePng(const QByteArray& bytes, const DecodeLimits& limits, std::string& error);

// What the colour chunks of a PNG say; chunks a PNG does not have are left at their defaults.
struct PngColourChunks {
  bool srgb = false;
  QByteArray icc;
  double gamma = 0;  // gAMA: the exponent the samples were encoded with; 0 when absent
  bool hasChromaticities = false;
  double white[2] = {}, red[2] = {}, green[2] = {}, blue[2] = {};  // cHRM, x and y
};

// The colour space the chunks describe: sRGB wins, then a profile Qt can use, then gAMA and
// cHRM (each standing in for sRGB's own part when it is absent). No chunks: sRGB.
QColorSpace colourSpaceOf(const PngColourChunks& chunks);

// Converts `image` from `space` into sRGB (nothing to do when `space` is sRGB or not valid).
void toSrgb(QImage& image, const QColorSpace& space);

}  // namespace osd::convert
