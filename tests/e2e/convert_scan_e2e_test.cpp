// osdctl convert (checked with the reader and the encoder) and osdctl scan, as programs.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "image/bmp.h"
#include "image/encoder.h"
#include "scan/node_scan.h"

using namespace osd;
using namespace osd::e2e;

namespace {

struct Picture {
  const char* name;
  QSize source, out;            // out: of the bitmap written
  bool (*clear)(int x, int y);  // where the source is transparent (top row 0)
  std::vector<QColor> colours;  // in bands across (down for a picture wider than high x 10)
  void make(const std::string& path) const {
    if (std::string(name).ends_with(".svg")) {
      std::ofstream(path) << "<svg xmlns='http://www.w3.org/2000/svg' width='256' height='64'>"
                             "<rect x='0' y='0' width='128' height='64' fill='#f00'/></svg>";
      return;
    }
    const int w = source.width(), h = source.height(), n = int(colours.size());
    QImage img(source, QImage::Format_ARGB32);  // each band's colour with its alpha
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        img.setPixelColor(x, y, colours[w < 10 * h ? x * n / w : y * n / h]);
    img.save(QString::fromStdString(path), nullptr, 95);
  }
};

// clang-format off
const Picture kPictures[] = {
    // Alpha 0 and 100 (under half) are transparent; white and black stay opaque.
    {"alpha.png", {256, 64}, {256, 64}, [](int x, int) { return x < 128; }, {QColor(9, 9, 9, 0), QColor(200, 0, 0, 100), Qt::white, Qt::black}},
    {"photo.jpg", {256, 64}, {256, 64}, [](int, int) { return false; }, {Qt::white, Qt::black, QColor(30, 90, 200), Qt::white}},
    {"half.svg", {}, {256, 64}, [](int x, int) { return x >= 128; }, {}},
    // At this shape only 720 x 24 fits.
    {"wide.png", {3000, 100}, {720, 24}, [](int, int y) { return y < 12; }, {QColor(0, 0, 0, 0), Qt::blue}}};
// clang-format on

}  // namespace

