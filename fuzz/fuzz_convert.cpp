// The picture conversion on arbitrary files: whatever Qt makes of the bytes (PNG, JPEG, GIF,
// BMP, SVG, ...) is converted; every bitmap written must pass the logo reader, and its
// encoded values must be transparent exactly where the converted picture is. The first byte
// picks the options (depth, placement, memory, transparency value, SVG or not).
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/picture_convert.h"
#include "fuzz_check.h"
#include "image/bmp.h"

using namespace osd;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t pick = data[0];
  const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  std::string error;
  const QImage picture = convert::readPicture(bytes, pick & 16 ? "in.svg" : "in", error);
  if (picture.isNull()) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  convert::Target target;
  target.depth = pick & 1 ? 8 : 24;
  target.placement = pick & 2 ? convert::Placement::Fill : convert::Placement::Fit;
  target.largeMemory = (pick & 4) != 0;
  target.transparent = pick & 8 ? 0 : 255;
  if (pick & 32) target.size = QSize(64, 32);  // keeps most runs small
  const convert::Converted out = convert::convertPicture(picture, target);
  if (!out.error.empty()) return 0;

  const BmpVerdict verdict =
      checkBmp(out.bmp.data(), out.bmp.size(), out.bmp.size(), target.largeMemory);
  FUZZ_CHECK(verdict.accepted);
  FUZZ_CHECK(verdict.bpp == target.depth);
  const QImage shown = convert::nodePreview(out.bmp, PixelFormat::YCbCr, target.transparent);
  FUZZ_CHECK(shown.size() == out.picture.size());
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x)
      FUZZ_CHECK((qAlpha(shown.pixel(x, y)) == 0) == (qAlpha(out.picture.pixel(x, y)) == 0));
  return 0;
}
