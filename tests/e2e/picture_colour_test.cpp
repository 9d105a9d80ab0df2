// Pictures as a colour-managed viewer shows them: the colours of PNG gamma chunks and ICC
// profiles (PNG and JPEG) turned into sRGB before the conversion, and transparency from every
// source PNG can express. The pictures are written here, through libpng and Little CMS.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <cmath>
#include <cstdlib>

#include "convert/import_model.h"
#include "e2e/e2e_support.h"
#include "image/bmp.h"
#include "image/encoder.h"
#include "support/png_maker.h"

using namespace osd;
using osd::test::PngSpec;

namespace {

// sRGB colours away from the darkest shadows, where an 8-bit linear file has no levels left.
const QColor kColours[] = {{187, 187, 187}, {230, 120, 0},   {100, 140, 220}, {250, 240, 110},
                           {160, 0, 200},   {255, 255, 255}, {0, 0, 0},       {120, 200, 150}};

double linearOf(int v) {
  const double c = v / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

int channel(const QColor& c, int k) {
  return k == 0 ? c.red() : k == 1 ? c.green() : c.blue();
}

// Node values within one level: each 2-bit level of an RGB value; brightness and colour
// nibbles of a YCbCr value.
bool withinOneLevel(int a, int b, PixelFormat format) {
  if ((a == 0) != (b == 0)) return false;
  const int step = format == PixelFormat::Rgb ? 2 : 4, mask = (1 << step) - 1;
  for (int shift = 0; shift < 8 - (format == PixelFormat::Rgb); shift += step)
    if (std::abs((a >> shift & mask) - (b >> shift & mask)) > 1) return false;
  return true;
}

std::vector<int> nodeValues(const std::vector<uint8_t>& bmp, PixelFormat format) {
  std::string error;
  const auto image = decodeBmp(bmp, error);
  EncodeOptions options;
  options.format = format;
  return image ? encodeImage(*image, options) : std::vector<int>{};
}

int farthest(const QImage& picture, int x, int y, const QColor& want) {
  const QColor got = picture.pixelColor(x, y);
  return std::max({std::abs(got.red() - want.red()), std::abs(got.green() - want.green()),
                   std::abs(got.blue() - want.blue())});
}

}  // namespace

TEST(PictureColour, TheSameColoursUnderEachGammaChunkGiveTheSameNodeValues) {
  e2e::ensureApplication();
  e2e::TempDir dir;
  const struct {
    const char* name;
    double gamma;  // what the samples were encoded with, and the gAMA chunk; 0: none
    int type, depth;
    bool srgbChunk;
  } cases[] = {
      {"untagged", 0, PNG_COLOR_TYPE_RGB, 8, false},
      {"sRGB chunk", 0, PNG_COLOR_TYPE_RGB, 8, true},
      {"gamma 1/2.2", 0.45455, PNG_COLOR_TYPE_RGB, 8, false},
      {"linear", 1.0, PNG_COLOR_TYPE_RGB, 8, false},
      {"linear, 16 bits", 1.0, PNG_COLOR_TYPE_RGB, 16, false},
      {"linear palette", 1.0, PNG_COLOR_TYPE_PALETTE, 8, false},
      {"gamma 2.5, 16 bits", 2.5, PNG_COLOR_TYPE_RGB_ALPHA, 16, false},
      {"gamma 0.35", 0.35, PNG_COLOR_TYPE_RGB, 8, false},
  };
  std::vector<int> reference[2];
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PngSpec spec{8, 2, c.type, c.depth};
    const int top = c.depth == 16 ? 65535 : 255;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 8; ++x) {
        uint16_t s[3];
        for (int k = 0; k < 3; ++k) {
          const int v = channel(kColours[x], k);
          s[k] = uint16_t(c.gamma > 0 ? std::lround(std::pow(linearOf(v), c.gamma) * top)
                                      : v * top / 255);
        }
        if (c.type == PNG_COLOR_TYPE_PALETTE) {
          spec.samples.push_back(uint16_t(x));
          if (y == 0) spec.palette.push_back({png_byte(s[0]), png_byte(s[1]), png_byte(s[2])});
        } else {
          spec.samples.insert(spec.samples.end(), s, s + 3);
          if (c.type == PNG_COLOR_TYPE_RGB_ALPHA) spec.samples.push_back(uint16_t(top));
        }
      }
    spec.gamma = c.gamma;
    spec.srgb = c.srgbChunk;
    const std::string path = dir.path + "/picture.png";
    e2e::writeBytes(path, osd::test::writePng(spec).toStdString());

