// The window and osdctl send the same download stream for the same logo, settings and data
// folder: the window started as osdprog starts it (offscreen, its download started from its
// menu), osdctl as a program, each against its own simulated node that records the line.
#include <gtest/gtest.h>

#include <QAction>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "e2e_support.h"
#include "gui/main_window.h"
#include "logo_bitmap.h"
#include "platform/port_map.h"
#include "qtplatform/headless.h"
#include "qtplatform/qt_event_loop.h"
#include "qtplatform/qt_serial_port.h"
#include "settings/ini_settings.h"
#include "shell/app.h"
#include "transfer/download_job.h"
#include "transfer/video_data.h"

using namespace osd;
using namespace osd::e2e;

namespace {

struct Case {
  const char* name;
  bool storedPosition;  // Video-ImageData.dat holds a start position
  bool pal;             // "OPTNTSC" "1"
  int x, y;             // --x/--y (the window: the preview dragged there); -1: not placed
};

// A data folder and settings file as the operator would have them before either program ran.
// (A graphics node's size answer makes the window send YCbCr, osdctl's default.)
void prepare(const std::string& dir, const Case& c, const std::string& logo) {
  std::filesystem::create_directories(dir + "/Images");
  std::ofstream(dir + "/logo.bmp", std::ios::binary) << logo;
  std::ofstream ini(dir + "/settings.ini");
  ini << "[FormInit]\nComPort=3\nLogoSelect=1\nFileSelect1=" << dir
      << "/logo.bmp\nOPTNTSC=" << (c.pal ? "1" : "0") << "\n";
  if (!c.storedPosition) return;
  video::ImageParams params = video::defaultImageParams(256, 64);
  params[1] = 44, params[2] = 1, params[3] = 77, params[4] = 0;
  for (video::Table t : {video::Table::Ntsc, video::Table::PalB, video::Table::PalM})
    std::ofstream(dir + "/Images/" + video::baseName(t) + ".dat")
        << video::formatValues(video::defaultRegisters(t).data());
  std::ofstream(dir + "/Images/Video-ImageData.dat") << video::formatValues(params.data());
}

// The stream from "QXW" on as the node recorded it; empty until all of it has arrived.
std::string stream(const std::string& record, int64_t length) {
  const std::string bytes = slurp(record);
  const size_t at = bytes.find("QXW");
  if (at == std::string::npos || bytes.size() < at + static_cast<size_t>(length)) return {};
  return bytes.substr(at, static_cast<size_t>(length));
}

const int64_t kLength = DownloadPlan{256, 64, 65536}.streamLength();

// osdctl download; stopped once the node has the whole stream (every stream takes the time a
// 9600-baud line takes, about 70 s, also on an unpaced node).
std::string ctlStream(const std::string& dir, const Case& c) {
  Sim sim({"--memory", "64", "--baud", "0", "--record", dir + "/rec.bin"});
  std::vector<std::string> args = {
      "download",   dir + "/logo.bmp",     "--port",     sim.pty(), "--no-erase",
      "--settings", dir + "/settings.ini", "--data-dir", dir};
  if (c.x >= 0) args.insert(args.end(), {"--x", std::to_string(c.x), "--y", std::to_string(c.y)});
  QProcess ctl;
  QStringList words;
  for (const std::string& a : args) words << QString::fromStdString(a);
  ctl.start(QString::fromStdString(binDir() + "/osdctl"), words);
  std::string got;
  waitFor([&] { return !(got = stream(dir + "/rec.bin", kLength)).empty(); }, 150000);
  ctl.terminate();
  ctl.waitForFinished(5000);
  return got;
}

// The window, put together as osdprog does, started, its preview dragged, its download
// started from the diagnostic menu's "Send Logo".
std::string windowStream(const std::string& dir, const Case& c) {
  Sim sim({"--memory", "64", "--baud", "0", "--record", dir + "/rec.bin"});
  qt::PortMap map;
  map.set(3, sim.pty());
  qt::QtSerialPort port(map);
  qt::QtEventLoop loop;
  IniSettings settings(dir + "/settings.ini", kAppKey);
  qt::HeadlessDialogs dialogs;
  qt::QtLauncher launcher;
  Platform platform{port, loop, settings, dialogs, launcher, dir, dir};
  App app(platform);
  gui::MainWindow window(app);
  app.menus().skipSplash();
  app.formLoad("");
  // The size answer is short: it is taken in with the next long answer of the node poll.
  EXPECT_TRUE(waitFor([&] { return app.session().memorySize() == 65536; }, 40000));
  if (c.x >= 0) {
    // Down on the preview, a move of four times the distance (it follows by a quarter), up.
    PlacementPresenter& placement = app.placement();
    const PlacementView::Place at = placement.view().places[1];
    const double dx = 4.0 * (60 + c.x * 56 - at.left), dy = 4.0 * (240 + c.y * 38.4 - at.top);
    placement.press(1);
    QTest::qWait(60);
    placement.move(1, dx, dy);
    placement.release(1);
  }
  window.action("mnuDiagSub(8)")->trigger();
  std::string got;
  waitFor([&] { return !(got = stream(dir + "/rec.bin", kLength)).empty(); }, 30000);
  app.shutdown();
  return got;
}

}  // namespace

TEST(SameBytesE2E, WindowAndOsdctlSendTheSameStreamSlow) {
  ensureApplication();
  const std::string logo = test::makeBitmap24(256, 64, [](int r, int c) {
    return test::Rgb{(r * 4) % 256, (c * 3) % 256, ((r + c) * 5) % 256};
  });
  const Case cases[] = {{"fresh data folder", false, false, -1, -1},
                        {"stored position", true, false, -1, -1},
                        {"PAL placed at 50 %, 50 %", false, true, 50, 50}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir win, ctl;
    prepare(win.path, c, logo);
    prepare(ctl.path, c, logo);
    const std::string fromWindow = windowStream(win.path, c);
    const std::string fromCtl = ctlStream(ctl.path, c);
    ASSERT_EQ(fromWindow.size(), static_cast<size_t>(kLength));
    const auto diff = std::mismatch(fromWindow.begin(), fromWindow.end(), fromCtl.begin());
    EXPECT_EQ(diff.first, fromWindow.end())
        << "first difference at byte " << (diff.first - fromWindow.begin()) << ": window "
        << int(uint8_t(*diff.first)) << ", osdctl " << int(uint8_t(*diff.second));
    // A fresh folder gets the window's default data files from osdctl too.
    for (const char* file : {"Video-NTSBData.dat", "Video-PALBData.dat", "Video-PALMData.dat",
                             "Video-ImageData.dat"}) {
      EXPECT_EQ(slurp(ctl.path + "/Images/" + file), slurp(win.path + "/Images/" + file)) << file;
    }
  }
}
