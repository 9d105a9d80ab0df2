// Pictures as a colour-managed viewer shows them: the colours of PNG gamma chunks and of ICC
// profiles (PNG and JPEG) turned into sRGB, and transparency from every source PNG can express.
// The PNG files are put together here chunk by chunk.
#include <gtest/gtest.h>
#include <zlib.h>

#include <QBuffer>
#include <QColorSpace>
#include <QtEndian>
#include <set>

#include "convert/import_model.h"
#include "e2e/e2e_support.h"
#include "image/bmp.h"
#include "image/encoder.h"

using namespace osd;

namespace {

QByteArray bigEndian(uint32_t v, int bytes = 4) {
  char b[4];
  qToBigEndian(v, b);
  return QByteArray(b + 4 - bytes, bytes);
}

QByteArray chunk(const char* type, const QByteArray& data) {
  const QByteArray body = type + data;
  return bigEndian(uint32_t(data.size())) + body +
         bigEndian(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

struct Png {
  int width, height, type, depth;  // type: 0 grey, 2 RGB, 3 palette, 4 and 6 with alpha
  std::vector<uint16_t> samples;   // every channel of every pixel, rows top first
  double gamma = 0;                // gAMA when not 0
  QByteArray palette;              // RGB triples
  std::vector<uint16_t> trns;      // palette: alphas; grey: one level; RGB: three levels
  QByteArray extra;                // more chunks before the pixels

  QByteArray bytes() const {
    const size_t perRow = samples.size() / size_t(height);
    QByteArray rows;
    for (int y = 0; y < height; ++y) {  // filter 0, samples big-endian, high bits first
      QByteArray row(int(perRow * size_t(depth) + 7) / 8 + 1, '\0');
      for (size_t k = 0; k < perRow; ++k) {
        const unsigned v = samples[size_t(y) * perRow + k], at = unsigned(k) * depth;
        if (depth == 16) row.replace(int(at / 8) + 1, 2, bigEndian(v, 2));
        if (depth < 16)
          row[at / 8 + 1] = char(uint8_t(row[at / 8 + 1]) | v << (8 - depth - at % 8));
      }
      rows += row;
    }
    QByteArray png = "\x89PNG\r\n\x1a\n" +
                     chunk("IHDR", bigEndian(width) + bigEndian(height) + char(depth) + char(type) +
                                       QByteArray(3, '\0')) +
                     extra;
    if (gamma > 0) png += chunk("gAMA", bigEndian(uint32_t(std::lround(gamma * 100000))));
    if (!palette.isEmpty()) png += chunk("PLTE", palette);
    QByteArray t;
    for (const uint16_t v : trns) t += type == 3 ? QByteArray(1, char(v)) : bigEndian(v, 2);
    if (!t.isEmpty()) png += chunk("tRNS", t);
    return png + chunk("IDAT", qCompress(rows).mid(4)) + chunk("IEND", {});
  }
};

// sRGB colours away from the darkest shadows, where an 8-bit linear file has no levels left.
const int kColours[8][3] = {{187, 187, 187}, {230, 120, 0},   {100, 140, 220}, {250, 240, 110},
                            {160, 0, 200},   {255, 255, 255}, {0, 0, 0},       {120, 200, 150}};
// Linear sRGB into the linear light of Display P3 and of Adobe RGB (same white), from their
// primaries.
const double kFromSrgb[2][3][3] = {
    {{0.8225, 0.1774, 0}, {0.0332, 0.9669, 0}, {0.0171, 0.0724, 0.9108}},
    {{0.7152, 0.2848, 0}, {0, 1, 0}, {0, 0.0412, 0.9588}}};

double linearOf(int v) {
  const double c = v / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

int farthest(const QImage& picture, int x, int y, const int (&want)[3]) {
  const QColor got = picture.pixelColor(x, y);
  return std::max({std::abs(got.red() - want[0]), std::abs(got.green() - want[1]),
                   std::abs(got.blue() - want[2])});
}

}  // namespace

TEST(PictureColour, TheSameColoursUnderEachColourDescriptionGiveTheSameNodeValues) {
  e2e::TempDir dir;
  const std::string path = dir.path + "/picture";
  const QColorSpace p3(QColorSpace::DisplayP3), adobe(QColorSpace::AdobeRgb);
  // Eight blocks of 16 x 32 pixels, one colour each, encoded for the file's own description:
  // gAMA (the exponent), the sRGB chunk, or a wide-gamut ICC profile in a PNG or a JPEG.
  // clang-format off
  const struct { double gamma; int type, depth; const char* chunk; const QColorSpace* space = nullptr; bool jpeg = false; } cases[] = {
      {0, 2, 8, ""}, {0, 2, 8, "sRGB"}, {0.45455, 2, 8, ""}, {1, 2, 8, ""}, {1, 2, 16, ""}, {1, 3, 8, ""},
      {2.5, 6, 16, ""}, {0.35, 2, 8, ""}, {0, 2, 8, "iCCP", &p3}, {0, 2, 16, "iCCP", &adobe},
      {0, 2, 8, "", &adobe, true}, {0, 2, 8, "iCCP", &adobe}};
  // clang-format on
  std::vector<int> reference;  // the untagged file's node values
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    const int top = (1 << c.depth) - 1;
    const auto sample = [&](int colour, int k) {
      double v =
          c.gamma ? std::pow(linearOf(kColours[colour][k]), c.gamma) : kColours[colour][k] / 255.0;
      if (c.space) {
        v = 0;
        for (int j = 0; j < 3; ++j)
          v += kFromSrgb[c.space == &adobe][k][j] * linearOf(kColours[colour][j]);
        v = c.space == &adobe ? std::pow(v, 256 / 563.0)
            : v <= 0.0031308  ? v * 12.92
                              : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
      }
      return uint16_t(std::lround(v * top));
    };
    Png png{128, 32, c.type, c.depth, {}, c.gamma};
    for (int i = 0; i < 128 * 32 * 4; ++i) {  // every pixel's four channels (the fourth alpha)
      const int colour = i / 4 % 128 / 16, k = i % 4;
      if (c.type == 3 && k == 0) png.samples.push_back(uint16_t(colour));
      if (c.type == 3 && k < 3 && i < 512 && i / 4 % 16 == 0)
        png.palette += char(sample(colour, k));
      if (c.type != 3 && (k < 3 || c.type == 6))
        png.samples.push_back(k < 3 ? sample(colour, k) : uint16_t(top));
    }
    if (c.chunk == std::string("sRGB")) png.extra = chunk("sRGB", QByteArray(1, '\0'));
    if (c.chunk == std::string("iCCP"))
      png.extra = chunk("iCCP", QByteArray("icc\0\0", 5) + qCompress(c.space->iccProfile()).mid(4));
    QByteArray bytes = png.bytes();
    if (c.jpeg) {
      QImage img = QImage::fromData(bytes);  // the same samples, untagged
      img.setColorSpace(*c.space);
      QBuffer buffer(&bytes);
      ASSERT_TRUE(buffer.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                  img.save(&buffer, "JPEG", 100));
    }
    e2e::writeBytes(path, bytes.toStdString());
    convert::ImportModel model({});
    std::string error;
    ASSERT_TRUE(model.load(path, error)) << error;
    model.setSize(QSize(8, 2));
    for (int x = 0; x < 8; ++x)  // a JPEG's blocks bleed into their neighbours' at the edges
      EXPECT_LE(farthest(model.result().picture, x, 1, kColours[x]), c.jpeg ? 8 : 2)
          << "colour " << x;
    const auto bitmap = decodeBmp(model.result().bmp, error);
    ASSERT_TRUE(bitmap) << error;
    const std::vector<int> values = encodeImage(*bitmap, {});  // YCbCr
    if (reference.empty()) reference = values;
    ASSERT_EQ(values.size(), reference.size());
    for (size_t i = 0; i < values.size(); ++i)  // within one level: brightness and colour nibbles
      EXPECT_TRUE(std::abs((values[i] >> 4) - (reference[i] >> 4)) <= 1 &&
                  std::abs((values[i] & 15) - (reference[i] & 15)) <= 1)
          << "pixel " << i << ": " << values[i] << " against " << reference[i];
  }
}

TEST(PictureColour, TransparencyFromAlphaAndTrnsAtEveryDepthDamagedPicturesAndFrames) {
  // Rows of four pixels: clear, opaque, clear, opaque. `a` and `b` are the samples of the clear
  // and the opaque one (one per channel, alpha last).
  // opaque: what the opaque pixel shows
  // clang-format off
  const struct { int type, depth; std::vector<uint16_t> a, b, trns; int opaque[3]; double gamma = 0; } cases[] = {
      {3, 1, {0}, {1}, {0}, {0, 0, 255}}, {3, 2, {0}, {1}, {0, 255}, {0, 0, 255}},
      {3, 4, {1}, {0}, {255, 60}, {255, 0, 0}}, {3, 8, {1}, {0}, {255, 0}, {255, 0, 0}},
      {0, 1, {1}, {0}, {1}, {0, 0, 0}}, {0, 2, {2}, {3}, {2}, {255, 255, 255}},
      {0, 4, {7}, {8}, {7}, {136, 136, 136}}, {0, 8, {9}, {10}, {9}, {10, 10, 10}},
      {0, 16, {514}, {515}, {514}, {2, 2, 2}}, {2, 8, {10, 20, 30}, {10, 20, 31}, {10, 20, 30}, {10, 20, 31}},
      {2, 16, {9, 9, 9}, {1028, 20560, 40092}, {9, 9, 9}, {4, 80, 156}},
      // The transparent colour is the file's own sample, before its gamma is applied.
      {2, 16, {1000, 2000, 3000}, {30000, 30000, 30000}, {1000, 2000, 3000}, {180, 180, 180}, 1},
      {4, 8, {200, 0}, {200, 255}, {}, {200, 200, 200}}, {4, 16, {0, 32767}, {51400, 65535}, {}, {200, 200, 200}},
      {6, 8, {1, 2, 3, 127}, {100, 150, 200, 128}, {}, {100, 150, 200}},
      {6, 16, {9, 9, 9, 0}, {25700, 0, 65535, 65535}, {}, {100, 0, 255}}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << ", " << c.depth << " bits");
    Png png{4, 2, c.type, c.depth, {}, c.gamma, QByteArray("\xff\0\0\0\0\xff", 6), c.trns};
    for (int x = 0; x < 8; ++x)
      png.samples.insert(png.samples.end(), (x % 2 ? c.b : c.a).begin(), (x % 2 ? c.b : c.a).end());
    std::string error;
    const QImage picture = convert::readPicture(png.bytes(), "in.png", error);
    ASSERT_FALSE(picture.isNull()) << error;
    const convert::Converted out = convert::convertPicture(picture, {QSize(4, 2)});
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(qAlpha(out.picture.pixel(x, 0)), x % 2 ? 255 : 0) << "pixel " << x;
      EXPECT_LE(x % 2 ? farthest(out.picture, x, 0, c.opaque) : 0, 1) << "pixel " << x;
    }
  }
  // A damaged or cut JPEG, GIF or PNG is refused with the damage named, and the decoder's own
  // messages are held back; a picture of several frames gives its first and says how many.
  static int passedOn = 0;
  const QtMessageHandler before = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString&) { ++passedOn; });
  QImage img(16, 16, QImage::Format_RGB32);
  img.fill(Qt::darkCyan);
  QBuffer jpeg, png;
  ASSERT_TRUE(jpeg.open(QIODevice::WriteOnly) && png.open(QIODevice::WriteOnly) &&
              img.save(&jpeg, "JPEG") && img.save(&png, "PNG"));
  const QByteArray j = jpeg.data(), p = png.data();
  // A 1 x 1 GIF: header, screen, two colours, one frame (descriptor and data), trailer.
  const QByteArray head("GIF89a\1\0\1\0\x80\0\0\xff\xff\xff\0\0\0", 19);
  const QByteArray frame(",\0\0\0\0\1\0\1\0\0\2\2D\1\0", 15);
  // said "": read, with `frames` frames
  // clang-format off
  const struct { const char* name; QByteArray bytes; const char* said; int frames; } damaged[] = {
      {"whole.jpg", j, "", 1},
      {"ends early.jpg", j.left(j.size() - 8) + "\xff\xd9", "the JPEG picture is damaged: ", 0},
      {"cut.jpg", j.left(300), "the JPEG picture is damaged: it ends before", 0},
      {"one frame.gif", head + frame + ";", "", 1}, {"two frames.gif", head + frame + frame + ";", "", 2},
      {"cut.gif", head + frame.left(12), "the GIF picture is damaged: it ends before", 0},
      {"cut.png", p.left(p.size() - 20), "not a picture that can be read", 0}};
  // clang-format on
  for (const auto& c : damaged) {
    std::string error;
    int frames = 0;
    const QImage read = convert::readPicture(c.bytes, c.name, error, &frames);
    EXPECT_EQ(read.isNull(), *c.said != 0) << c.name << ": " << error;
    EXPECT_EQ(error.rfind(c.said, 0), 0u) << c.name << ": " << error;
    EXPECT_EQ(frames, *c.said ? 1 : c.frames) << c.name;
  }
  qInstallMessageHandler(before);
  EXPECT_EQ(passedOn, 0);
}

