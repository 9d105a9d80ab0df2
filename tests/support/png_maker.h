// PNG files written by the tests themselves through libpng, with the chunks the tests choose.
#pragma once

#include <png.h>

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace osd::test {

struct PngSpec {
  int width = 1, height = 1;
  int type = PNG_COLOR_TYPE_RGB;
  int depth = 8;
  std::vector<uint16_t> samples;  // every channel of every pixel, rows top first
  double gamma = 0;               // gAMA when not 0
  bool srgb = false;
  std::vector<png_color> palette;
  std::vector<uint16_t> trns;  // palette: alphas; grey: one level; RGB: three levels
};

inline QByteArray writePng(const PngSpec& s) {
  QByteArray out;
  png_color_16 colour{0, s.trns.empty() ? png_uint_16(0) : s.trns[0]};
  colour.gray = colour.red;
  if (s.trns.size() == 3) colour.green = s.trns[1], colour.blue = s.trns[2];
  std::vector<png_byte> alphas(s.trns.begin(), s.trns.end()), row;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)))
    out.clear();
  else {
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t n) {
          static_cast<QByteArray*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(data), n);
        },
        nullptr);
    png_set_IHDR(png, info, s.width, s.height, s.depth, s.type, 0, 0, 0);
    if (s.gamma > 0) png_set_gAMA(png, info, s.gamma);
    if (s.srgb) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), int(s.palette.size()));
    const bool palette = s.type == PNG_COLOR_TYPE_PALETTE;
    if (!s.trns.empty())
      png_set_tRNS(png, info, alphas.data(), palette ? int(alphas.size()) : 0,
                   palette ? nullptr : &colour);
    png_write_info(png, info);
    const size_t perRow = s.samples.size() / size_t(s.height);
    for (int y = 0; y < s.height; ++y) {  // samples packed big-endian, high bits first
      row.assign(png_get_rowbytes(png, info), 0);
      for (size_t k = 0, bit = 0; k < perRow; ++k, bit += size_t(s.depth)) {
        const unsigned v = s.samples[size_t(y) * perRow + k];
        if (s.depth == 16)
          row[bit / 8] = png_byte(v >> 8), row[bit / 8 + 1] = png_byte(v);
        else
          row[bit / 8] |= png_byte(v << (8 - s.depth - int(bit % 8)));
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, info);
  }
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace osd::test
