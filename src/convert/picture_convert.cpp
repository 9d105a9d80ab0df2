#include "convert/picture_convert.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <QThread>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <tuple>

#include "convert/png_decoder.h"
#include "image/bmp.h"
#include "image/bmp_writer.h"
#include "image/encoder.h"

namespace osd::convert {

namespace {

constexpr int kMaxWidth = 720;
constexpr int kMaxHeight = 616;
constexpr int kOpaqueAlpha = 128;  // alpha under this (50 %) is transparent
// A picture bigger than this in either direction is refused before it is decoded.
constexpr int kMaxSourceSide = 16384;
// ... and so is one of more pixels than a 40-megapixel photograph; the decoder itself never
// takes more than this much memory for one picture.
constexpr long long kMaxSourcePixels = 40'000'000;
constexpr int kMaxDecodeMegabytes = 192;

struct Colour {
  int r = 0, g = 0, b = 0;
  bool operator<(const Colour& o) const { return std::tie(r, g, b) < std::tie(o.r, o.g, o.b); }
};

int ceilTo(int v, int step) {
  return (v + step - 1) / step * step;
}

// Whether the encoder sends this opaque colour as transparent: 24-bit pixels only when all
// three bytes equal T; colour-table entries also when their luma is T.
bool takenForTransparent(const Colour& c, int t, bool palette) {
  if (c.r == t && c.g == t && c.b == t) return true;
  return palette && lumaOf(c.r, c.g, c.b) == t;
}

// The nearest colour the encoder does not take for transparent: channels moved towards the
// middle one step at a time, one channel before two before three.
Colour keepOpaque(Colour c, int t, bool palette) {
  if (!takenForTransparent(c, t, palette)) return c;
  for (int d = 1; d < 128; ++d) {
    for (const int mask : {1, 2, 4, 3, 5, 6, 7}) {
      Colour n = c;
      int* ch[3] = {&n.b, &n.g, &n.r};
      for (int k = 0; k < 3; ++k)
        if (mask & (1 << k)) *ch[k] += *ch[k] >= 128 ? -d : d;
      if (!takenForTransparent(n, t, palette)) return n;
    }
  }
  return c;  // cannot happen: a grey step away from T always has another luma
}

// Rows bottom first, three bytes a pixel (blue, green, red), padded to four bytes.
std::vector<uint8_t> bitmap24(const QImage& img, int t) {
  std::vector<uint8_t> out = bitmapFileHeaders(img.width(), img.height(), 24, 0);
  const int pad = ceilTo(img.width() * 3, 4) - img.width() * 3;
  for (int y = img.height() - 1; y >= 0; --y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      const bool clear = qAlpha(row[x]) == 0;
      out.push_back(static_cast<uint8_t>(clear ? t : qBlue(row[x])));
      out.push_back(static_cast<uint8_t>(clear ? t : qGreen(row[x])));
      out.push_back(static_cast<uint8_t>(clear ? t : qRed(row[x])));
    }
    out.insert(out.end(), static_cast<size_t>(pad), 0);
  }
  return out;
}

// The colours of the table: the picture's own when there are at most 255, else a cube of
// 6 x 7 x 6 levels. `indexOf` maps a colour to its entry (T is left for transparency).
std::vector<uint8_t> bitmap8(QImage& img, int t) {
  std::map<Colour, int> exact;
  for (int y = 0; y < img.height() && exact.size() <= 255; ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    for (int x = 0; x < img.width() && exact.size() <= 255; ++x)
      if (qAlpha(row[x]) != 0)
        exact.emplace(Colour{qRed(row[x]), qGreen(row[x]), qBlue(row[x])}, 0);
  }
  const bool cube = exact.size() > 255;
  std::array<Colour, 256> table{};
  const auto slot = [t](int k) { return k < t ? k : k + 1; };  // entry k of the colours
  int k = 0;
  if (cube) {
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 7; ++g)
        for (int b = 0; b < 6; ++b)
          table[static_cast<size_t>(slot(k++))] =
              keepOpaque(Colour{r * 51, (g * 255 + 3) / 6, b * 51}, t, true);
  } else {
    for (auto& [c, index] : exact) {
      index = slot(k++);
      table[static_cast<size_t>(index)] = keepOpaque(c, t, true);
    }
  }
  table[static_cast<size_t>(t)] = Colour{t, t, t};

