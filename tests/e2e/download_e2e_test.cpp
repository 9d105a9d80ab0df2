// osdctl download against the simulated node on a pseudo-terminal at 9600 baud: the bytes on
// the line, the time they take and the picture the node ends up with.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <filesystem>

#include "e2e_support.h"
#include "image/bmp.h"
#include "image/encoder.h"
#include "image/node_view.h"
#include "support/bmp_builder.h"

using namespace osd;
using namespace osd::e2e;

// One download at line speed (about 80 s with the erase wait).
TEST(DownloadE2E, WholeLogoAtLineSpeedSlow) {
  TempDir t;
  // Colours an RGB node stores exactly, different in every line and in each half.
  const std::string logo = test::makeBitmap24(256, 64, [](int row, int column) {
    const int k = (row + (column < 128 ? 0 : 13)) % 27;
    return test::Rgb{(k % 3) * 85, (k / 3 % 3) * 85, (k / 9) * 85};
  });
  writeBytes(t.path + "/logo.bmp", logo);
  const std::string record = t.path + "/rec.bin";
  Sim sim({"--memory", "64", "--baud", "9600", "--format", "rgb", "--record", record, "--image-out",
           t.path + "/got.bmp"});
  QProcess ctl;
  ctl.setProcessChannelMode(QProcess::ForwardedChannels);
  QStringList args;
  for (const char* a : {"download", "logo.bmp", "--port", sim.pty().c_str(), "--format", "rgb",
                        "--settings", "settings.ini", "--data-dir", "."})
    args << QString::fromUtf8(a);
  ctl.setWorkingDirectory(QString::fromStdString(t.path));
  ctl.start(QString::fromStdString(binDir() + "/osdctl"), args);
  // From the moment "QXW" has arrived to the last of the 65667 download bytes.
  ASSERT_TRUE(waitFor([&] { return slurp(record).find("QXW") != std::string::npos; }, 60000));
  QElapsedTimer clock;
  clock.start();
  const size_t qxw = slurp(record).find("QXW");
  ASSERT_TRUE(waitFor([&] { return slurp(record).size() >= qxw + 65667; }, 90000));
  const double seconds = clock.elapsed() / 1000.0;
  ASSERT_TRUE(waitFor([&] { return ctl.state() == QProcess::NotRunning; }, 5000));
  EXPECT_EQ(ctl.exitCode(), 0);
  const double lineTime = 65667.0 / 960.0;
  EXPECT_LE(seconds, lineTime * 1.02);
  EXPECT_GE(seconds, lineTime * 0.95);  // the node really paced the line

  const std::string rec = slurp(record);
  EXPECT_EQ(rec.size() - qxw, 65667u);
  EXPECT_EQ(rec.substr(rec.size() - 128), std::string(128, '\xFF'));
  EXPECT_NE(rec.substr(0, qxw).find("QXE"), std::string::npos);
  // The node's picture is the logo as an RGB node shows it.
  waitFor([&] { return std::filesystem::exists(t.path + "/got.bmp"); }, 5000);
  std::string error;
  const auto source = decodeBmp(std::vector<uint8_t>(logo.begin(), logo.end()), error);
  const auto got = loadBmpFile(t.path + "/got.bmp", error);
  ASSERT_TRUE(source && got) << error;
  ASSERT_EQ(got->layout.bpp, 24);
  const auto want = decodeNodeValues(encodeImage(*source, {PixelFormat::Rgb}), PixelFormat::Rgb);
  int wrong = 0;
  for (int r = 0; r < 64; ++r) {
    for (int c = 0; c < 256; ++c) {
      const Rgb8& w = want[static_cast<size_t>(256 * r + c)];
      const uint8_t* p = got->row(r) + 3 * c;
      wrong += p[0] != w.b || p[1] != w.g || p[2] != w.r;
    }
  }
  EXPECT_EQ(wrong, 0);
}
