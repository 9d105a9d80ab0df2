// PNG files written by the tests themselves through libpng, with the chunks the tests choose,
// and ICC profiles built with Little CMS.
#pragma once

#include <lcms2.h>
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
  QByteArray icc;
  std::vector<png_color> palette;
  std::vector<uint16_t> trns;  // palette: alphas; grey: one level; RGB: three levels
};

inline QByteArray writePng(const PngSpec& s) {
  QByteArray out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t n) {
        static_cast<QByteArray*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(data), n);
      },
      nullptr);
  png_set_IHDR(png, info, s.width, s.height, s.depth, s.type, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (s.gamma > 0) png_set_gAMA(png, info, s.gamma);
  if (s.srgb) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  if (!s.icc.isEmpty())
    png_set_iCCP(png, info, "test", 0, reinterpret_cast<png_const_bytep>(s.icc.data()),
                 png_uint_32(s.icc.size()));
  if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), int(s.palette.size()));
  png_color_16 colour{};
  std::vector<png_byte> alphas(s.trns.begin(), s.trns.end());
  if (!s.trns.empty() && s.type == PNG_COLOR_TYPE_PALETTE)
    png_set_tRNS(png, info, alphas.data(), int(alphas.size()), nullptr);
  if (!s.trns.empty() && s.type != PNG_COLOR_TYPE_PALETTE) {
    colour.gray = colour.red = s.trns[0];
    if (s.trns.size() == 3) colour.green = s.trns[1], colour.blue = s.trns[2];
    png_set_tRNS(png, info, nullptr, 0, &colour);
  }
  png_write_info(png, info);
  const size_t perRow = s.samples.size() / size_t(s.height);
  std::vector<png_byte> row(png_get_rowbytes(png, info));
  for (int y = 0; y < s.height; ++y) {
    std::fill(row.begin(), row.end(), 0);
    for (size_t k = 0; k < perRow; ++k) {
      const uint16_t v = s.samples[size_t(y) * perRow + k];
      const size_t bit = k * size_t(s.depth);
      if (s.depth == 16)
        row[2 * k] = png_byte(v >> 8), row[2 * k + 1] = png_byte(v);
      else
        row[bit / 8] |= png_byte(v << (8 - s.depth - int(bit % 8)));
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// A matrix-and-curve RGB profile: D65 white, the primaries (x, y of red, green, blue) and one
// curve for all three channels (sRGB's when `gamma` is 0).
inline QByteArray rgbProfile(const double (&xy)[6], double gamma) {
  const cmsCIExyY white{0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries{{xy[0], xy[1], 1.0}, {xy[2], xy[3], 1.0}, {xy[4], xy[5], 1.0}};
  const double srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  cmsToneCurve* curve =
      gamma > 0 ? cmsBuildGamma(nullptr, gamma) : cmsBuildParametricToneCurve(nullptr, 4, srgb);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  QByteArray bytes(qsizetype(size), '\0');
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  cmsFreeToneCurve(curve);
  return bytes;
}

// The sRGB colours of 8-bit RGB `samples` in `profile`, as Little CMS computes them.
inline std::vector<uint8_t> toSrgbWithLcms(const QByteArray& profile,
                                           const std::vector<uint8_t>& samples) {
  cmsHPROFILE from = cmsOpenProfileFromMem(profile.data(), cmsUInt32Number(profile.size()));
  cmsHPROFILE to = cmsCreate_sRGBProfile();
  cmsHTRANSFORM t =
      cmsCreateTransform(from, TYPE_RGB_8, to, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC, 0);
  std::vector<uint8_t> out(samples.size());
  cmsDoTransform(t, samples.data(), out.data(), cmsUInt32Number(samples.size() / 3));
  cmsDeleteTransform(t);
  cmsCloseProfile(from);
  cmsCloseProfile(to);
  return out;
}

}  // namespace osd::test