    convert::ImportModel model({});
    std::string error;
    ASSERT_TRUE(model.load(path, error)) << error;
    model.setSize(QSize(8, 2));
    ASSERT_EQ(model.result().error, "");
    for (int x = 0; x < 8; ++x)
      EXPECT_LE(farthest(model.result().picture, x, 1, kColours[x]), 3) << "colour " << x;
    for (const PixelFormat format : {PixelFormat::Rgb, PixelFormat::YCbCr}) {
      const std::vector<int> values = nodeValues(model.result().bmp, format);
      std::vector<int>& want = reference[format == PixelFormat::Rgb];
      if (want.empty()) want = values;
      ASSERT_EQ(values.size(), want.size());
      for (size_t i = 0; i < values.size(); ++i)
        EXPECT_TRUE(withinOneLevel(values[i], want[i], format))
            << "pixel " << i << ": " << values[i] << " against " << want[i];
    }
  }
}

TEST(PictureColour, TransparencyFromAlphaAndTrnsAtEveryDepth) {
  e2e::ensureApplication();
  // Rows of four pixels: clear, opaque, clear, opaque. `a` and `b` are the samples of the clear and
  // the opaque one (one per channel, the opaque pixel's alpha last where there is alpha).
  const struct {
    int type, depth;
    std::vector<uint16_t> a, b, trns;
    QColor opaque;  // what the opaque pixel shows
    double gamma = 0;
  } cases[] = {
      {PNG_COLOR_TYPE_PALETTE, 1, {0}, {1}, {0}, {0, 0, 255}},
      {PNG_COLOR_TYPE_PALETTE, 2, {0}, {1}, {0, 255}, {0, 0, 255}},
      {PNG_COLOR_TYPE_PALETTE, 4, {1}, {0}, {255, 60}, {255, 0, 0}},
      {PNG_COLOR_TYPE_PALETTE, 8, {1}, {0}, {255, 0}, {255, 0, 0}},
      {PNG_COLOR_TYPE_GRAY, 1, {1}, {0}, {1}, {0, 0, 0}},
      {PNG_COLOR_TYPE_GRAY, 2, {2}, {3}, {2}, {255, 255, 255}},
      {PNG_COLOR_TYPE_GRAY, 4, {7}, {8}, {7}, {136, 136, 136}},
      {PNG_COLOR_TYPE_GRAY, 8, {9}, {10}, {9}, {10, 10, 10}},
      {PNG_COLOR_TYPE_GRAY, 16, {514}, {515}, {514}, {2, 2, 2}},
      {PNG_COLOR_TYPE_RGB, 8, {10, 20, 30}, {10, 20, 31}, {10, 20, 30}, {10, 20, 31}},
      {PNG_COLOR_TYPE_RGB,
       16,
       {65535, 65535, 65535},
       {1028, 20560, 40092},
       {65535, 65535, 65535},
       {4, 80, 156}},
      // The transparent colour is the file's own sample, before its gamma is applied.
      {PNG_COLOR_TYPE_RGB,
       16,
       {1000, 2000, 3000},
       {30000, 30000, 30000},
       {1000, 2000, 3000},
       {180, 180, 180},
       1.0},
      {PNG_COLOR_TYPE_GRAY_ALPHA, 8, {200, 0}, {200, 255}, {}, {200, 200, 200}},
      {PNG_COLOR_TYPE_GRAY_ALPHA, 16, {0, 32767}, {51400, 65535}, {}, {200, 200, 200}},
      {PNG_COLOR_TYPE_RGB_ALPHA, 8, {1, 2, 3, 127}, {100, 150, 200, 128}, {}, {100, 150, 200}},
      {PNG_COLOR_TYPE_RGB_ALPHA, 16, {9, 9, 9, 0}, {25700, 0, 65535, 65535}, {}, {100, 0, 255}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << ", " << c.depth << " bits");
    PngSpec spec{4, 2, c.type, c.depth};
    for (int x = 0; x < 8; ++x) {
      const auto& s = x % 2 ? c.b : c.a;
      spec.samples.insert(spec.samples.end(), s.begin(), s.end());
    }
    if (c.type == PNG_COLOR_TYPE_PALETTE) spec.palette = {{255, 0, 0}, {0, 0, 255}};
    spec.trns = c.trns;
    spec.gamma = c.gamma;
    std::string error;
    const QImage picture = convert::readPicture(osd::test::writePng(spec), "in.png", error);
    ASSERT_FALSE(picture.isNull()) << error;
    convert::Target target;
    target.size = QSize(4, 2);
    const convert::Converted out = convert::convertPicture(picture, target);
    ASSERT_EQ(out.error, "");
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(qAlpha(out.picture.pixel(x, 0)), x % 2 ? 255 : 0) << "pixel " << x;
      if (x % 2) {
        EXPECT_LE(farthest(out.picture, x, 0, c.opaque), 1) << "pixel " << x;
      }
    }
  }
}