  std::vector<uint8_t> out = bitmapFileHeaders(img.width(), img.height(), 8, 256);
  for (const Colour& c : table) {
    out.push_back(static_cast<uint8_t>(c.b));
    out.push_back(static_cast<uint8_t>(c.g));
    out.push_back(static_cast<uint8_t>(c.r));
    out.push_back(0);
  }
  const auto indexOf = [&](QRgb p) {
    if (qAlpha(p) == 0) return t;
    if (!cube) return exact.at(Colour{qRed(p), qGreen(p), qBlue(p)});
    const int r = (qRed(p) * 5 + 127) / 255, g = (qGreen(p) * 6 + 127) / 255,
              b = (qBlue(p) * 5 + 127) / 255;
    return slot((r * 7 + g) * 6 + b);
  };
  for (int y = img.height() - 1; y >= 0; --y) {  // width is a multiple of 4: no padding
    QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      const int index = indexOf(row[x]);
      out.push_back(static_cast<uint8_t>(index));
      const Colour& c = table[static_cast<size_t>(index)];
      if (index != t) row[x] = qRgb(c.r, c.g, c.b);
    }
  }
  return out;
}

QImage renderSvg(const QByteArray& bytes, std::string& error) {
  QSvgRenderer svg(bytes);
  const QSize base = svg.defaultSize();
  if (!svg.isValid() || base.isEmpty()) {
    error = "not a picture that can be read (SVG without a size or not valid)";
    return {};
  }
  // Drawn at a whole multiple of its own size that covers the biggest logo, so edges that lie
  // on its pixel grid stay sharp when it is scaled down again. A drawing larger than twice the
  // biggest logo is drawn smaller instead: it is vector art, and a poster-sized canvas would
  // only cost memory.
  const QSize box(2 * kMaxWidth, 2 * kMaxHeight);
  QSize size;
  if (base.width() > box.width() || base.height() > box.height()) {
    size = base.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
  } else {
    const int k = std::clamp(std::max((kMaxWidth + base.width() - 1) / base.width(),
                                      (kMaxHeight + base.height() - 1) / base.height()),
                             1, 16);
    size = base * k;
  }
  if (size.width() > kMaxSourceSide || size.height() > kMaxSourceSide) {
    error = "the SVG picture is too large";
    return {};
  }
  QImage img(size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter painter(&img);
  svg.render(&painter);
  return img;
}

// Whether every chunk of a PNG lies within the bytes there are. The PNG library allocates
// what a text chunk's length claims before it reads it, so a damaged length of 2 GB would
// cost 2 GB of memory for a file of a few hundred bytes.
bool pngChunksFit(const QByteArray& bytes) {
  static const char kSignature[] = "\x89PNG\r\n\x1a\n";
  if (!bytes.startsWith(QByteArrayView(kSignature, 8))) return true;  // not a PNG
  const auto byteAt = [&](qsizetype i) { return static_cast<uint8_t>(bytes[i]); };
  qsizetype at = 8;
  while (at + 12 <= bytes.size()) {
    const uint32_t length = uint32_t(byteAt(at)) << 24 | uint32_t(byteAt(at + 1)) << 16 |
                            uint32_t(byteAt(at + 2)) << 8 | byteAt(at + 3);
    if (length > static_cast<uint64_t>(bytes.size() - at - 12)) return false;  // room >= 0
    if (bytes.mid(at + 4, 4) == "IEND") return true;
    at += 12 + static_cast<qsizetype>(length);
  }
  return true;  // cut short: the PNG reader reports that itself
}

// Qt's picture readers report damage on Qt's message channel. While a picture is decoded, the
// messages of the decoding thread are held back (the picture may still convert); the last one
// names what was wrong when it does not. Other threads' messages go on to the handler before.
class HeldMessages {
 public:
  HeldMessages() {
    last().clear();
    decoder() = QThread::currentThread();
    previous() = qInstallMessageHandler(hold);
  }
  ~HeldMessages() { qInstallMessageHandler(previous()); }
  HeldMessages(const HeldMessages&) = delete;
  HeldMessages& operator=(const HeldMessages&) = delete;
  static std::string& last() {
    static std::string message;
    return message;
  }

 private:
  static QtMessageHandler& previous() {
    static QtMessageHandler handler = nullptr;
    return handler;
  }
  static QThread*& decoder() {
    static QThread* thread = nullptr;
    return thread;
  }
  static void hold(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (QThread::currentThread() == decoder())
      last() = message.simplified().toStdString();
    else if (previous())
      previous()(type, context, message);
  }
};

// What shows a JPEG or GIF cut short: a GIF's last byte is its trailer (";"), a JPEG holds
// its end marker. "" when nothing does.
std::string cutShort(const QByteArray& bytes) {
  if (bytes.startsWith("GIF8") && !bytes.endsWith(';'))
    return "the GIF picture is damaged: it ends before its trailer";
  if (bytes.startsWith("\xff\xd8\xff") && !bytes.contains("\xff\xd9"))
    return "the JPEG picture is damaged: it ends before its end marker";
  return "";
}

}  // namespace

