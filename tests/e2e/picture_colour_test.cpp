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
const int kColours[8][3] = {{187, 187, 187}, {230, 120, 0},   {100, 140, 220}, {250, 240, 110},
                            {160, 0, 200},   {255, 255, 255}, {0, 0, 0},       {120, 200, 150}};

double linearOf(int v) {
  const double c = v / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Node values within one level: each 2-bit level of an RGB value; brightness and colour
// nibbles of a YCbCr value.
bool withinOneLevel(int a, int b, PixelFormat format) {
  const int step = format == PixelFormat::Rgb ? 2 : 4, mask = (1 << step) - 1;
  for (int shift = 0; shift < 8 - (format == PixelFormat::Rgb); shift += step)
    if (std::abs((a >> shift & mask) - (b >> shift & mask)) > 1) return false;
  return (a == 0) == (b == 0);
}

constexpr int kPalette = PNG_COLOR_TYPE_PALETTE, kGrey = PNG_COLOR_TYPE_GRAY,
              kRgb = PNG_COLOR_TYPE_RGB, kGreyAlpha = PNG_COLOR_TYPE_GRAY_ALPHA,
              kRgbAlpha = PNG_COLOR_TYPE_RGB_ALPHA;
constexpr uint16_t kTop = 65535;

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
      {"untagged", 0, kRgb, 8, false},
      {"sRGB chunk", 0, kRgb, 8, true},
      {"gamma 1/2.2", 0.45455, kRgb, 8, false},
      {"linear", 1.0, kRgb, 8, false},
      {"linear, 16 bits", 1.0, kRgb, 16, false},
      {"linear palette", 1.0, kPalette, 8, false},
      {"gamma 2.5, 16 bits", 2.5, kRgbAlpha, 16, false},
      {"gamma 0.35", 0.35, kRgb, 8, false},
  };
  std::vector<int> reference[2];
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PngSpec spec{8, 2, c.type, c.depth, {}, c.gamma, c.srgbChunk};
    const int top = c.depth == 16 ? 65535 : 255;
    for (int i = 0; i < 16; ++i) {
      uint16_t s[3];
      for (int k = 0; k < 3; ++k) {
        const int v = kColours[i % 8][k];
        s[k] =
            uint16_t(c.gamma ? std::lround(std::pow(linearOf(v), c.gamma) * top) : v * top / 255);
      }
      if (c.type != kPalette) spec.samples.insert(spec.samples.end(), s, s + 3);
      if (c.type == kRgbAlpha) spec.samples.push_back(uint16_t(top));
      if (c.type == kPalette) spec.samples.push_back(uint16_t(i % 8));
      if (c.type == kPalette && i < 8)
        spec.palette.push_back({png_byte(s[0]), png_byte(s[1]), png_byte(s[2])});
    }
    const std::string path = dir.path + "/picture.png";
    e2e::writeBytes(path, osd::test::writePng(spec).toStdString());

    convert::ImportModel model({});
    std::string error;
    ASSERT_TRUE(model.load(path, error)) << error;
    model.setSize(QSize(8, 2));
    ASSERT_EQ(model.result().error, "");
    for (int x = 0; x < 8; ++x) {
      const QColor want(kColours[x][0], kColours[x][1], kColours[x][2]);
      EXPECT_LE(farthest(model.result().picture, x, 1, want), 3) << "colour " << x;
    }
    const auto bitmap = decodeBmp(model.result().bmp, error);
    ASSERT_TRUE(bitmap);
    for (const PixelFormat format : {PixelFormat::Rgb, PixelFormat::YCbCr}) {
      EncodeOptions options;
      options.format = format;
      const std::vector<int> values = encodeImage(*bitmap, options);
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
      {kPalette, 1, {0}, {1}, {0}, {0, 0, 255}},
      {kPalette, 2, {0}, {1}, {0, 255}, {0, 0, 255}},
      {kPalette, 4, {1}, {0}, {255, 60}, {255, 0, 0}},
      {kPalette, 8, {1}, {0}, {255, 0}, {255, 0, 0}},
      {kGrey, 1, {1}, {0}, {1}, {0, 0, 0}},
      {kGrey, 2, {2}, {3}, {2}, {255, 255, 255}},
      {kGrey, 4, {7}, {8}, {7}, {136, 136, 136}},
      {kGrey, 8, {9}, {10}, {9}, {10, 10, 10}},
      {kGrey, 16, {514}, {515}, {514}, {2, 2, 2}},
      {kRgb, 8, {10, 20, 30}, {10, 20, 31}, {10, 20, 30}, {10, 20, 31}},
      {kRgb, 16, {kTop, kTop, kTop}, {1028, 20560, 40092}, {kTop, kTop, kTop}, {4, 80, 156}},
      // The transparent colour is the file's own sample, before its gamma is applied.
      {kRgb, 16, {1000, 2000, 3000}, {30000, 30000, 30000}, {1000, 2000, 3000}, {180, 180, 180}, 1},
      {kGreyAlpha, 8, {200, 0}, {200, 255}, {}, {200, 200, 200}},
      {kGreyAlpha, 16, {0, 32767}, {51400, kTop}, {}, {200, 200, 200}},
      {kRgbAlpha, 8, {1, 2, 3, 127}, {100, 150, 200, 128}, {}, {100, 150, 200}},
      {kRgbAlpha, 16, {9, 9, 9, 0}, {25700, 0, kTop, kTop}, {}, {100, 0, 255}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << ", " << c.depth << " bits");
    PngSpec spec{4, 2, c.type, c.depth, {}, c.gamma, false, {}, c.trns};
    for (int x = 0; x < 8; ++x) {
      const auto& s = x % 2 ? c.b : c.a;
      spec.samples.insert(spec.samples.end(), s.begin(), s.end());
    }
    if (c.type == kPalette) spec.palette = {{255, 0, 0}, {0, 0, 255}};
    std::string error;
    const QImage picture = convert::readPicture(osd::test::writePng(spec), "in.png", error);
    ASSERT_FALSE(picture.isNull()) << error;
    convert::Target target;
    target.size = QSize(4, 2);
    const convert::Converted out = convert::convertPicture(picture, target);
    ASSERT_EQ(out.error, "");
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(qAlpha(out.picture.pixel(x, 0)), x % 2 ? 255 : 0) << "pixel " << x;
      EXPECT_LE(x % 2 ? farthest(out.picture, x, 0, c.opaque) : 0, 1) << "pixel " << x;
    }
  }
}

