// Any picture Qt reads (PNG, JPEG, GIF, BMP of every kind, SVG) turned into a bitmap the logo
// reader accepts: a size that meets the node's size rules, 24 bits or 8 bits with a colour
// table, and transparency the node understands.
//
// A pixel whose alpha is under 50 %, and every padding pixel the size rules add, becomes a
// pixel the encoder sends as transparent for the chosen transparency value T: 24-bit pixels
// (T, T, T); 8-bit pixels the colour-table index T, whose entry is (T, T, T). An opaque pixel
// that the encoder would take for transparent (its colour is (T, T, T), or, in the colour
// table, its luma is T) is moved to the nearest colour that it does not take so.
#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <string>
#include <vector>

#include "image/node_view.h"

namespace osd::convert {

enum class Placement {
  Fit,   // the whole picture, centred; the rest of the size is transparent
  Fill,  // the size covered, centred; what sticks out is cut off
};

struct Target {
  QSize size;  // not valid (0 x 0): the largest size the rules allow at the picture's aspect
  Placement placement = Placement::Fit;
  int depth = 24;  // 24, or 8 with a colour table
  bool largeMemory = false;
  int transparent = 255;  // T
};

// Reads a picture file; SVG is drawn large enough for the biggest logo. A null image, with
// `error` set to one line, when Qt cannot read it or it is damaged (a JPEG or GIF cut short,
// a JPEG the decoder warned about, a PNG with a bad chunk). A picture of several frames gives
// its first; `frames` (when given) is set to their number.
QImage loadPicture(const std::string& path, std::string& error, int* frames = nullptr);
// The same from the file's bytes (`nameHint` gives the kind where the bytes do not).
QImage readPicture(const QByteArray& bytes, const std::string& nameHint, std::string& error,
                   int* frames = nullptr);

// The largest size at the aspect ratio of `picture` that meets the size rules (width a
// multiple of 4, even height, at most 720 x 616, and 65,280 pixels on a 64 K node), padding
// included. An invalid picture size gives 256 x 64.
QSize largestSize(QSize picture, bool largeMemory);
// The largest such size within `box` (`box` itself when the rules allow nothing larger).
QSize largestSizeWithin(QSize picture, QSize box, bool largeMemory);

struct Converted {
  std::string error;         // why there is nothing; "" on success
  QImage picture;            // the picture at its final size, alpha 0 where transparent
  std::vector<uint8_t> bmp;  // the bitmap file's bytes
};

Converted convertPicture(const QImage& source, const Target& target);

// What the node will show for a converted bitmap: its encoded values decoded back to colours;
// transparent pixels have alpha 0.
QImage nodePreview(const std::vector<uint8_t>& bmp, PixelFormat format, int transparent);

}  // namespace osd::convert