QImage readPicture(const QByteArray& bytes, const std::string& nameHint, std::string& error,
                   int* frames) {
  error.clear();
  if (frames) *frames = 1;
  HeldMessages held;  // also what the SVG renderer and the colour conversion have to say
  const QString hint = QString::fromStdString(nameHint).toLower();
  const bool svg =
      hint.endsWith(".svg") || hint.endsWith(".svgz") || bytes.left(256).contains("<svg");
  if (svg) return renderSvg(bytes, error);
  if (!pngChunksFit(bytes)) {
    error = "not a picture that can be read (a PNG chunk is longer than the file)";
    return {};
  }
  if (isPng(bytes)) {
    DecodeLimits limits;
    limits.maxSide = kMaxSourceSide;
    limits.maxPixels = kMaxSourcePixels;
    limits.maxBytes = static_cast<long long>(kMaxDecodeMegabytes) << 20;
    return decodePng(bytes, limits, error);
  }
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setAllocationLimit(kMaxDecodeMegabytes);
  const QSize size = reader.size();
  if (size.width() > kMaxSourceSide || size.height() > kMaxSourceSide ||
      static_cast<long long>(size.width()) * size.height() > kMaxSourcePixels) {
    error = "the picture is too large (" + std::to_string(size.width()) + " x " +
            std::to_string(size.height()) + ")";
    return {};
  }
  if (const std::string why = cutShort(bytes); !why.empty()) {
    error = why;
    return {};
  }
  const int count = reader.imageCount();
  QImage img = reader.read();
  if (img.isNull() || img.width() > kMaxSourceSide || img.height() > kMaxSourceSide) {
    const std::string why =
        HeldMessages::last().empty() ? reader.errorString().toStdString() : HeldMessages::last();
    error = "not a picture that can be read (" + why + ")";
    return {};
  }
  // The JPEG decoder goes on over damaged data (grey where it is missing) and says so.
  if (bytes.startsWith("\xff\xd8\xff") && !HeldMessages::last().empty()) {
    error = "the JPEG picture is damaged: " + HeldMessages::last();
    return {};
  }
  if (frames) *frames = std::max(count, 1);
  toSrgb(img, img.colorSpace());  // a JPEG's ICC profile, for one
  return img;
}

QImage loadPicture(const std::string& path, std::string& error, int* frames) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    error = path + ": " + file.errorString().toStdString();
    return {};
  }
  constexpr qint64 kMaxFileBytes = 256LL << 20;
  if (file.size() > kMaxFileBytes) {
    error = path + ": the file is too large for a picture";
    return {};
  }
  QImage img = readPicture(file.readAll(), path, error, frames);
  if (img.isNull()) error = path + ": " + error;
  return img;
}