TEST(ConvertE2E, OutputsPassTheReaderTransparentExactlyWhereTheSourceWasOthersAreRefused) {
  TempDir dir;
  // clang-format off
  struct Case { int picture; std::vector<std::string> options; PixelFormat format; int t; } cases[] = {
      {0, {"--size", "256x64"}, PixelFormat::YCbCr, 255}, {0, {"--size", "256x64", "--depth", "8", "--transparent", "0"}, PixelFormat::Rgb, 0},
      {0, {"--fit", "256x64", "--depth", "8"}, PixelFormat::YCbCr, 255},
      {1, {"--size", "256x64", "--depth", "8", "--transparent", "0"}, PixelFormat::Rgb, 0},
      {1, {"--size", "256x64", "--depth", "8"}, PixelFormat::Rgb, 255}, {2, {"--size", "256x64"}, PixelFormat::Rgb, 255},
      {2, {"--size", "256x64", "--depth", "8", "--transparent", "16"}, PixelFormat::YCbCr, 16},
      {3, {}, PixelFormat::YCbCr, 255}, {3, {"--depth", "8", "--transparent", "0"}, PixelFormat::Rgb, 0}};
  // clang-format on
  for (const auto& c : cases) {
    const Picture& pic = kPictures[c.picture];
    const std::string in = dir.path + "/" + pic.name, out = dir.path + "/out.bmp";
    pic.make(in);
    std::vector<std::string> args{"convert", in, out};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProgramRun run = runProgram(binDir() + "/osdctl", args, dir.path);
    ASSERT_EQ(run.rc, 0) << pic.name << ": " << run.err;

    std::string error;
    const auto verdict = checkBmpFile(out, false, error);
    ASSERT_TRUE(verdict && verdict->accepted) << pic.name << ": " << error;
    const auto image = loadBmpFile(out, error);
    ASSERT_TRUE(image) << error;
    ASSERT_TRUE(QSize(image->layout.width, image->layout.height) == pic.out) << pic.name;
    const std::vector<int> values = encodeImage(*image, {c.format, c.t});
    int wrong = 0;
    for (int y = 0; y < pic.out.height(); ++y)  // values: bottom row first
      for (int x = 0; x < pic.out.width(); ++x)
        wrong += (values[size_t((pic.out.height() - 1 - y) * pic.out.width() + x)] == 0) !=
                 pic.clear(x, y);
    EXPECT_EQ(wrong, 0) << pic.name << " case " << (&c - cases);
  }
  // Unreadable or oversized pictures are refused in one line; a poster SVG is drawn smaller.
  // A PNG of 10000 x 10000 whose pixel data is one short zero run: refused before decoding.
  const std::string png(
      "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x27\x10\x00\x00"
      "\x27\x10\x08\x02\x00\x00\x00\x35\x2c\xf5\x70\x00\x00\x00\x34\x49\x44\x41\x54\x78\x9c\xed"
      "\xc1\x31\x01\x00\x00\x00\xc2\xa0\xf5\x4f\x6d\x09\x4f\xa0\x00\x00\x00\x00\x00\x00\x00\x00"
      "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x4e"
      "\x06\x75\x31\x00\x01\x38\xf7\xab\x24\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
      109);
  QBuffer good;
  good.open(QIODevice::WriteOnly);
  QImage(4, 2, QImage::Format_RGB32).save(&good, "PNG");
  std::string damaged = good.data().toStdString(), badGamma = damaged;
  damaged[damaged.size() - 20] ^= 0x5a;                                  // in the pixel data
  badGamma.insert(33, std::string("\0\0\0\4gAMA\0\1\x86\xa0XXXX", 16));  // its check sum wrong
  // clang-format off
  const struct { const char* name; std::string content; int rc; const char* said; } refusals[] = {
      // The PNG library's own report does not come before the program's line.
      {"damaged.png", damaged, 1, "not a picture that can be read (IDAT: "},
      // A damaged ancillary chunk is dropped, and the warning is not printed.
      {"bad-gamma.png", badGamma, 0, "wrote"}, {"not.png", "this is no picture", 1, "not a picture"},
      {"huge.png", png, 1, "too large"},
      // Its text chunk claims 2 GB: the PNG library would allocate them before reading.
      {"claims.png", png.substr(0, 33) + std::string("\x79\0\0\0tEXtComment", 12), 1, "longer than the file"},
      {"poster.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='15000' height='12000'><rect width='15000' height='6000' fill='#0f0'/></svg>", 0, "wrote"}};
  // clang-format on
  for (const auto& c : refusals) {
    const std::string in = dir.path + "/" + c.name, out = dir.path + "/" + c.name + ".bmp";
    std::ofstream(in, std::ios::binary) << c.content;
    const ProgramRun run = runProgram(binDir() + "/osdctl", {"convert", in, out}, dir.path);
    EXPECT_EQ(run.rc, c.rc) << c.name << ": " << run.err;
    EXPECT_EQ(std::filesystem::exists(out), c.rc == 0) << c.name;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
  }
}

TEST(ScanE2E, ListsExactlyTheThreeNodesWithTheRequestsOnTheLine) {
  TempDir dir;
  const std::string record = dir.path + "/line.bin";
  Sim sim({"--id", "10,12,15", "--record", record});
  ASSERT_FALSE(sim.pty().empty());
  ProgramRun run =
      runProgram(binDir() + "/osdctl", {"scan", "--port", sim.pty(), "--ids", "9-16"}, dir.path);
  EXPECT_EQ(run.rc, 0) << run.err;
  // ID, HEX, MEMORY, MS
  EXPECT_TRUE(std::regex_match(
      run.out, std::regex("10\t0A\t64K\t\\d+\n12\t0C\t64K\t\\d+\n15\t0F\t64K\t\\d+\n")))
      << run.out;
  const auto asked = [](int from, int to) {
    std::string bytes;
    for (int id = from; id <= to; ++id)
      for (const auto& part : scanRequests(id)) bytes += part;
    return bytes + "SPWK,00";
  };
  EXPECT_EQ(lineHeard(sim, record), asked(9, 16));

  // A list: each run of IDs in turn, the IDs between them never asked.
  run = runProgram(binDir() + "/osdctl", {"scan", "--port", sim.pty(), "--ids", "13-14,16"},
                   dir.path);
  EXPECT_TRUE(run.rc == 3 && run.out.empty()) << run.err;
  EXPECT_TRUE(lineHeard(sim, record).ends_with("}" + asked(13, 14) + asked(16, 16)));
}