TEST(PictureColour, WideGamutProfilesGiveTheirSrgbColours) {
  e2e::ensureApplication();
  const double p3[6] = {0.680, 0.320, 0.265, 0.690, 0.150, 0.060};
  const double adobe[6] = {0.640, 0.330, 0.210, 0.710, 0.150, 0.060};
  const std::vector<uint8_t> samples = {200, 100, 50, 30, 90, 200, 250, 240, 110, 128, 128, 128};
  const struct {
    const char* name;
    QByteArray profile;
    bool jpeg;
  } cases[] = {
      {"Display P3 PNG", osd::test::rgbProfile(p3, 0), false},
      {"Adobe RGB PNG", osd::test::rgbProfile(adobe, 563 / 256.0), false},
      {"Adobe RGB JPEG", osd::test::rgbProfile(adobe, 563 / 256.0), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> want = osd::test::toSrgbWithLcms(c.profile, samples);
    // Four 16 x 16 blocks, one colour each (whole blocks of a JPEG keep their colour).
    QByteArray bytes;
    if (c.jpeg) {
      QImage img(64, 16, QImage::Format_RGB32);
      for (int x = 0; x < 64; ++x)
        for (int y = 0; y < 16; ++y)
          img.setPixel(x, y,
                       qRgb(samples[x / 16 * 3], samples[x / 16 * 3 + 1], samples[x / 16 * 3 + 2]));
      img.setColorSpace(QColorSpace::fromIccProfile(c.profile));
      QBuffer buffer(&bytes);
      buffer.open(QIODevice::WriteOnly);
      ASSERT_TRUE(img.save(&buffer, "JPEG", 100));
    } else {
      PngSpec spec{64, 16};
      spec.icc = c.profile;
      for (int i = 0; i < 64 * 16; ++i)
        spec.samples.insert(spec.samples.end(), samples.begin() + i % 64 / 16 * 3,
                            samples.begin() + i % 64 / 16 * 3 + 3);
      bytes = osd::test::writePng(spec);
    }
    std::string error;
    const QImage picture = convert::readPicture(bytes, c.jpeg ? "in.jpg" : "in.png", error);
    ASSERT_FALSE(picture.isNull()) << error;
    for (int k = 0; k < 4; ++k)
      EXPECT_LE(
          farthest(picture, k * 16 + 8, 8, QColor(want[k * 3], want[k * 3 + 1], want[k * 3 + 2])),
          c.jpeg ? 3 : 1)
          << "colour " << k;
  }
}