QSize largestSizeWithin(QSize picture, QSize box, bool largeMemory) {
  if (picture.isEmpty()) return {256, 64};
  const int maxW = std::min(kMaxWidth, box.width()), maxH = std::min(kMaxHeight, box.height());
  const long long maxPixels =
      largeMemory ? std::numeric_limits<long long>::max() : kSmallMemoryPixels;
  const double pw = picture.width(), ph = picture.height();
  QSize best;
  double bestScale = 0;
  // The scale that makes one side exactly a size the rules allow; the other side is padded.
  const auto consider = [&](double s) {
    const int sw = std::max(1, static_cast<int>(std::lround(pw * s)));
    const int sh = std::max(1, static_cast<int>(std::lround(ph * s)));
    const int w = ceilTo(sw, 4), h = ceilTo(sh, 2);
    if (w > maxW || h > maxH || static_cast<long long>(w) * h > maxPixels || w * h <= 7) return;
    if (s > bestScale) {
      bestScale = s;
      best = QSize(w, h);
    }
  };
  for (int w = 4; w <= maxW; w += 4) consider(w / pw);
  for (int h = 2; h <= maxH; h += 2) consider(h / ph);
  return best.isValid() ? best : box;
}

QSize largestSize(QSize picture, bool largeMemory) {
  return largestSizeWithin(picture, QSize(kMaxWidth, kMaxHeight), largeMemory);
}

Converted convertPicture(const QImage& source, const Target& target) {
  Converted out;
  if (source.isNull()) {
    out.error = "there is no picture";
    return out;
  }
  if (target.depth != 24 && target.depth != 8) {
    out.error = "the depth must be 24 or 8";
    return out;
  }
  const int t = std::clamp(target.transparent, 0, 255);
  const QSize size =
      target.size.isValid() ? target.size : largestSize(source.size(), target.largeMemory);
  const std::string rule = sizeRuleMessage(size.width(), size.height(), target.largeMemory);
  if (!rule.empty()) {
    out.error = rule;
    std::replace(out.error.begin(), out.error.end(), '\r', ' ');
    out.error.erase(std::remove(out.error.begin(), out.error.end(), '\n'), out.error.end());
    return out;
  }
  const double sx = double(size.width()) / source.width(),
               sy = double(size.height()) / source.height();
  const double s = target.placement == Placement::Fit ? std::min(sx, sy) : std::max(sx, sy);
  const int dw = std::max(1, static_cast<int>(std::lround(source.width() * s)));
  const int dh = std::max(1, static_cast<int>(std::lround(source.height() * s)));
  const QImage scaled = source.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                            .scaled(dw, dh, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::transparent);
  {
    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint((size.width() - dw) / 2, (size.height() - dh) / 2), scaled);
  }
  QImage img = canvas.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < img.height(); ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      if (qAlpha(row[x]) < kOpaqueAlpha) {
        row[x] = 0;
        continue;
      }
      const Colour c =
          keepOpaque({qRed(row[x]), qGreen(row[x]), qBlue(row[x])}, t, target.depth == 8);
      row[x] = qRgb(c.r, c.g, c.b);
    }
  }
  out.bmp = target.depth == 24 ? bitmap24(img, t) : bitmap8(img, t);
  out.picture = img;
  return out;
}

QImage nodePreview(const std::vector<uint8_t>& bmp, PixelFormat format, int transparent) {
  std::string error;
  const auto decoded = decodeBmp(bmp, error);
  if (!decoded) return {};
  EncodeOptions options;
  options.format = format;
  options.transparent = transparent;
  const std::vector<Rgb8> colours = decodeNodeValues(encodeImage(*decoded, options), format);
  const int w = decoded->layout.width, h = decoded->layout.height;
  QImage img(w, h, QImage::Format_ARGB32);
  for (int y = 0; y < h; ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(h - 1 - y));  // values: bottom row first
    for (int x = 0; x < w; ++x) {
      const Rgb8& p = colours[static_cast<size_t>(y) * w + x];
      row[x] = p.transparent ? 0 : qRgb(p.r, p.g, p.b);
    }
  }
  return img;
}

}  // namespace osd::convert
