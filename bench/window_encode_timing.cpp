// Timing program (not a benchmark of the library): the window's own encoding step of a
// download, App::encodeLogo on the Qt event loop with the 25 ms tick running, against the
// encoder called directly on the same file. The difference is what letting the event loop
// run after each 24-bit YCbCr row costs.
//
//   build-bench/bench/osd_window_encode_timing [RUNS]      (default 3)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"
#include "image/bmp.h"
#include "image/encoder.h"
#include "platform/port_map.h"
#include "qtplatform/headless.h"
#include "qtplatform/qt_event_loop.h"
#include "qtplatform/qt_serial_port.h"
#include "settings/ini_settings.h"
#include "shell/app.h"

using namespace osd;

namespace {

double directMs(const std::string& path, std::vector<int>& out) {
  QElapsedTimer t;
  t.start();
  std::string error;
  const std::optional<BmpImage> image = loadBmpFile(path, error);
  if (!image) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(1);
  }
  EncodeOptions o;
  encodeImage(*image, o, out);
  return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication qapp(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const std::string dir = bench::scratchDir();
  IniSettings ini(dir + "/settings.ini", kAppKey);
  qt::QtSerialPort port{qt::PortMap{}};
  qt::QtEventLoop loop;
  qt::HeadlessDialogs dialogs;
  qt::QtLauncher launcher;
  Platform platform{port, loop, ini, dialogs, launcher, dir, dir};
  App app(platform);
  app.session().setLargeMemory(true);
  app.session().setMemorySize(512 * 1024);
  loop.setTimerEnabled(TimerId::Delay, true);  // the download's tick

  std::printf("%-10s %6s %14s %14s %16s\n", "logo", "rows", "direct ms", "window ms",
              "pause per row ms");
  for (auto [w, h] : {std::pair{256, 64}, std::pair{720, 616}}) {
    const std::string path =
        bench::writeScratch("logo-" + std::to_string(w) + "x" + std::to_string(h) + ".bmp",
                            bench::makeBitmap(w, h, 24));
    app.bench().logos().selected = 1;
    app.ui().setChecked("optRGB(0)", false);
    app.ui().setChecked("optRGB(1)", true);
    std::string file = path;
    if (app.readFile(file) != 0) {
      std::fprintf(stderr, "the window did not take %s: %s\n", path.c_str(),
                   app.ui().text("lblErrTxt").c_str());
      return 1;
    }
    for (int r = 0; r < runs; ++r) {
      std::vector<int> expected(2000001, 0), out(2000001, 0);
      const double direct = directMs(path, expected);
      QElapsedTimer t;
      t.start();
      app.encodeLogo(1, out);
      const double window = static_cast<double>(t.nsecsElapsed()) / 1e6;
      if (out != expected) {
        std::fprintf(stderr, "the window's values differ from the encoder's\n");
        return 1;
      }
      std::printf("%4dx%-5d %6d %14.2f %14.2f %16.2f\n", w, h, h, direct, window,
                  (window - direct) / h);
    }
  }
  app.link().closeAtExit();
  return 0;
}