// More than 255 colours at 8 bits: each channel takes the nearest of its levels (6 red, 7 green,
// 6 blue) spread evenly from 0 to 255, and every level is used.
TEST(PictureColour, EightBitsTakeTheNearestLevelOfEachChannel) {
  QImage img(256, 64, QImage::Format_ARGB32);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 256; ++x) img.setPixel(x, y, qRgb(x, 255 - y * 4, (x * 7 + y * 13) % 256));
  std::string error;
  const auto bmp = decodeBmp(convert::convertPicture(img, {{256, 64}, {}, 8, false, 1}).bmp, error);
  ASSERT_TRUE(bmp) << error;
  const int levels[3] = {6, 7, 6};
  std::set<int> used[3];
  for (int i = 0; i < 256 * 64; ++i) {
    const QRgb p = img.pixel(i % 256, 63 - i / 256);         // rows bottom first
    const auto& entry = bmp->palette[bmp->rows[size_t(i)]];  // blue, green, red
    for (int k = 0; k < 3; ++k) {
      const double step = 255.0 / (levels[k] - 1), source = (p >> (16 - 8 * k)) & 255;
      used[k].insert(entry[size_t(2 - k)]);
      ASSERT_EQ(entry[size_t(2 - k)], std::lround(std::lround(source / step) * step)) << i << k;
    }
  }
  for (int k = 0; k < 3; ++k) EXPECT_EQ(used[k].size(), size_t(levels[k])) << "channel " << k;
}
