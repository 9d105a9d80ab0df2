// osdctl download against the simulated node on a pseudo-terminal: the byte count on the
// line, the picture the node ends up with, and the time a download takes at 9600 baud.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"
#include "image/bmp.h"
#include "image/encoder.h"
#include "image/node_view.h"
#include "logo_bitmap.h"

using namespace osd;
using namespace osd::test;
using namespace osd::e2e;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Runs osdctl with `args`; returns its exit status, standard error in `err`.
int runCtl(const std::vector<std::string>& args, const std::string& errFile, std::string& err) {
  const std::string dir = errFile.substr(0, errFile.find_last_of('/'));
  const ProgramRun r = runProgram(binDir() + "/osdctl", args, dir);
  err = r.err;
  return r.rc;
}

// A 256 x 64 logo in the colours an RGB node stores exactly (levels 0, 85, 170 of each
// primary; none of them is the transparent 255), different in every line and in each half.
std::string testLogo() {
  return makeBitmap24(256, 64, [](int row, int column) {
    const int k = (row + (column < 128 ? 0 : 13)) % 27;
    return Rgb{(k % 3) * 85, (k / 3 % 3) * 85, (k / 9) * 85};
  });
}

std::vector<std::string> ctlArgs(const TempDir& t, const std::string& pty) {
  return {"download",   t.path + "/logo.bmp",     "--port",     pty,   "--format", "rgb",
          "--settings", t.path + "/settings.ini", "--data-dir", t.path};
}

}  // namespace

// One download at line speed (about 80 s with the erase wait): the byte count on the line,
// the time it takes, and the picture the node ends up with.
TEST(DownloadE2E, WholeLogoAtLineSpeedSlow) {
  TempDir t;
  const std::string logo = testLogo();
  { std::ofstream(t.path + "/logo.bmp", std::ios::binary) << logo; }
  const std::string record = t.path + "/rec.bin";
  Sim sim({"--memory", "64", "--baud", "9600", "--format", "rgb", "--record", record, "--image-out",
           t.path + "/got.bmp"});
  ASSERT_FALSE(sim.pty().empty());
  // Watch the node's record: from the moment "QXW" has arrived to the last download byte.
  std::atomic<bool> stop{false};
  Clock::time_point started{}, finished{};
  std::atomic<bool> sawStart{false}, sawEnd{false};
  std::thread watcher([&] {
    size_t qxw = std::string::npos;
    while (!stop) {
      if (qxw == std::string::npos) {
        qxw = slurp(record).find("QXW");
        if (qxw != std::string::npos) {
          started = Clock::now();
          sawStart = true;
        }
      }
      std::error_code ec;
      const auto size = fs::file_size(record, ec);
      if (qxw != std::string::npos && !ec && size >= qxw + 65667) {
        finished = Clock::now();
        sawEnd = true;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  std::string err;
  const int rc = runCtl(ctlArgs(t, sim.pty()), t.path + "/err.txt", err);
  const Clock::time_point returned = Clock::now();
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (!sawEnd && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  stop = true;
  watcher.join();
  ASSERT_EQ(rc, 0) << err;
  EXPECT_NE(err.find("sent 65667 of 65667 bytes"), std::string::npos) << err;
  ASSERT_TRUE(sawStart && sawEnd);

  // Time: the line's own time for 65667 bytes, at most 2 % more.
  const double seconds = std::chrono::duration<double>(finished - started).count();
  const double lineTime = 65667.0 / 960.0;
  EXPECT_LE(seconds, lineTime * 1.02) << "line time " << lineTime;
  EXPECT_GE(seconds, lineTime * 0.95);  // the node really paced the line
  // osdctl returned when the last byte was on its way, not long before the node had it.
  EXPECT_LE(std::chrono::duration<double>(finished - returned).count(), 1.5);

  // Everything from "QXW" on is the download: exactly 65667 bytes, ending with the filler.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::string rec = slurp(record);
  const size_t qxw = rec.find("QXW");
  ASSERT_NE(qxw, std::string::npos);
  EXPECT_EQ(rec.size() - qxw, 65667u);
  EXPECT_EQ(rec.substr(rec.size() - 128), std::string(128, '\xFF'));
  // The node was erased and asked for its size before.
  EXPECT_NE(rec.substr(0, qxw).find("QXE"), std::string::npos);
  EXPECT_NE(rec.substr(0, qxw).find("QXS"), std::string::npos);

  // The node's picture is the logo as the node shows RGB values.
  for (int k = 0; k < 100 && !fs::exists(t.path + "/got.bmp"); ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::string error;
  auto source = decodeBmp(std::vector<uint8_t>(logo.begin(), logo.end()), error);
  ASSERT_TRUE(source) << error;
  EncodeOptions options;
  options.format = PixelFormat::Rgb;
  const std::vector<Rgb8> expected =
      decodeNodeValues(encodeImage(*source, options), PixelFormat::Rgb);
  auto got = loadBmpFile(t.path + "/got.bmp", error);
  ASSERT_TRUE(got) << error;
  ASSERT_EQ(got->layout.width, 256);
  ASSERT_EQ(got->layout.height, 64);
  ASSERT_EQ(got->layout.bpp, 24);
  int wrong = 0;
  for (int r = 0; r < 64; ++r) {
    const uint8_t* line = got->row(r);
    for (int c = 0; c < 256; ++c) {
      const Rgb8& want = expected[static_cast<size_t>(256 * r + c)];
      if (line[3 * c] != want.b || line[3 * c + 1] != want.g || line[3 * c + 2] != want.r) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST(DownloadE2E, RefusedBitmapErasesNothing) {
  TempDir t;
  {
    std::ofstream(t.path + "/logo.bmp", std::ios::binary) << makeBitmap24(256, 256, [](int, int) {
      return Rgb{0, 0, 0};
    });
  }
  Sim sim({"--memory", "64", "--baud", "0", "--record", t.path + "/rec.bin"});
  ASSERT_FALSE(sim.pty().empty());
  std::string err;
  EXPECT_EQ(runCtl(ctlArgs(t, sim.pty()), t.path + "/err.txt", err), 1) << err;
  EXPECT_NE(err.find("Actual 256 by 256"), std::string::npos) << err;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(slurp(t.path + "/rec.bin").find("QXE"), std::string::npos);
  EXPECT_EQ(runCtl({"download", t.path + "/logo.bmp", "--port", sim.pty(), "--x", "5"},
                   t.path + "/err.txt", err),
            2);
}
