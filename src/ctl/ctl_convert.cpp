// osdctl convert IN OUT.bmp: any picture Qt reads into a bitmap the logo reader accepts, with
// its transparent pixels sent as transparent.
#include <QGuiApplication>
#include <cstdio>
#include <memory>
#include <string>

#include "convert/picture_convert.h"
#include "ctl/commands.h"
#include "ctl/ctl_host.h"
#include "image/bmp.h"
#include "image/bmp_writer.h"

namespace osd::ctl {

namespace {

constexpr const char* kSynopsis =
    "convert IN OUT.bmp [--size WxH | --fit WxH] [--depth 8|24] [--memory 64|512]\n"
    "               [--format rgb|ycbcr] [--transparent T]";

int gArgc = 1;
char gProgramName[] = "osdctl";
char* gArgv[] = {gProgramName, nullptr};

int usage(const std::string& why) {
  std::fprintf(stderr, "osdctl convert: %s\nusage: osdctl %s\n", why.c_str(), kSynopsis);
  return kUsage;
}

// "WxH" with whole numbers 1..9999.
bool sizeOf(const std::string& text, QSize& size) {
  const size_t x = text.find_first_of("xX");
  int w = 0, h = 0;
  if (x == std::string::npos || !wholeNumber(text.substr(0, x), 1, 9999, w) ||
      !wholeNumber(text.substr(x + 1), 1, 9999, h))
    return false;
  size = QSize(w, h);
  return true;
}

struct ConvertArgs {
  std::string in, out;
  convert::Target target;
  QSize fitBox;  // --fit
  PixelFormat format = PixelFormat::YCbCr;
};

// Takes the words; "" when they are fine, else the usage reason.
std::string parse(const Args& args, ConvertArgs& c) {
  std::vector<std::string> files;
  bool sized = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      files.push_back(a);
      continue;
    }
    if (i + 1 >= args.size()) return a + " needs a value";
    const std::string& v = args[++i];
    int n = 0;
    if (a == "--size" || a == "--fit") {
      if (sized) return "give either --size or --fit, once";
      sized = true;
      if (!sizeOf(v, a == "--size" ? c.target.size : c.fitBox)) return a + " needs WxH";
    } else if (a == "--depth" && wholeNumber(v, 8, 24, n) && (n == 8 || n == 24)) {
      c.target.depth = n;
    } else if (a == "--memory" && wholeNumber(v, 64, 512, n) && (n == 64 || n == 512)) {
      c.target.largeMemory = n == 512;
    } else if (a == "--format" && (v == "rgb" || v == "ycbcr")) {
      c.format = v == "rgb" ? PixelFormat::Rgb : PixelFormat::YCbCr;
    } else if (a == "--transparent" && wholeNumber(v, 0, 255, n)) {
      c.target.transparent = n;
    } else if (a == "--settings" || a == "--data-dir" || a == "--port-map") {
      // shared by every command, of no use here
    } else {
      return "bad option or value: " + a + " " + v;
    }
  }
  if (files.size() != 2) return "give the picture and the bitmap to write";
  c.in = files[0];
  c.out = files[1];
  if (!hasBmpName(c.out)) return "the bitmap to write must end in .bmp";
  return "";
}

}  // namespace

int convert(const Args& args) {
  ConvertArgs c;
  if (const std::string why = parse(args, c); !why.empty()) return usage(why);

  // Reading SVG text needs fonts, which need a GUI application; no display is used.
  std::unique_ptr<QGuiApplication> app;
  if (!QCoreApplication::instance()) {
    // Qt's own notes (a missing runtime folder, fonts) are no business of this command: it
    // reports what went wrong itself, in one line.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(gArgc, gArgv);
  }
  std::string error;
  const QImage picture = convert::loadPicture(c.in, error);
  if (picture.isNull()) {
    std::fprintf(stderr, "osdctl convert: %s\n", error.c_str());
    return kRefused;
  }
  if (c.fitBox.isValid())
    c.target.size = convert::largestSizeWithin(picture.size(), c.fitBox, c.target.largeMemory);
  const convert::Converted out = convert::convertPicture(picture, c.target);
  if (!out.error.empty()) {
    std::fprintf(stderr, "osdctl convert: %s\n", out.error.c_str());
    return kRefused;
  }
  if (!replaceFile(c.out, out.bmp, error)) {
    std::fprintf(stderr, "osdctl convert: %s\n", error.c_str());
    return kRefused;
  }
  const QImage shown = convert::nodePreview(out.bmp, c.format, c.target.transparent);
  long long clear = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) clear += qAlpha(shown.pixel(x, y)) == 0;
  std::fprintf(stderr, "osdctl convert: wrote %s: %d x %d, %d bits, %lld transparent pixels\n",
               c.out.c_str(), out.picture.width(), out.picture.height(), c.target.depth, clear);
  return kOk;
}

}  // namespace osd::ctl
