// osdctl convert IN OUT.bmp: any picture Qt reads into a bitmap the logo reader accepts, with
// its transparent pixels sent as transparent.
#include <QGuiApplication>
#include <cstdio>
#include <memory>
#include <string>

#include "common/options.h"
#include "convert/picture_convert.h"
#include "ctl/command_table.h"
#include "ctl/ctl_options.h"
#include "image/bmp.h"
#include "image/bmp_writer.h"

namespace osd::ctl {

namespace {

int gArgc = 1;
char gProgramName[] = "osdctl";
char* gArgv[] = {gProgramName, nullptr};

// "WxH" with whole numbers 1..9999.
bool sizeOf(const std::string& text, QSize& size) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  const auto w = cli::wholeNumber(text.substr(0, x), 1, 9999);
  const auto h = cli::wholeNumber(text.substr(x + 1), 1, 9999);
  if (!w || !h) return false;
  size = QSize(static_cast<int>(*w), static_cast<int>(*h));
  return true;
}

struct ConvertArgs {
  std::string in, out;
  convert::Target target;
  QSize fitBox;  // --fit
  PixelFormat format = PixelFormat::YCbCr;
};

// Takes the words; "" when they are fine, else the usage reason.
std::string parse(const cli::Parsed& p, ConvertArgs& c) {
  if (p.has("--size") && p.has("--fit")) return "give either --size or --fit";
  if (p.has("--size") && !sizeOf(p.value("--size"), c.target.size)) return "--size needs WxH";
  if (p.has("--fit") && !sizeOf(p.value("--fit"), c.fitBox)) return "--fit needs WxH";
  const std::string depth = p.value("--depth", "24"), memory = p.value("--memory", "64");
  const std::optional<PixelFormat> format = parsePixelFormat(p.value("--format", "ycbcr"));
  if (depth != "24" && depth != "8") return "--depth must be 8 or 24";
  if (memory != "64" && memory != "512") return "--memory must be 64 or 512";
  if (!format) return "--format must be rgb or ycbcr";
  const auto t = cli::wholeNumber(p.value("--transparent", "255"), 0, 255);
  if (!t) return "--transparent must be 0 to 255";
  c.target.depth = depth == "8" ? 8 : 24;
  c.target.largeMemory = memory == "512";
  c.format = *format;
  c.target.transparent = static_cast<int>(*t);
  if (p.words.size() != 2) return "give the picture and the bitmap to write";
  c.in = p.words[0];
  c.out = p.words[1];
  if (!hasBmpName(c.out)) return "the bitmap to write must end in .bmp";
  return "";
}

// Reading SVG text needs fonts, which need a GUI application; no display is used.
std::unique_ptr<QGuiApplication> guiApplication() {
  if (QCoreApplication::instance()) return nullptr;
  // Qt's own notes (a missing runtime folder, fonts) are no business of this command: it
  // reports what went wrong itself, in one line.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  return std::make_unique<QGuiApplication>(gArgc, gArgv);
}

// The picture, or its first frame with a line on standard error saying so.
QImage firstFrame(const std::string& in, std::string& error) {
  int frames = 1;
  const QImage picture = convert::loadPicture(in, error, &frames);
  if (!picture.isNull() && frames > 1) {
    std::fprintf(stderr, "%s %s: %d frames; the first is taken\n", tag().c_str(), in.c_str(),
                 frames);
  }
  return picture;
}

}  // namespace

std::string pictureToBitmap(const std::string& in, bool largeMemory, int transparent,
                            const std::string& out) {
  const std::unique_ptr<QGuiApplication> app = guiApplication();
  std::string error;
  const QImage picture = firstFrame(in, error);
  if (picture.isNull()) return error;
  convert::Target target;
  target.largeMemory = largeMemory;
  target.transparent = transparent;
  const convert::Converted converted = convert::convertPicture(picture, target);
  if (!converted.error.empty()) return converted.error;
  if (!replaceFile(out, converted.bmp, error)) return error;
  return "";
}

int convert(const Args& args) {
  cli::Parsed parsed;
  HostOptions shared;
  if (auto rc = readCommandArgs(args, "convert", parsed, shared)) return *rc;
  ConvertArgs c;
  if (const std::string why = parse(parsed, c); !why.empty()) return usageError("convert", why);

  if (const std::string fault = fileFault(c.in); !fault.empty()) {
    std::fprintf(stderr, "osdctl convert: %s: %s\n", c.in.c_str(), fault.c_str());
    return kRefused;
  }
  const std::unique_ptr<QGuiApplication> app = guiApplication();
  std::string error;
  const QImage picture = firstFrame(c.in, error);
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