TEST(PictureColour, WideGamutProfilesGiveTheirSrgbColours) {
  e2e::ensureApplication();
  const int rgb[4][3] = {{200, 100, 50}, {30, 90, 200}, {250, 240, 110}, {128, 128, 128}};
  // Linear light of each space into linear sRGB (the same D65 white), from their primaries.
  const double p3[3][3] = {{1.2249, -0.2249, 0}, {-0.0421, 1.0421, 0}, {-0.0196, -0.0786, 1.0983}};
  const double adobe[3][3] = {{1.3982, -0.3982, 0}, {0, 1, 0}, {0, -0.0429, 1.0429}};
  const QColorSpace adobeSpace(QColorSpace::AdobeRgb);
  const struct {
    const char* format;
    QColorSpace space;
    const double (&toSrgb)[3][3];
    int tolerance;
  } cases[] = {{"PNG", QColorSpace::DisplayP3, p3, 1},
               {"PNG", adobeSpace, adobe, 1},
               {"JPEG", adobeSpace, adobe, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format << " in " << c.space.description().toStdString());
    // Four 16 x 16 blocks, one colour each (whole blocks of a JPEG keep their colour), with the
    // space's ICC profile.
    QImage img(64, 16, QImage::Format_RGB32);
    for (int x = 0; x < 64; ++x)
      for (int y = 0; y < 16; ++y)
        img.setPixel(x, y, qRgb(rgb[x / 16][0], rgb[x / 16][1], rgb[x / 16][2]));
    img.setColorSpace(QColorSpace::fromIccProfile(c.space.iccProfile()));
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    ASSERT_TRUE(img.save(&buffer, c.format, 100));
    std::string error;
    const QImage picture = convert::readPicture(buffer.data(), "in", error);
    ASSERT_FALSE(picture.isNull()) << error;
    const auto linear = [&](int v) {
      return c.space == adobeSpace ? std::pow(v / 255.0, 563 / 256.0) : linearOf(v);
    };
    const auto encoded = [](double v) {
      v = std::clamp(v, 0.0, 1.0);
      return int(
          std::lround(255 * (v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055)));
    };
    for (int k = 0; k < 4; ++k) {
      double out[3] = {};
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i] += c.toSrgb[i][j] * linear(rgb[k][j]);
      const QColor want(encoded(out[0]), encoded(out[1]), encoded(out[2]));
      EXPECT_LE(farthest(picture, k * 16 + 8, 8, want), c.tolerance) << "colour " << k;
    }
  }
}
